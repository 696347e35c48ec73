// The text pages' base form.
#include "Basic3.h"

#include <QTextEdit>
#include <QVBoxLayout>

#include "Basic2.h"

TBasicForm3::TBasicForm3(QWidget* Owner) : QWidget(Owner), FOwner(Owner) {
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  RichEdit1 = new QTextEdit(this);
  RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
  RichEdit1->setReadOnly(true);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QPalette Colours = RichEdit1->palette();
  Colours.setColor(QPalette::Base, PageTextBackground());
  RichEdit1->setPalette(Colours);
  QFont Font(QStringLiteral("Arial"));
  Font.setBold(true);
  Font.setPixelSize(16);
  RichEdit1->setFont(Font);
  Layout->addWidget(RichEdit1);
  FormCreate();
}

void TBasicForm3::FormCreate() { RichEdit1->clear(); }
