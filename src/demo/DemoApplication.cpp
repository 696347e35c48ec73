// The standard error handler; see DemoApplication.h.
#include "DemoApplication.h"

#include <QMessageBox>
#include <QWidget>

#include "Exceptions.h"

namespace {

TMessageShower& Shower() {
  static TMessageShower Function;
  return Function;
}

void ShowMessage(const QString& Message) {
  if (Shower()) {
    Shower()(Message);
    return;
  }
  QMessageBox::critical(QApplication::activeWindow(), QCoreApplication::applicationName(), Message);
}

}  // namespace

void SetMessageShower(TMessageShower Function) { Shower() = std::move(Function); }

void HandleException(const std::exception& E) {
  if (dynamic_cast<const EAbort*>(&E)) return;
  ShowMessage(QString::fromUtf8(E.what()));
}

void HandleUnknownException() { ShowMessage(QStringLiteral("Unknown error")); }

TDemoApplication::TDemoApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TDemoApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const std::exception& E) {
    HandleException(E);
  } catch (...) {
    HandleUnknownException();
  }
  return false;
}
