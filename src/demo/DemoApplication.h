// The application object of Tovrel and its standard error handler.
//
// Every error raised while the program handles an event ends in one place,
// HandleException, which shows the message in a message box; the window
// stays usable. Two routes lead there:
//  - TDemoApplication::notify catches whatever an event handler throws, so
//    no exception crosses Qt's event loop;
//  - Guarded(...) wraps the demo's signal handlers (button clicks, text
//    changes), so an error leaves the emitting widget's own code untouched
//    instead of unwinding through it.
// The second route is the rule for the demo's own code: an exception that
// leaves a widget's event function unwinds through QApplication::notify,
// whose frames are not built to be unwound (for mouse and key events they
// hold copies that are then never freed). notify is the backstop that keeps
// the program alive, not the way errors are meant to travel.
// Outside a TDemoApplication (a test's plain QApplication) the same handler
// is used, so pages behave alike everywhere.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>
#include <utility>

class QString;

class TDemoApplication : public QApplication {
  Q_OBJECT
public:
  TDemoApplication(int& argc, char** argv);

  bool notify(QObject* Receiver, QEvent* Event) override;
};

// Shows the message of E through the standard handler. EAbort is silent;
// anything that is no std::exception shows "Unknown error".
void HandleException(const std::exception& E);
void HandleUnknownException();

// The function that shows a message (default: a critical message box over
// the active window, titled with the application name). Tests replace it to
// see what would be shown; an empty function restores the message box.
using TMessageShower = std::function<void(const QString& Message)>;
void SetMessageShower(TMessageShower Shower);

// Calls F and hands any exception to the standard handler.
template <class F>
void CallGuarded(F&& Function) {
  try {
    std::forward<F>(Function)();
  } catch (const std::exception& E) {
    HandleException(E);
  } catch (...) {
    HandleUnknownException();
  }
}

// A slot for QObject::connect that runs F under CallGuarded; the slot's
// arguments are passed on to F.
template <class F>
auto Guarded(F Function) {
  return [Function = std::move(Function)](auto&&... Args) {
    CallGuarded([&] { Function(std::forward<decltype(Args)>(Args)...); });
  };
}
