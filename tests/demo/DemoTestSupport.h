// Shared pieces of the demo's GUI tests: the application object with the
// standard error handler, a recorder of what that handler would show, and a
// scratch settings store.
#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "DemoApplication.h"

// Collects the messages of the standard handler instead of showing boxes.
class TMessageRecorder {
public:
  TMessageRecorder() {
    SetMessageShower([this](const QString& Message) { Messages << Message; });
  }
  ~TMessageRecorder() { SetMessageShower({}); }
  TMessageRecorder(const TMessageRecorder&) = delete;
  TMessageRecorder& operator=(const TMessageRecorder&) = delete;

  QStringList Messages;
};

// Points the per-user settings at a fresh scratch folder while it lives.
class TScratchSettings {
public:
  TScratchSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FFolder.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FFolder.path());
  }
  QString Path() const { return FFolder.path(); }

private:
  QTemporaryDir FFolder;
};

// A test program whose application is the demo's own (errors raised in
// event handlers reach its standard handler).
#define DEMO_TEST_MAIN(TestClass)                                   \
  int main(int argc, char** argv) {                                 \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))             \
      qputenv("QT_QPA_PLATFORM", "offscreen");                      \
    TDemoApplication Application(argc, argv);                       \
    Application.setApplicationName(QStringLiteral("Corvan demo"));  \
    QStandardPaths::setTestModeEnabled(true);                       \
    TestClass Test;                                                 \
    return QTest::qExec(&Test, argc, argv);                         \
  }
