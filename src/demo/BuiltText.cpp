// The built texts' writer; see BuiltText.h.
#include "BuiltText.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>
#include <QTextListFormat>

namespace {

// 10 points at the usual 96 pixels per inch.
constexpr qreal BulletIndentPixels = 10.0 * 96.0 / 72.0;

}  // namespace

QColor BuiltTextColour() { return QColor(51, 51, 153); }

TBuiltText::TBuiltText(QTextEdit& Edit) : FEdit(Edit) {
  FEdit.clear();
  // The bullets are drawn in the control's text colour.
  QPalette Colours = FEdit.palette();
  Colours.setColor(QPalette::Text, BuiltTextColour());
  FEdit.setPalette(Colours);
  FEdit.document()->setIndentWidth(BulletIndentPixels);
  FCursor = QTextCursor(FEdit.document());
  QTextCharFormat Format;
  Format.setFont(FEdit.font());
  Format.setForeground(BuiltTextColour());
  Format.setFontPointSize(14);
  FCursor.setCharFormat(Format);
  FCursor.setBlockCharFormat(Format);
}

TBuiltText& TBuiltText::Line(const QString& Text) {
  FCursor.insertText(Text);
  // The new paragraph inherits the list and the style of this one.
  FCursor.insertBlock(FCursor.blockFormat(), FCursor.charFormat());
  return *this;
}

TBuiltText& TBuiltText::Lines(const QStringList& Texts) {
  for (const QString& Text : Texts) Line(Text);
  return *this;
}

TBuiltText& TBuiltText::BulletsOn() {
  QTextListFormat List;
  List.setStyle(QTextListFormat::ListDisc);
  List.setIndent(1);
  FCursor.createList(List);
  return *this;
}

TBuiltText& TBuiltText::BulletsOff() {
  if (QTextList* List = FCursor.currentList()) List->remove(FCursor.block());
  QTextBlockFormat Block = FCursor.blockFormat();
  Block.setIndent(0);
  Block.setTextIndent(0);
  FCursor.setBlockFormat(Block);
  return *this;
}

TBuiltText& TBuiltText::ItalicOnly() {
  QTextCharFormat Format = FCursor.charFormat();
  Format.setFontItalic(true);
  Format.setFontWeight(QFont::Normal);
  FCursor.setCharFormat(Format);
  FCursor.setBlockCharFormat(Format);
  return *this;
}
