// The working pages' base form and the owner look-ups of the hosting
// contract.
#include "Basic2.h"

#include <QAbstractButton>
#include <QFrame>
#include <QTextEdit>
#include <QVBoxLayout>

QWidget* FindOwnerControl(QWidget* Owner, const QString& Name) {
  return Owner ? Owner->findChild<QWidget*>(Name) : nullptr;
}

void DisableOwnerHelp(QWidget* Owner) {
  if (QWidget* Help = FindOwnerControl(Owner, QStringLiteral("btnHelp"))) Help->setEnabled(false);
}

QColor PageTextBackground() { return QColor(223, 223, 255); }

QTextEdit* NewPageTextEdit(QWidget* Parent) {
  auto* Edit = new QTextEdit(Parent);
  Edit->setObjectName(QStringLiteral("RichEdit1"));
  QPalette Colours = Edit->palette();
  Colours.setColor(QPalette::Base, PageTextBackground());
  Edit->setPalette(Colours);
  return Edit;
}

QFont PageTextFont() {
  QFont Font(QStringLiteral("Arial"));
  Font.setBold(true);
  Font.setPixelSize(16);
  return Font;
}

namespace {

QFrame* NewPanel(QWidget* Parent, const char* Name) {
  auto* Panel = new QFrame(Parent);
  Panel->setObjectName(QString::fromLatin1(Name));
  Panel->setFrameShape(QFrame::NoFrame);
  return Panel;
}

}  // namespace

TBasicForm2::TBasicForm2(QWidget* Owner) : QWidget(Owner), FOwner(Owner) {
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);

  Panel1 = NewPanel(this, "Panel1");
  auto* TopLayout = new QVBoxLayout(Panel1);
  TopLayout->setContentsMargins(0, 0, 0, 0);
  RichEdit1 = NewPageTextEdit(Panel1);
  RichEdit1->setReadOnly(true);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  TopLayout->addWidget(RichEdit1);

  Panel3 = NewPanel(this, "Panel3");
  Panel2 = NewPanel(this, "Panel2");
  Layout->addWidget(Panel1);
  Layout->addWidget(Panel3, 1);
  Layout->addWidget(Panel2);
}

void TBasicForm2::SetPanelHeights(int Top, int Bottom) {
  Panel1->setFixedHeight(Top);
  Panel2->setFixedHeight(Bottom);
}
