// Writes the built texts of the text pages into a rich text control: one
// paragraph per line, in the pages' style (colour RGB(51,51,153), 14 point,
// on the control's own font), with bulleted lists indented by 10 points.
//
// Like typing into the control, every line ends its paragraph, so the caret
// always stands in a fresh empty paragraph; switching bullets or italics
// changes that paragraph and everything written after it.
#pragma once

#include <QTextCursor>

class QTextEdit;

class TBuiltText {
public:
  // Empties Edit and sets the style at the caret.
  explicit TBuiltText(QTextEdit& Edit);

  TBuiltText& Line(const QString& Text);
  TBuiltText& Lines(const QStringList& Texts);
  TBuiltText& BulletsOn();
  TBuiltText& BulletsOff();
  // Italic only: the control's bold is switched off too.
  TBuiltText& ItalicOnly();

private:
  QTextEdit& FEdit;
  QTextCursor FCursor;
};

// The pages' text colour, RGB(51,51,153).
QColor BuiltTextColour();
