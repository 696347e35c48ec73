// The rich-text reader on the constructs the demo's files use, on what other
// writers put around them, and on broken and hostile input.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "RichTextReader.h"
#include "RichTextWriter.h"

namespace {

const std::string Head = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fmodern Courier New;}}"
                         "{\\colortbl ;\\red51\\green51\\blue153;\\red255\\green0\\blue0;}\n";

TRichTextDocument Read(const std::string& Body) { return ReadRichText(Head + Body + "}"); }

std::vector<std::string> Texts(const TRichTextDocument& Document) {
  std::vector<std::string> Lines;
  for (const TRichTextParagraph& P : Document.Paragraphs) Lines.push_back(P.Text());
  return Lines;
}

}  // namespace

TEST(RichTextReader, CharacterFormatsFollowGroupsAndPlain) {
  const auto D = Read("\\fs28 A{\\b B{\\i\\ul C}\\cf1 D}\\cf2\\f1 E\\plain F\\par");
  ASSERT_TRUE(D.Error.empty()) << D.Error;
  ASSERT_EQ(D.Paragraphs.size(), 1u);
  const auto& R = D.Paragraphs[0].Runs;
  ASSERT_EQ(R.size(), 6u);
  EXPECT_EQ(R[0].Text, "A");
  EXPECT_EQ(R[0].Format.HalfPoints, 28);
  EXPECT_FALSE(R[0].Format.Bold);
  EXPECT_EQ(R[0].Format.Font, 0);  // \deff0
  EXPECT_TRUE(R[1].Format.Bold);
  EXPECT_TRUE(R[2].Format.Bold && R[2].Format.Italic && R[2].Format.Underline);
  EXPECT_EQ(R[3].Text, "D");
  EXPECT_TRUE(R[3].Format.Bold);
  EXPECT_FALSE(R[3].Format.Italic);
  EXPECT_TRUE(R[3].Format.HasColor);
  EXPECT_EQ(R[3].Format.Color, 0x333399u);
  EXPECT_EQ(R[4].Text, "E");  // the group ended: bold off, size kept
  EXPECT_FALSE(R[4].Format.Bold);
  EXPECT_EQ(R[4].Format.HalfPoints, 28);
  EXPECT_EQ(R[4].Format.Color, 0xFF0000u);
  EXPECT_EQ(D.Fonts.at(static_cast<size_t>(R[4].Format.Font)), "Courier New");
  EXPECT_EQ(R[5].Format, (TRichTextFormat{.Font = 0}));
  // \b0 and \ulnone switch off.
  const auto Off = Read("\\b\\ul x\\b0\\ulnone y\\par");
  EXPECT_FALSE(Off.Paragraphs[0].Runs[1].Format.Bold);
  EXPECT_FALSE(Off.Paragraphs[0].Runs[1].Format.Underline);
}

TEST(RichTextReader, ParagraphsIndentsAndAlignment) {
  const auto D = Read("\\pard\\li720\\fi-360\\tx1440\\tx2880\\qc one\\par two\\par\\pard\\qr three\\par\\par tail");
  ASSERT_TRUE(D.Error.empty()) << D.Error;
  EXPECT_EQ(Texts(D), (std::vector<std::string>{"one", "two", "three", "", "tail"}));
  EXPECT_EQ(D.Paragraphs[1].LeftIndent, 720);
  EXPECT_EQ(D.Paragraphs[1].FirstIndent, -360);
  EXPECT_EQ(D.Paragraphs[1].TabStops, (std::vector<int32_t>{1440, 2880}));
  EXPECT_EQ(D.Paragraphs[1].Align, TRichTextAlign::raCenter);
  EXPECT_EQ(D.Paragraphs[2].LeftIndent, 0);  // \pard
  EXPECT_TRUE(D.Paragraphs[2].TabStops.empty());
  EXPECT_EQ(D.Paragraphs[2].Align, TRichTextAlign::raRight);
  EXPECT_TRUE(D.Paragraphs[3].Runs.empty());
  // Tab, line break and the control-symbol escapes.
  const auto E = Read("a\\tab b\\line c\\{\\}\\\\\\~d\\par");
  EXPECT_EQ(E.Paragraphs[0].Text(), "a\tb\nc{}\\\xC2\xA0" "d");
  // Line ends in the source are not text; a backslash before one is \par.
  EXPECT_EQ(Texts(Read("a\r\nb\\\nc")), (std::vector<std::string>{"ab", "c"}));
}

