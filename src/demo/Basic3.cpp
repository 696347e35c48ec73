// The text pages' base form.
#include "Basic3.h"

#include <QTextEdit>
#include <QVBoxLayout>

#include "Basic2.h"

TBasicForm3::TBasicForm3(QWidget* Owner) : QWidget(Owner), FOwner(Owner) {
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  RichEdit1 = NewPageTextEdit(this);
  RichEdit1->setReadOnly(true);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setFont(PageTextFont());
  Layout->addWidget(RichEdit1);
}
