// Page of the file "QuickStart.rtf".
#include "QuickS.h"

#include <QTextEdit>

#include "Basic2.h"
#include "PageText.h"
#include "PageRegistry.h"

static const bool Registered = RegisterPageClass<TQuickStartForm>("TQuickStartForm");

TQuickStartForm::TQuickStartForm(QWidget* Owner) : TBasicForm3(Owner) {
  // A missing or unreadable file leaves the page empty, without a message.
  LoadPageFile(*RichEdit1, QStringLiteral("QuickStart.rtf"));
  DisableOwnerHelp(Owner);
}
