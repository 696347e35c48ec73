// Page of the file "ClassificationReference.rtf".
#include "LCReference.h"

#include <QTextEdit>

#include "Basic2.h"
#include "PageText.h"
#include "PageRegistry.h"

static const bool Registered = RegisterPageClass<TLCReferenceForm>("TLCReferenceForm");

TLCReferenceForm::TLCReferenceForm(QWidget* Owner) : TBasicForm3(Owner) {
  // A missing or unreadable file leaves the page empty, without a message.
  LoadPageFile(*RichEdit1, QStringLiteral("ClassificationReference.rtf"));
  DisableOwnerHelp(Owner);
}
