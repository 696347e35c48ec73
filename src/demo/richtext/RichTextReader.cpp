// The rich-text reader: one pass over the bytes with an explicit stack of
// group states, so neither nesting nor length can exhaust the call stack.
#include "RichTextReader.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_map>

namespace {

// Windows-1252 0x80..0x9F; the rest of the upper half is Latin-1. Undefined
// positions read as the replacement character.
constexpr std::array<uint16_t, 32> Cp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

uint32_t Cp1252(unsigned char Byte) {
  if (Byte >= 0x80 && Byte < 0xA0) return Cp1252High[Byte - 0x80];
  return Byte;
}

void AppendUtf8(std::string& Out, uint32_t Code) {
  if (Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF)) Code = 0xFFFD;
  if (Code < 0x80) {
    Out += static_cast<char>(Code);
  } else if (Code < 0x800) {
    Out += static_cast<char>(0xC0 | (Code >> 6));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  } else if (Code < 0x10000) {
    Out += static_cast<char>(0xE0 | (Code >> 12));
    Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (Code >> 18));
    Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Code & 0x3F));
  }
}

// Tab, line breaks and printable characters; other C0 controls and DEL are
// dropped rather than shown as boxes.
bool Shown(uint32_t Code) { return Code == '\t' || Code == '\n' || (Code >= 0x20 && Code != 0x7F); }

