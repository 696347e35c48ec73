// Page "Introduction" (TIntroduction): a heading and the welcome text, which
// the user may edit (the edits go with the page).
#pragma once

#include <QWidget>

class QLabel;
class QTextEdit;

class TIntroduction : public QWidget {
  Q_OBJECT
public:
  explicit TIntroduction(QWidget* Owner);

  QLabel* Label1;
  QTextEdit* RichEdit1;

private:
  void FormCreate(QWidget* Owner);
};
