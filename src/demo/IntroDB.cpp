// Page "Database interface".
#include "IntroDB.h"

#include <QTextEdit>

#include "Basic2.h"
#include "BuiltText.h"
#include "PageRegistry.h"

static const bool Registered = RegisterPageClass<TIntroDBForm>("TIntroDBForm");

TIntroDBForm::TIntroDBForm(QWidget* Owner) : TBasicForm3(Owner) {
  TBuiltText(*RichEdit1)
      .Line(QStringLiteral("Standard database interface"))
      .Line(QString())
      .BulletsOn()
      .Lines({
          QStringLiteral("All classification algorithms work with the same component to access database tables"),
          QStringLiteral("Define a template how to map field types to real and/or discrete attributes"),
          QStringLiteral("Ignore specified fields"),
          QStringLiteral("Define missing-value value"),
          QStringLiteral("Discriminate between discrete and already indexed discrete fields"),
          QStringLiteral("Auto index discrete fields/attributes"),
          QStringLiteral("Connects to any TDataset descendant"),
      })
      .BulletsOff()
      .Line(QString());
  RichEdit1->moveCursor(QTextCursor::Start);
  DisableOwnerHelp(Owner);
}