TEST(RichTextReader, BulletsFromNumberingListTextAndBulletCharacter) {
  const std::string Bullet = "{\\pntext\\f0\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf0\\pnindent0{\\pntxtb\\'b7}}";
  const auto D = Read("\\pard Title\\par" + Bullet + "\\fi200 first\\par" + Bullet + "second\\par\\pard after\\par" +
                      "{\\listtext\\'b7\\tab}listed\\par{\\*\\pn\\pnlvlbody\\pndec}numbered\\par\\pard \\bullet  x\\par");
  ASSERT_TRUE(D.Error.empty()) << D.Error;
  EXPECT_EQ(Texts(D), (std::vector<std::string>{"Title", "first", "second", "after", "listed", "numbered",
                                                "\xE2\x80\xA2 x"}));
  EXPECT_EQ(D.Paragraphs[0].List, TRichTextList::rlNone);
  EXPECT_EQ(D.Paragraphs[1].List, TRichTextList::rlBullet);
  EXPECT_EQ(D.Paragraphs[1].FirstIndent, 200);
  EXPECT_EQ(D.Paragraphs[2].List, TRichTextList::rlBullet);
  EXPECT_EQ(D.Paragraphs[3].List, TRichTextList::rlNone);
  EXPECT_EQ(D.Paragraphs[4].List, TRichTextList::rlBullet);  // list text alone
  EXPECT_EQ(D.Paragraphs[5].List, TRichTextList::rlNumber);
  EXPECT_EQ(D.Paragraphs[6].List, TRichTextList::rlNone);   // \bullet is a character
}

TEST(RichTextReader, HexAndUnicodeEscapes) {
  const auto D = Read("\\'e9\\'80\\'E4|\\u8364?|\\u-4064?|{\\uc2\\u233xy z}|{\\uc0\\u233 z}|\\u55357?\\u56832?|\\u56832?|\\u55357?a\\par");
  ASSERT_TRUE(D.Error.empty()) << D.Error;
  EXPECT_EQ(D.Paragraphs[0].Text(),
            "\xC3\xA9\xE2\x82\xAC\xC3\xA4|\xE2\x82\xAC|\xEF\x80\xA0|\xC3\xA9 z|\xC3\xA9z|\xF0\x9F\x98\x80|"
            "\xEF\xBF\xBD|\xEF\xBF\xBD" "a");
  // \uc is a group property; the fallback ends with its group.
  const auto G = Read("{\\uc3 \\u233 ab}cd\\par");
  EXPECT_EQ(G.Paragraphs[0].Text(), "\xC3\xA9" "cd");
}

TEST(RichTextReader, SkipsDestinationsItDoesNotShow) {
  const auto D = Read("{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}"
                      "{\\*\\generator Writer 1.0;}{\\*\\unknownthing {nested} text}"
                      "{\\pict\\wmetafile8 0123abcd}{\\*\\shp{\\shptxt x}}"
                      "a{\\*\\bkmkstart m}b{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}\\par "
                      "c\\bin5 {}\\x{d\\par");
  ASSERT_TRUE(D.Error.empty()) << D.Error;
  EXPECT_EQ(Texts(D), (std::vector<std::string>{"ablink", "cd"}));
}

TEST(RichTextReader, PlainTextWhenNotRich) {
  const auto D = ReadRichText("\xEF\xBB\xBFline one\r\nzwei \xC3\xA4\n\nthree\x01\x7F\tend\rlast\n");
  EXPECT_FALSE(D.Rich);
  EXPECT_TRUE(D.Error.empty());
  EXPECT_EQ(Texts(D), (std::vector<std::string>{"line one", "zwei \xC3\xA4", "", "three\tend", "last"}));
  // Not UTF-8: read as Windows-1252.
  EXPECT_EQ(Texts(ReadRichText("caf\xE9 \x80")), (std::vector<std::string>{"caf\xC3\xA9 \xE2\x82\xAC"}));
  // Rich text must start the file; "{\rt" alone or leading blanks make it plain text.
  EXPECT_FALSE(ReadRichText(" {\\rtf1 x}").Rich);
  EXPECT_FALSE(ReadRichText("{\\rt").Rich);
  EXPECT_TRUE(ReadRichText("").Paragraphs.empty());
}

