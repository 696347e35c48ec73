// Page of the file "Description.rtf".
#include "DataDesc.h"

#include <QTextEdit>

#include "Basic2.h"
#include "PageText.h"
#include "PageRegistry.h"

static const bool Registered = RegisterPageClass<TDataDescForm>("TDataDescForm");

TDataDescForm::TDataDescForm(QWidget* Owner) : TBasicForm3(Owner) {
  // A missing or unreadable file leaves the page empty, without a message.
  LoadPageFile(*RichEdit1, QStringLiteral("Description.rtf"));
  DisableOwnerHelp(Owner);
}
