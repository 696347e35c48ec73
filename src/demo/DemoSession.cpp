// The pages' shared session; see DemoSession.h.
#include "DemoSession.h"

#include <QWidget>

#include "Session.h"

TSessionHolder::TSessionHolder(QObject* Parent) : QObject(Parent), FSession(std::make_unique<TSession>(nullptr)) {
  setObjectName(QStringLiteral("Session"));
}

TSessionHolder::~TSessionHolder() = default;

TSession& PageSession(QWidget* Owner, QObject* Page) {
  QObject* Parent = Owner ? static_cast<QObject*>(Owner) : Page;
  auto* Holder = Parent->findChild<TSessionHolder*>(QStringLiteral("Session"), Qt::FindDirectChildrenOnly);
  if (!Holder) Holder = new TSessionHolder(Parent);
  return Holder->Session();
}