TEST(RichTextReader, BrokenStructureIsReportedWithWhatWasRead) {
  // Truncated: groups left open.
  const auto T = ReadRichText(Head + "one\\par {\\b two");
  EXPECT_EQ(T.Error, "2 groups are not closed at the end of the text");
  EXPECT_EQ(Texts(T), (std::vector<std::string>{"one", "two"}));
  // An early closing brace ends the document; the rest is reported.
  const auto U = ReadRichText(Head + "one\\par}} two}");
  EXPECT_EQ(U.Error.rfind("text after the end of the document at byte", 0), 0u) << U.Error;
  EXPECT_EQ(Texts(U), (std::vector<std::string>{"one"}));
  // Line ends and NULs after the end are usual and harmless.
  EXPECT_TRUE(ReadRichText(Head + "x}\r\n" + std::string(1, '\0')).Error.empty());
  // Escapes cut off at the end.
  EXPECT_EQ(ReadRichText(Head + "x\\'").Error, "an escape \\' cut off at the end of the text");
  EXPECT_EQ(ReadRichText(Head + "x\\'4").Error, "an escape \\' cut off at the end of the text");
  EXPECT_EQ(ReadRichText(Head + "x\\").Error, "a backslash at the end of the text");
  // A bad hex escape is text, not an error.
  EXPECT_EQ(Read("\\'zz\\par").Paragraphs[0].Text(), "zz");
}

TEST(RichTextReader, HostileNumbersAreClamped) {
  const auto Size = [](const std::string& Words) { return Read(Words + " x\\par").Paragraphs.at(0).Runs.at(0).Format.HalfPoints; };
  EXPECT_EQ(Size("\\fs999999999"), MaxHalfPoints);
  EXPECT_EQ(Size("\\fs99999999999999999999999"), MaxHalfPoints);
  EXPECT_EQ(Size("\\fs-5"), 24);
  EXPECT_EQ(Size("\\fs1"), MinHalfPoints);
  EXPECT_FALSE(Read("\\cf999999 x\\par").Paragraphs[0].Runs[0].Format.HasColor);
  EXPECT_FALSE(Read("\\cf-1 x\\par").Paragraphs[0].Runs[0].Format.HasColor);
  EXPECT_EQ(Read("\\f-7 x\\par").Paragraphs[0].Runs[0].Format.Font, -1);
  EXPECT_EQ(Read("\\u99999999?g\\u-99999999?h\\par").Paragraphs[0].Text(), "\xEF\xBF\xBDg\xEF\xBF\xBDh");
  const auto D = Read("\\li-2147483648\\fi99999999999\\tx-5 i\\par");
  EXPECT_EQ(D.Paragraphs[0].LeftIndent, -2147483647);
  EXPECT_EQ(D.Paragraphs[0].FirstIndent, 2147483647);
  EXPECT_EQ(D.Paragraphs[0].TabStops, (std::vector<int32_t>{0}));
  // \bin larger than the rest of the file just ends it.
  EXPECT_EQ(ReadRichText(Head + "x\\bin2147483647 abc}").Error, "1 group is not closed at the end of the text");
  // Tab stops per paragraph are bounded.
  std::string Many;
  for (int i = 0; i < 1000; ++i) Many += "\\tx" + std::to_string(i);
  EXPECT_EQ(Read(Many + " x\\par").Paragraphs[0].TabStops.size(), MaxTabStops);
}

TEST(RichTextReader, DeepNestingIsBoundedAndStillRead) {
  const int Depth = 100000;
  const std::string Deep = Head + std::string(Depth, '{') + "\\b deep" + std::string(Depth, '}') + " after\\par}";
  const auto D = ReadRichText(Deep);
  EXPECT_EQ(D.Error, "groups nested deeper than 200 levels");
  EXPECT_EQ(Texts(D), (std::vector<std::string>{"deep after"}));
  // Unclosed deep nesting counts every open group.
  EXPECT_EQ(ReadRichText(Head + std::string(Depth, '{')).Error, "groups nested deeper than 200 levels");
}

