// The loader into a QTextDocument: formats and lists as the pages show
// them, and the silent failure that leaves a page empty.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "RichTextDocument.h"

namespace fs = std::filesystem;

namespace {

const std::string Sample =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}{\\colortbl ;\\red51\\green51\\blue153;}\n"
    "\\pard\\qc\\plain\\fs28\\b\\cf1 Title\\par\n"
    "\\pard{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}\\fi200\\plain one \\i italic\\par\n"
    "{\\pntext\\'b7\\tab}two\\line next\\par\n"
    "\\pard\\li720\\tx1440\\plain\\f1 a\\tab b\\par\n"
    "\\pard{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}again\\par}";

QTextCharFormat FormatAt(const QTextBlock& Block, int Position) {
  QTextCursor Cursor(Block);
  Cursor.setPosition(Block.position() + Position + 1);
  return Cursor.charFormat();
}

class TTempFile {
public:
  explicit TTempFile(const std::string& Bytes)
      : FPath(fs::temp_directory_path() / ("richtext_" + std::to_string(::getpid()) + "_" + std::to_string(++Count) + ".rtf")) {
    std::ofstream(FPath, std::ios::binary) << Bytes;
  }
  ~TTempFile() { fs::remove(FPath); }
  std::string Path() const { return FPath.string(); }

private:
  static inline int Count = 0;
  fs::path FPath;
};

}  // namespace

TEST(RichTextDocument, BlocksFormatsAndLists) {
  QTextDocument Document;
  ASSERT_TRUE(LoadRichText(Sample, Document));
  ASSERT_EQ(Document.blockCount(), 5);
  const QTextBlock Title = Document.findBlockByNumber(0);
  EXPECT_EQ(Title.text(), "Title");
  EXPECT_EQ(Title.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  const QTextCharFormat TitleFormat = FormatAt(Title, 0);
  EXPECT_EQ(TitleFormat.fontWeight(), QFont::Bold);
  EXPECT_DOUBLE_EQ(TitleFormat.fontPointSize(), 14.0);
  EXPECT_EQ(TitleFormat.foreground().color(), QColor(51, 51, 153));
  EXPECT_EQ(TitleFormat.fontFamilies().toStringList(), QStringList{"Arial"});
  EXPECT_EQ(Title.textList(), nullptr);

  const QTextBlock One = Document.findBlockByNumber(1), Two = Document.findBlockByNumber(2);
  ASSERT_NE(One.textList(), nullptr);
  EXPECT_EQ(One.textList(), Two.textList());  // one list for bullets in a row
  EXPECT_EQ(One.textList()->format().style(), QTextListFormat::ListDisc);
  EXPECT_EQ(One.textList()->count(), 2);
  EXPECT_DOUBLE_EQ(One.blockFormat().textIndent(), 200 / 15.0);
  EXPECT_FALSE(FormatAt(One, 0).fontItalic());
  EXPECT_TRUE(FormatAt(One, 4).fontItalic());
  EXPECT_EQ(Two.text(), QString("two") + QChar(QChar::LineSeparator) + "next");

  const QTextBlock Code = Document.findBlockByNumber(3);
  EXPECT_EQ(Code.textList(), nullptr);
  EXPECT_EQ(Code.text(), "a\tb");
  EXPECT_DOUBLE_EQ(Code.blockFormat().leftMargin(), 720 / 15.0);
  ASSERT_EQ(Code.blockFormat().tabPositions().size(), 1);
  EXPECT_EQ(FormatAt(Code, 0).fontFamilies().toStringList(), QStringList{"Courier New"});

  // A list after a plain paragraph is a new list.
  const QTextBlock Again = Document.findBlockByNumber(4);
  ASSERT_NE(Again.textList(), nullptr);
  EXPECT_NE(Again.textList(), One.textList());
}

TEST(RichTextDocument, BrokenTextLeavesTheDocumentEmpty) {
  for (const std::string& Broken : {Sample.substr(0, Sample.size() - 1), Sample + " trailing",
                                   std::string("{\\rtf1 x\\'"), std::string("{\\rtf1") + std::string(1000, '{') + "}"}) {
    QTextDocument Document;
    Document.setPlainText("old");
    EXPECT_FALSE(LoadRichText(Broken, Document)) << Broken;
    EXPECT_TRUE(Document.isEmpty()) << Broken;
  }
  // Plain text loads as plain text.
  QTextDocument Plain;
  EXPECT_TRUE(LoadRichText("first\nsecond {\\b not rich}", Plain));
  EXPECT_EQ(Plain.blockCount(), 2);
  EXPECT_EQ(Plain.findBlockByNumber(1).text(), "second {\\b not rich}");
}

TEST(RichTextDocument, FilesThatCannotBeLoaded) {
  QTextDocument Document;
  Document.setPlainText("old");
  EXPECT_FALSE(LoadRichTextFile((fs::temp_directory_path() / "no such file.rtf").string(), Document));
  EXPECT_TRUE(Document.isEmpty());
  Document.setPlainText("old");
  EXPECT_FALSE(LoadRichTextFile(fs::temp_directory_path().string(), Document));  // a folder
  EXPECT_TRUE(Document.isEmpty());

  // Too large: refused before it is read (a sparse file costs no disk).
  const TTempFile Huge("{\\rtf1 x}");
  fs::resize_file(Huge.Path(), MaxRichTextFile + 1);
  Document.setPlainText("old");
  EXPECT_FALSE(LoadRichTextFile(Huge.Path(), Document));
  EXPECT_TRUE(Document.isEmpty());

  const TTempFile Good(Sample);
  EXPECT_TRUE(LoadRichTextFile(Good.Path(), Document));
  EXPECT_EQ(Document.blockCount(), 5);
  const TTempFile Empty("");
  EXPECT_TRUE(LoadRichTextFile(Empty.Path(), Document));
  EXPECT_TRUE(Document.isEmpty());
}
