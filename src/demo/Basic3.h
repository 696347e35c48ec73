// The base form of the text pages: one read-only rich text control,
// RichEdit1, filling the page, on the page colour in "Arial" bold, 16
// pixels (12 point), with a vertical scroll bar. Derived pages fill it in
// their constructor after the base has emptied it; the hosting contract is
// in Basic2.h.
#pragma once

#include <QPointer>
#include <QWidget>

class QTextEdit;

class TBasicForm3 : public QWidget {
  Q_OBJECT
public:
  explicit TBasicForm3(QWidget* Owner);

  QWidget* Owner() const { return FOwner; }

  QTextEdit* RichEdit1;

private:
  QPointer<QWidget> FOwner;
};
