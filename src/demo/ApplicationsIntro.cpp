// Page "Applications".
#include "ApplicationsIntro.h"

#include <QTextEdit>

#include "Basic2.h"
#include "BuiltText.h"
#include "PageRegistry.h"

static const bool Registered = RegisterPageClass<TApplicationsIntroForm>("TApplicationsIntroForm");

TApplicationsIntroForm::TApplicationsIntroForm(QWidget* Owner) : TBasicForm3(Owner) {
  TBuiltText(*RichEdit1)
      .Line(QStringLiteral("Applications"))
      .Line(QString())
      .BulletsOn()
      .Lines({
          QStringLiteral("Decision making in finance. Give a loan, don't give a loan"),
          QStringLiteral("Machine fault detection. What has gone bad or is about to"),
          QStringLiteral("Medicine. Will you live or die"),
          QStringLiteral("Optical char recognition"),
          QStringLiteral("Machine vision"),
          QStringLiteral("Time series prediction"),
          QStringLiteral("Predict future from the past expiriences"),
      })
      .BulletsOff();
  RichEdit1->moveCursor(QTextCursor::Start);
  DisableOwnerHelp(Owner);
}