bool ValidUtf8(std::string_view Text) {
  size_t I = 0;
  while (I < Text.size()) {
    const auto Lead = static_cast<unsigned char>(Text[I]);
    size_t Length = 0;
    uint32_t Code = 0;
    if (Lead < 0x80) {
      ++I;
      continue;
    } else if (Lead >= 0xC2 && Lead <= 0xDF) {
      Length = 2, Code = Lead & 0x1F;
    } else if (Lead >= 0xE0 && Lead <= 0xEF) {
      Length = 3, Code = Lead & 0x0F;
    } else if (Lead >= 0xF0 && Lead <= 0xF4) {
      Length = 4, Code = Lead & 0x07;
    } else {
      return false;
    }
    if (Text.size() - I < Length) return false;
    for (size_t K = 1; K < Length; ++K) {
      const auto Next = static_cast<unsigned char>(Text[I + K]);
      if ((Next & 0xC0) != 0x80) return false;
      Code = (Code << 6) | (Next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode.
    if ((Length == 3 && Code < 0x800) || (Length == 4 && (Code < 0x10000 || Code > 0x10FFFF)) ||
        (Code >= 0xD800 && Code <= 0xDFFF))
      return false;
    I += Length;
  }
  return true;
}

// One code point of valid UTF-8 at Text[I]; advances I.
uint32_t NextUtf8(std::string_view Text, size_t& I) {
  const auto Lead = static_cast<unsigned char>(Text[I++]);
  if (Lead < 0x80) return Lead;
  const size_t Length = Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : 2;
  uint32_t Code = Lead & (Length == 2 ? 0x1F : Length == 3 ? 0x0F : 0x07);
  for (size_t K = 1; K < Length; ++K) Code = (Code << 6) | (static_cast<unsigned char>(Text[I++]) & 0x3F);
  return Code;
}

TRichTextDocument ReadPlainText(std::string_view Bytes) {
  TRichTextDocument Document;
  if (Bytes.starts_with("\xEF\xBB\xBF")) Bytes.remove_prefix(3);
  const bool Utf8 = ValidUtf8(Bytes);
  TRichTextParagraph Paragraph;
  std::string Line;
  const auto EndLine = [&] {
    if (!Line.empty()) Paragraph.Runs.push_back({std::move(Line), {}});
    Line.clear();
    Document.Paragraphs.push_back(std::move(Paragraph));
    Paragraph = {};
  };
  size_t I = 0;
  while (I < Bytes.size()) {
    if (Bytes[I] == '\r' || Bytes[I] == '\n') {
      if (Bytes[I] == '\r' && I + 1 < Bytes.size() && Bytes[I + 1] == '\n') ++I;
      ++I;
      EndLine();
      continue;
    }
    const uint32_t Code = Utf8 ? NextUtf8(Bytes, I) : Cp1252(static_cast<unsigned char>(Bytes[I++]));
    if (Shown(Code)) AppendUtf8(Line, Code);
  }
  if (!Line.empty()) EndLine();
  return Document;
}

// Control words that open a destination whose text is not shown. A group
// that starts with one of them is skipped whole, whether or not it carries
// the {\* ...} mark.
bool SkippedDestination(std::string_view Word) {
  static constexpr std::string_view Words[] = {
      "annotation", "atnauthor", "atnid",      "author",    "bkmkend",    "bkmkstart", "blipuid",
      "colorschememapping",     "comment",    "datastore", "doccomm",    "falt",      "fchars",
      "filetbl",    "fldinst",   "footer",     "footerf",   "footerl",    "footerr",   "footnote",
      "generator",  "header",    "headerf",    "headerl",   "headerr",    "info",      "keywords",
      "latentstyles",           "lchars",     "listoverridetable",       "listtable", "mmathPr",
      "nonshppict", "objdata",   "object",     "operator",  "panose",     "pgdsctbl",  "pict",
      "picprop",    "pntxta",    "pntxtb",     "private",   "protusertbl","revtbl",    "rsidtbl",
      "shp",        "shpinst",   "shptxt",     "stylesheet","subject",    "tc",        "template",
      "themedata",  "title",     "txe",        "userprops", "wgrffmtfilter",           "xe",
      "xmlnstbl"};
  return std::find(std::begin(Words), std::end(Words), Word) != std::end(Words);
}

class TReader {
public:
  explicit TReader(std::string_view Bytes) : FIn(Bytes) {}
  TRichTextDocument Read();

private:
  enum class TDestination { dText, dSkip, dFontTable, dColorTable, dListText, dNumbering };

  struct TParagraphFormat {
    TRichTextList List = TRichTextList::rlNone;
    TRichTextAlign Align = TRichTextAlign::raLeft;
    int32_t LeftIndent = 0;
    int32_t FirstIndent = 0;
    std::vector<int32_t> TabStops;
  };

  struct TState {
    TRichTextFormat Char;
    TParagraphFormat Para;
    TDestination Destination = TDestination::dText;
    int32_t UnicodeSkip = 1;  // \uc: fallback characters after \u
  };

  void OpenGroup();
  void CloseGroup();
  void ControlSequence();
  void ControlWord(std::string_view Word, bool HasParameter, int32_t Parameter);
  void Literal(uint32_t Code);
  void Character(uint32_t Code);
  void Unicode(int32_t Parameter);
  void EndParagraph();
  void SetError(const std::string& Text) {
    if (FDocument.Error.empty()) FDocument.Error = Text;
  }
  TRichTextFormat PlainFormat() const {
    TRichTextFormat Format;
    Format.Font = FontPosition(FDefaultFont);
    return Format;
  }
  int32_t FontPosition(int32_t Number) const {
    const auto Found = FFontNumbers.find(Number);
    return Found == FFontNumbers.end() ? -1 : Found->second;
  }
  bool Skipping() const { return FState.Destination == TDestination::dSkip; }

  std::string_view FIn;
  size_t FPos = 0;
  TRichTextDocument FDocument;
  TState FState;
  std::vector<TState> FStack;    // saved states of the open groups
  int64_t FOverflow = 0;         // open groups beyond MaxGroupDepth
  bool FEnded = false;           // the outermost group closed
  bool FIgnorable = false;       // a \* came just before
  int32_t FFallbackLeft = 0;     // characters still to skip after \u
  uint32_t FHighSurrogate = 0;   // first half of a \u pair
  TRichTextParagraph FParagraph;
  bool FListText = false;        // the paragraph carries a \pntext or \listtext
  TRichTextList FNumbering = TRichTextList::rlNone;  // set by the current \pn group
  int32_t FDefaultFont = 0;
  // Font table
  std::unordered_map<int32_t, int32_t> FFontNumbers;
  int32_t FFontNumber = 0;
  bool FFontOpen = false;
  std::string FFontName;
  // Colour table: -1 is the default colour
  std::vector<int64_t> FColors;
  int32_t FRed = 0, FGreen = 0, FBlue = 0;
  bool FColorSet = false;
};

constexpr size_t MaxFontName = 256;

int32_t Clamp(int32_t Value, int32_t Low, int32_t High) { return std::min(std::max(Value, Low), High); }

TRichTextDocument TReader::Read() {
  FDocument.Rich = true;
  while (FPos < FIn.size() && !FEnded) {
    const char C = FIn[FPos];
    if (C == '{') {
      ++FPos;
      OpenGroup();
    } else if (C == '}') {
      ++FPos;
      CloseGroup();
    } else if (C == '\\') {
      ++FPos;
      ControlSequence();
    } else {
      ++FPos;
      // Line ends in the file only lay out the source.
      if (C != '\r' && C != '\n') Literal(Cp1252(static_cast<unsigned char>(C)));
    }
  }
  if (!FEnded) {
    const int64_t Open = static_cast<int64_t>(FStack.size()) + FOverflow;
    SetError(std::to_string(Open) + (Open == 1 ? " group is" : " groups are") + " not closed at the end of the text");
  } else {
    // A closing NUL or line end is common after the last brace; text is not.
    const auto Rest = FIn.substr(FPos);
    if (Rest.find_first_not_of(std::string_view(" \t\r\n\0", 5)) != std::string_view::npos)
      SetError("text after the end of the document at byte " + std::to_string(FPos));
  }
  if (!FParagraph.Runs.empty()) EndParagraph();
  return std::move(FDocument);
}

void TReader::OpenGroup() {
  FFallbackLeft = 0;
  FIgnorable = false;
  if (static_cast<int64_t>(FStack.size()) >= MaxGroupDepth) {
    if (FOverflow == 0) SetError("groups nested deeper than " + std::to_string(MaxGroupDepth) + " levels");
    ++FOverflow;
    return;
  }
  FStack.push_back(FState);
}

void TReader::CloseGroup() {
  FFallbackLeft = 0;
  FIgnorable = false;
  if (FOverflow > 0) {
    --FOverflow;
    return;
  }
  if (FStack.empty()) {  // only before the first group, which Read rules out
    FEnded = true;
    return;
  }
  const TDestination Closing = FState.Destination;
  if (Closing == TDestination::dFontTable && FFontOpen && !FFontName.empty()) Character(';');
  if (Closing == TDestination::dColorTable && FColorSet) Character(';');
  FState = FStack.back();
  FStack.pop_back();
  // Text outside the font table is in the default font (\deff) until \f says otherwise.
  if (Closing == TDestination::dFontTable && FState.Destination != TDestination::dFontTable) {
    const int32_t Default = FontPosition(FDefaultFont);
    if (FState.Char.Font < 0) FState.Char.Font = Default;
    for (TState& Saved : FStack)
      if (Saved.Char.Font < 0) Saved.Char.Font = Default;
  }
  // The numbering group sets the paragraph's list style for the group around it.
  if (Closing == TDestination::dNumbering && FState.Destination != TDestination::dNumbering &&
      FNumbering != TRichTextList::rlNone)
    FState.Para.List = FNumbering;
  if (FStack.empty()) FEnded = true;
}

void TReader::ControlSequence() {
  if (FPos >= FIn.size()) {
    SetError("a backslash at the end of the text");
    return;
  }
  const char C = FIn[FPos];
  const auto Letter = [](char Ch) { return (Ch >= 'a' && Ch <= 'z') || (Ch >= 'A' && Ch <= 'Z'); };
  const auto Digit = [](char Ch) { return Ch >= '0' && Ch <= '9'; };
  if (Letter(C)) {
    const size_t Start = FPos;
    while (FPos < FIn.size() && Letter(FIn[FPos])) ++FPos;
    // Words longer than the format allows are no word we know; keep the
    // comparison short.
    const std::string_view Word = FIn.substr(Start, std::min<size_t>(FPos - Start, 33));
    bool HasParameter = false;
    int64_t Value = 0;
    bool Negative = false;
    if (FPos + 1 < FIn.size() && FIn[FPos] == '-' && Digit(FIn[FPos + 1])) {
      Negative = true;
      ++FPos;
    }
    while (FPos < FIn.size() && Digit(FIn[FPos])) {
      HasParameter = true;
      // Saturate: a parameter only has to stay a parameter, not exact.
      Value = std::min<int64_t>(Value * 10 + (FIn[FPos] - '0'), std::numeric_limits<int32_t>::max());
      ++FPos;
    }
    if (FPos < FIn.size() && FIn[FPos] == ' ') ++FPos;
    ControlWord(Word, HasParameter, static_cast<int32_t>(Negative ? -Value : Value));
    return;
  }
  ++FPos;
  FIgnorable = false;
  switch (C) {
    case '*':
      FIgnorable = true;
      return;
    case '\'': {
      const auto Hex = [](char Ch) -> int {
        if (Ch >= '0' && Ch <= '9') return Ch - '0';
        if (Ch >= 'a' && Ch <= 'f') return Ch - 'a' + 10;
        if (Ch >= 'A' && Ch <= 'F') return Ch - 'A' + 10;
        return -1;
      };
      if (FIn.size() - FPos < 2) {
        FPos = FIn.size();
        SetError("an escape \\' cut off at the end of the text");
        return;
      }
      const int High = Hex(FIn[FPos]), Low = Hex(FIn[FPos + 1]);
      if (High < 0 || Low < 0) return;  // not an escape: the characters read as text
      FPos += 2;
      Literal(Cp1252(static_cast<unsigned char>(High * 16 + Low)));
      return;
    }
    case '\\':
    case '{':
    case '}':
      Literal(static_cast<unsigned char>(C));
      return;
    case '~':
      Literal(0x00A0);
      return;
    case '_':
      Literal(0x2011);
      return;
    case '\r':
    case '\n':
      ControlWord("par", false, 0);
      return;
    default:
      // \- optional hyphen, \| and \: index marks: nothing to show
      if (FFallbackLeft > 0) --FFallbackLeft;
      return;
  }
}

void TReader::ControlWord(std::string_view Word, bool HasParameter, int32_t Parameter) {
  const bool Ignorable = FIgnorable;
  FIgnorable = false;
  if (Word == "bin") {
    // Binary data is never text, in any destination.
    const size_t Count = Parameter > 0 ? static_cast<size_t>(Parameter) : 0;
    FPos += std::min(Count, FIn.size() - FPos);
    return;
  }
  if (Skipping()) return;
  if (FFallbackLeft > 0) {
    --FFallbackLeft;
    return;
  }
  const bool On = !HasParameter || Parameter != 0;
  TRichTextFormat& Char = FState.Char;
  TParagraphFormat& Para = FState.Para;

  // Destinations
  if (Word == "fonttbl") {
    FState.Destination = TDestination::dFontTable;
  } else if (Word == "colortbl") {
    FState.Destination = TDestination::dColorTable;
  } else if (Word == "pntext" || Word == "listtext") {
    FListText = true;
    FState.Destination = TDestination::dListText;
  } else if (Word == "pn") {
    FNumbering = TRichTextList::rlNone;
    FState.Destination = TDestination::dNumbering;
  } else if (Ignorable || SkippedDestination(Word)) {
    FState.Destination = TDestination::dSkip;
  }
  // Tables
  else if (FState.Destination == TDestination::dFontTable) {
    if (Word == "f") {
      if (FFontOpen && !FFontName.empty()) Character(';');
      FFontNumber = Parameter;
      FFontOpen = true;
      FFontName.clear();
    } else if (Word == "u") {
      Unicode(Parameter);
    }
  } else if (FState.Destination == TDestination::dColorTable) {
    const int32_t Component = Clamp(Parameter, 0, 255);
    if (Word == "red") FRed = Component, FColorSet = true;
    if (Word == "green") FGreen = Component, FColorSet = true;
    if (Word == "blue") FBlue = Component, FColorSet = true;
  } else if (FState.Destination == TDestination::dNumbering) {
    if (Word == "pnlvlblt") FNumbering = TRichTextList::rlBullet;
    if (Word == "pnlvlbody" || Word == "pndec") FNumbering = TRichTextList::rlNumber;
  } else if (FState.Destination == TDestination::dListText) {
    // the bullet text of readers without list support: shown by the list itself
  }
  // Character formatting
  else if (Word == "b") {
    Char.Bold = On;
  } else if (Word == "i") {
    Char.Italic = On;
  } else if (Word == "ul" || Word == "uld" || Word == "uldb" || Word == "ulw" || Word == "uldash" ||
             Word == "ulth" || Word == "ulwave") {
    Char.Underline = On;
  } else if (Word == "ulnone") {
    Char.Underline = false;
  } else if (Word == "fs") {
    Char.HalfPoints = HasParameter && Parameter > 0 ? Clamp(Parameter, MinHalfPoints, MaxHalfPoints) : 24;
  } else if (Word == "cf") {
    const bool Known = Parameter >= 0 && static_cast<size_t>(Parameter) < FColors.size() &&
                       FColors[static_cast<size_t>(Parameter)] >= 0;
    Char.HasColor = Known;
    Char.Color = Known ? static_cast<uint32_t>(FColors[static_cast<size_t>(Parameter)]) : 0;
  } else if (Word == "f") {
    Char.Font = FontPosition(Parameter);
  } else if (Word == "deff") {
    FDefaultFont = Parameter;
  } else if (Word == "plain") {
    Char = PlainFormat();
  }
  // Paragraph formatting
  else if (Word == "pard") {
    Para = {};
  } else if (Word == "li") {
    Para.LeftIndent = Parameter;
  } else if (Word == "fi") {
    Para.FirstIndent = Parameter;
  } else if (Word == "tx") {
    if (Para.TabStops.size() < MaxTabStops) Para.TabStops.push_back(std::max(Parameter, 0));
  } else if (Word == "ql") {
    Para.Align = TRichTextAlign::raLeft;
  } else if (Word == "qc") {
    Para.Align = TRichTextAlign::raCenter;
  } else if (Word == "qr") {
    Para.Align = TRichTextAlign::raRight;
  } else if (Word == "qj") {
    Para.Align = TRichTextAlign::raJustify;
  }
  // Text
  else if (Word == "par" || Word == "sect" || Word == "page") {
    EndParagraph();
  } else if (Word == "line") {
    Literal('\n');
  } else if (Word == "tab") {
    Literal('\t');
  } else if (Word == "bullet") {
    Literal(0x2022);
  } else if (Word == "emdash") {
    Literal(0x2014);
  } else if (Word == "endash") {
    Literal(0x2013);
  } else if (Word == "lquote") {
    Literal(0x2018);
  } else if (Word == "rquote") {
    Literal(0x2019);
  } else if (Word == "ldblquote") {
    Literal(0x201C);
  } else if (Word == "rdblquote") {
    Literal(0x201D);
  } else if (Word == "u") {
    Unicode(Parameter);
  } else if (Word == "uc") {
    FState.UnicodeSkip = Clamp(Parameter, 0, 8);
  }
}

void TReader::Unicode(int32_t Parameter) {
  // Values above 32767 are written as negative 16-bit numbers.
  int64_t Value = Parameter;
  if (Value < 0) Value += 65536;
  uint32_t Code = Value >= 0 && Value <= 0xFFFF ? static_cast<uint32_t>(Value) : 0xFFFD;
  Literal(Code);
  FFallbackLeft = FState.UnicodeSkip;
}

// A character from the text of the file: the fallback of a \u is dropped.
void TReader::Literal(uint32_t Code) {
  if (FFallbackLeft > 0) {
    --FFallbackLeft;
    return;
  }
  // Pairs of \u halves make one character; a half alone is replaced.
  if (Code >= 0xD800 && Code <= 0xDBFF) {
    if (FHighSurrogate) Character(0xFFFD);
    FHighSurrogate = Code;
    return;
  }
  if (Code >= 0xDC00 && Code <= 0xDFFF) {
    if (FHighSurrogate) {
      Code = 0x10000 + ((FHighSurrogate - 0xD800) << 10) + (Code - 0xDC00);
      FHighSurrogate = 0;
    } else {
      Code = 0xFFFD;
    }
  } else if (FHighSurrogate) {
    FHighSurrogate = 0;
    Character(0xFFFD);
  }
  Character(Code);
}

void TReader::Character(uint32_t Code) {
  switch (FState.Destination) {
    case TDestination::dText: {
      if (!Shown(Code)) return;
      if (FParagraph.Runs.empty() || !(FParagraph.Runs.back().Format == FState.Char))
        FParagraph.Runs.push_back({"", FState.Char});
      AppendUtf8(FParagraph.Runs.back().Text, Code);
      return;
    }
    case TDestination::dFontTable:
      if (Code == ';') {
        if (FFontOpen) {
          const auto Begin = FFontName.find_first_not_of(' ');
          const auto End = FFontName.find_last_not_of(' ');
          FFontNumbers[FFontNumber] = static_cast<int32_t>(FDocument.Fonts.size());
          FDocument.Fonts.push_back(Begin == std::string::npos ? "" : FFontName.substr(Begin, End - Begin + 1));
        }
        FFontOpen = false;
        FFontName.clear();
      } else if (FFontOpen && FFontName.size() < MaxFontName && Shown(Code) && Code != '\t' && Code != '\n') {
        AppendUtf8(FFontName, Code);
      }
      return;
    case TDestination::dColorTable:
      if (Code == ';') {
        FColors.push_back(FColorSet ? (int64_t{FRed} << 16) | (FGreen << 8) | FBlue : -1);
        FRed = FGreen = FBlue = 0;
        FColorSet = false;
      }
      return;
    default:
      return;
  }
}

void TReader::EndParagraph() {
  if (FState.Destination != TDestination::dText) return;
  FHighSurrogate = 0;
  FParagraph.MarkFormat = FState.Char;
  FParagraph.List = FState.Para.List != TRichTextList::rlNone ? FState.Para.List
                    : FListText                                ? TRichTextList::rlBullet
                                                               : TRichTextList::rlNone;
  FParagraph.Align = FState.Para.Align;
  FParagraph.LeftIndent = FState.Para.LeftIndent;
  FParagraph.FirstIndent = FState.Para.FirstIndent;
  FParagraph.TabStops = FState.Para.TabStops;
  FDocument.Paragraphs.push_back(std::move(FParagraph));
  FParagraph = {};
  FListText = false;
}

}  // namespace

std::string TRichTextParagraph::Text() const {
  std::string Joined;
  for (const TRichTextRun& Run : Runs) Joined += Run.Text;
  return Joined;
}

TRichTextDocument ReadRichText(std::string_view Bytes) {
  if (!Bytes.starts_with("{\\rtf")) return ReadPlainText(Bytes);
  return TReader(Bytes).Read();
}
