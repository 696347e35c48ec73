// Shared pieces of the tests of the two table pages: an owner window with
// the help button and the pages' session, and folders of sample tables.
#pragma once

#include <QPushButton>
#include <QTest>
#include <QTemporaryDir>
#include <QWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "DemoSession.h"
#include "SampleDatabase.h"
#include "Session.h"

// The main window as the pages see it: "btnHelp" and the session.
struct TPageOwner {
  QWidget Window;
  QPushButton* Help = new QPushButton("Corvan &Help", &Window);
  TPageOwner() { Help->setObjectName("btnHelp"); }
  TSession& Session() { return PageSession(&Window, nullptr); }
  // Shows Page inside the window, as the main window's tab would.
  bool Show(QWidget& Page, int Width = 1000, int Height = 700) {
    Window.resize(Width, Height);
    Page.setGeometry(0, 0, Width, Height);
    Window.show();
    return QTest::qWaitForWindowExposed(&Window);
  }
  // Defines the sample alias before any page does.
  void Alias(const std::string& Name, const std::string& Path, const std::string& Driver = "PARADOX") {
    Session().AddStandardAlias(Name, Path, Driver);
  }
};

// The sample tables the build writes beside the programs.
inline std::filesystem::path BuiltSampleFolder() { return SampleDataFolder(); }

// A scratch folder holding copies of the named sample tables.
struct TSampleCopy {
  QTemporaryDir Dir;
  explicit TSampleCopy(const std::vector<std::string>& Tables) {
    for (const std::string& T : Tables)
      std::filesystem::copy_file(BuiltSampleFolder() / T, Path() / T);
  }
  std::filesystem::path Path() const { return Dir.path().toStdString(); }
};
