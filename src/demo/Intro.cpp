// Page "Introduction".
#include "Intro.h"

#include <QLabel>
#include <QTextEdit>
#include <QVBoxLayout>

#include "Basic2.h"
#include "BuiltText.h"
#include "PageRegistry.h"

static const bool Registered = RegisterPageClass<TIntroduction>("TIntroduction");

TIntroduction::TIntroduction(QWidget* Owner) : QWidget(Owner) {
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);

  Label1 = new QLabel(QStringLiteral("Welcome to Pellory v 1.0"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setFixedHeight(49);
  QFont Heading(QStringLiteral("Arial"));
  Heading.setBold(true);
  Heading.setPixelSize(21);
  Label1->setFont(Heading);
  QPalette LabelColours = Label1->palette();
  LabelColours.setColor(QPalette::WindowText, QColor(128, 128, 128));
  Label1->setPalette(LabelColours);

  // Editable and without scroll bars, unlike the other text pages.
  RichEdit1 = NewPageTextEdit(this);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  RichEdit1->setFont(PageTextFont());

  Layout->addWidget(Label1);
  Layout->addWidget(RichEdit1, 1);
  FormCreate(Owner);
}

void TIntroduction::FormCreate(QWidget* Owner) {
  TBuiltText(*RichEdit1)
      .Line(QStringLiteral("Welcome to Pellory - an artificial inteligence tool"))
      .Line(QString())
      .BulletsOn()
      .Lines({
          QStringLiteral("The package presents a set of classification algorithms with top of the class, "
                         "classification accuracy"),
          QStringLiteral("Offers top performance designed to handle huge amounts of data in real time"),
          QStringLiteral("All included  algorithms feature incremental learning. Ideal for dynamic systems."),
          QStringLiteral("Common database interface"),
          QStringLiteral("Works with real valued and discrete attributes"),
          QStringLiteral("Automatically selects best attributes with pruning"),
          QStringLiteral("Solves the problem of majority class prevalence"),
          QStringLiteral("Plug & play. One button learn and classify"),
          QStringLiteral("Built entirely on its own component framework: components, streams and a class registry"),
      })
      .BulletsOff()
      .Line(QString())
      .ItalicOnly()
      .Line(QStringLiteral(
          "Navigate through the demo application, to learn more about the Pellory and experience it's "
          "performance and ease of use. Even if you have no prior expirience in artificial inteligence "
          "methods, you will learn how to make use of them."));
  RichEdit1->moveCursor(QTextCursor::Start);
  DisableOwnerHelp(Owner);
}
