// The Qt side of the rich-text files: paragraphs become blocks, runs become
// character formats, bulleted paragraphs in a row share one list.
#include "RichTextDocument.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

QString FromUtf8(const std::string& Text) {
  return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

QTextCharFormat CharFormat(const TRichTextFormat& Format, const std::vector<std::string>& Fonts) {
  QTextCharFormat Char;
  Char.setFontWeight(Format.Bold ? QFont::Bold : QFont::Normal);
  Char.setFontItalic(Format.Italic);
  Char.setFontUnderline(Format.Underline);
  Char.setFontPointSize(Format.HalfPoints / 2.0);
  if (Format.HasColor)
    Char.setForeground(QColor(static_cast<int>((Format.Color >> 16) & 0xFF), static_cast<int>((Format.Color >> 8) & 0xFF),
                              static_cast<int>(Format.Color & 0xFF)));
  if (Format.Font >= 0 && static_cast<size_t>(Format.Font) < Fonts.size() && !Fonts[static_cast<size_t>(Format.Font)].empty())
    Char.setFontFamilies(QStringList{FromUtf8(Fonts[static_cast<size_t>(Format.Font)])});
  return Char;
}

// Margins and tab stops are in layout pixels; the files give twips (1/1440
// inch), and the layout counts 96 pixels to the inch.
qreal Pixels(int32_t Twips) { return Twips / 15.0; }

Qt::Alignment Alignment(TRichTextAlign Align) {
  switch (Align) {
    case TRichTextAlign::raCenter:
      return Qt::AlignHCenter;
    case TRichTextAlign::raRight:
      return Qt::AlignRight;
    case TRichTextAlign::raJustify:
      return Qt::AlignJustify;
    default:
      return Qt::AlignLeft;
  }
}

}  // namespace

void FillTextDocument(const TRichTextDocument& Text, QTextDocument& Document) {
  // Loading is not an edit the user could undo; recording it would only
  // double the memory of a large text.
  const bool Undo = Document.isUndoRedoEnabled();
  Document.setUndoRedoEnabled(false);
  Document.clear();
  QTextCursor Cursor(&Document);
  QTextList* List = nullptr;
  TRichTextList ListKind = TRichTextList::rlNone;
  bool First = true;
  for (const TRichTextParagraph& Paragraph : Text.Paragraphs) {
    QTextBlockFormat Block;
    Block.setAlignment(Alignment(Paragraph.Align));
    Block.setLeftMargin(Pixels(Paragraph.LeftIndent));
    Block.setTextIndent(Pixels(Paragraph.FirstIndent));
    if (!Paragraph.TabStops.empty()) {
      QList<QTextOption::Tab> Tabs;
      for (const int32_t Stop : Paragraph.TabStops) Tabs.append(QTextOption::Tab(Pixels(Stop), QTextOption::LeftTab));
      Block.setTabPositions(Tabs);
    }
    const QTextCharFormat Mark = CharFormat(Paragraph.MarkFormat, Text.Fonts);
    if (First) {
      Cursor.setBlockFormat(Block);
      Cursor.setBlockCharFormat(Mark);
      First = false;
    } else {
      Cursor.insertBlock(Block, Mark);
    }
    if (Paragraph.List == TRichTextList::rlNone) {
      List = nullptr;
    } else if (List && ListKind == Paragraph.List) {
      List->add(Cursor.block());
    } else {
      QTextListFormat Format;
      Format.setStyle(Paragraph.List == TRichTextList::rlBullet ? QTextListFormat::ListDisc
                                                                : QTextListFormat::ListDecimal);
      Format.setIndent(1);
      List = Cursor.createList(Format);
      ListKind = Paragraph.List;
    }
    for (const TRichTextRun& Run : Paragraph.Runs) {
      QString Chunk = FromUtf8(Run.Text);
      Chunk.replace(QChar('\n'), QChar(QChar::LineSeparator));
      Cursor.insertText(Chunk, CharFormat(Run.Format, Text.Fonts));
    }
  }
  Document.setUndoRedoEnabled(Undo);
}

bool LoadRichText(std::string_view Bytes, QTextDocument& Document) {
  try {
    const TRichTextDocument Text = ReadRichText(Bytes);
    if (!Text.Error.empty()) {
      Document.clear();
      return false;
    }
    FillTextDocument(Text, Document);
    return true;
  } catch (...) {  // out of memory: the page stays empty, as for any failure
    Document.clear();
    return false;
  }
}

bool LoadRichTextFile(const std::string& Path, QTextDocument& Document) {
  try {
    std::error_code Error;
    const auto Size = std::filesystem::file_size(Path, Error);
    if (Error || !std::filesystem::is_regular_file(Path, Error) || Size > MaxRichTextFile) {
      Document.clear();
      return false;
    }
    std::ifstream In(Path, std::ios::binary);
    std::string Bytes(static_cast<size_t>(Size), '\0');
    if (!In || !In.read(Bytes.data(), static_cast<std::streamsize>(Bytes.size()))) {
      Document.clear();
      return false;
    }
    return LoadRichText(Bytes, Document);
  } catch (...) {
    Document.clear();
    return false;
  }
}
