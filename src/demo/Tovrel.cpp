// Tovrel, the demonstration program of the Pellory classifiers.
//
// Start-up order: the page classes have registered themselves by name (each
// page module's static initialiser, before main runs); then the application
// object gets its title, the main window builds its topic tree, and the
// event loop runs until the main window closes.
#include <QGuiApplication>
#include <QScreen>

#include "DemoApplication.h"
#include "Main.h"

int main(int argc, char** argv) {
  TDemoApplication Application(argc, argv);
  Application.setApplicationName(QStringLiteral("Corvan demo"));
  Application.setOrganizationName(QStringLiteral("Halvorn"));

  // An error while the window is built is shown like any other; without a
  // window there is nothing to run.
  std::unique_ptr<TfrmMain> frmMain;
  CallGuarded([&frmMain] { frmMain = std::make_unique<TfrmMain>(); });
  if (!frmMain) return 1;

  // Centred first, so leaving the maximised state brings it back there.
  const QRect Screen = QGuiApplication::primaryScreen()->availableGeometry();
  frmMain->resize(Screen.size() * 3 / 4);
  frmMain->move(Screen.center() - frmMain->rect().center());
  frmMain->showMaximized();
  return Application.exec();
}