TEST(RichTextReader, GarbageNeverBreaksTheReader) {
  std::mt19937 Random(20261207);
  std::uniform_int_distribution<int> Byte(0, 255);
  // Bytes biased towards the characters the reader reacts to.
  const std::string Special = "{}\\'*0123456789-abfsuclparbinpnt ";
  for (int Round = 0; Round < 300; ++Round) {
    std::string Input = "{\\rtf1";
    const size_t Length = 1 + Random() % 3000;
    for (size_t i = 0; i < Length; ++i)
      Input += Random() % 2 ? Special[Random() % Special.size()] : static_cast<char>(Byte(Random));
    const auto D = ReadRichText(Input);
    size_t Output = 0;
    for (const auto& P : D.Paragraphs)
      for (const auto& R : P.Runs) {
        Output += R.Text.size();
        EXPECT_GE(R.Format.HalfPoints, MinHalfPoints);
        EXPECT_LE(R.Format.HalfPoints, MaxHalfPoints);
        EXPECT_LT(R.Format.Font, static_cast<int32_t>(D.Fonts.size()));
      }
    // Every byte of output comes from the input: at most 4 UTF-8 bytes for
    // the shortest escape (3 bytes, \uN) or a raw byte.
    EXPECT_LE(Output, 4 * Input.size());
    EXPECT_LE(D.Paragraphs.size(), Input.size());
  }
}

TEST(RichTextReader, LargeInputInLinearTime) {
  // 200 000 runs with format changes and a long font table: quadratic work
  // would take minutes here.
  std::string Body = "{\\fonttbl";
  for (int F = 0; F < 20000; ++F) Body += "{\\f" + std::to_string(F) + " Font" + std::to_string(F) + ";}";
  Body += "}";
  for (int i = 0; i < 200000; ++i) Body += (i % 2 ? "\\b0\\f7 x" : "\\b\\f19999 y");
  const auto Start = std::chrono::steady_clock::now();
  const auto D = ReadRichText("{\\rtf1" + Body + "\\par}");
  const auto Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
  EXPECT_TRUE(D.Error.empty()) << D.Error;
  EXPECT_EQ(D.Fonts.size(), 20000u);
  ASSERT_EQ(D.Paragraphs.size(), 1u);
  EXPECT_EQ(D.Paragraphs[0].Runs.size(), 200000u);
  EXPECT_LT(Seconds, 20.0);  // a hang guard, not a speed target
}

TEST(RichTextWriter, WhatItWritesReadsBack) {
  TRichTextWriter W({"Arial", "Courier New"});
  TRichTextFormat Title{.Bold = true, .HalfPoints = 28, .HasColor = true, .Color = 0x333399, .Font = 0};
  TRichTextFormat Code{.HalfPoints = 18, .Font = 1};
  TRichTextFormat Plain{.Font = 0};
  W.Paragraph("Title {with} \\braces", Title);
  TRichTextParagraphStyle Bullet{.List = TRichTextList::rlBullet, .FirstIndent = 200, .TabStops = {}};
  W.BeginParagraph(Bullet);
  W.Text("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\t", Plain);
  W.Text("code", Code);
  W.EndParagraph(Plain);
  W.Paragraph("", Plain, {.Align = TRichTextAlign::raCenter, .LeftIndent = 360, .TabStops = {1440}});
  W.Paragraph("line\nbreak \xFF", TRichTextFormat{.Italic = true, .Underline = true, .Font = 0});
  const std::string Text = W.Finish();
  // Plain ASCII file.
  for (const char C : Text) EXPECT_LT(static_cast<unsigned char>(C), 0x80u);

  const auto D = ReadRichText(Text);
  ASSERT_TRUE(D.Error.empty()) << D.Error;
  EXPECT_EQ(D.Fonts, (std::vector<std::string>{"Arial", "Courier New"}));
  EXPECT_EQ(Texts(D), (std::vector<std::string>{"Title {with} \\braces", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\tcode",
                                                "", "line\nbreak \xEF\xBF\xBD"}));
  EXPECT_EQ(D.Paragraphs[0].Runs[0].Format, Title);
  EXPECT_EQ(D.Paragraphs[1].List, TRichTextList::rlBullet);
  EXPECT_EQ(D.Paragraphs[1].FirstIndent, 200);
  EXPECT_EQ(D.Paragraphs[1].Runs[1].Format, Code);
  EXPECT_EQ(D.Paragraphs[2].Align, TRichTextAlign::raCenter);
  EXPECT_EQ(D.Paragraphs[2].LeftIndent, 360);
  EXPECT_EQ(D.Paragraphs[2].TabStops, (std::vector<int32_t>{1440}));
  EXPECT_EQ(D.Paragraphs[2].List, TRichTextList::rlNone);
  EXPECT_TRUE(D.Paragraphs[3].Runs[0].Format.Italic && D.Paragraphs[3].Runs[0].Format.Underline);
}
