// Page "Classification accuracy".
#include "IntroClass.h"

#include <QTextEdit>

#include "Basic2.h"
#include "BuiltText.h"
#include "PageRegistry.h"

static const bool Registered = RegisterPageClass<TIntroClassForm>("TIntroClassForm");

TIntroClassForm::TIntroClassForm(QWidget* Owner) : TBasicForm3(Owner) {
  TBuiltText(*RichEdit1)
      .Line(QStringLiteral("Classification algorithms"))
      .Line(QString())
      .BulletsOn()
      .Lines({
          QStringLiteral("Standard abstract class to implement any classification algorithm of your choice"),
          QStringLiteral("Standard K-nearest-neighbours and Naive-Bayes algorithms"),
          QStringLiteral("Special new linear-classifier algorithm greatly widens the range of possible applications."),
          QStringLiteral("All algorithms support missing values."),
          QStringLiteral("Support for discrete and real attributes."),
      })
      .BulletsOff()
      .Line(QString());
  RichEdit1->moveCursor(QTextCursor::Start);
  DisableOwnerHelp(Owner);
}
