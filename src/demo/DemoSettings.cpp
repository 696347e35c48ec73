// The source folder setting; see DemoSettings.h.
#include "DemoSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "Exceptions.h"

namespace {

constexpr const char* DemoPathValue = "DemoPath";

QSettings OpenSettings() { return QSettings(QStringLiteral("Halvorn"), QStringLiteral("Corvan")); }

}  // namespace

bool HoldsProjectFile(const QString& Folder) {
  // QDir("") would be the working folder.
  if (Folder.isEmpty()) return false;
  return QFileInfo(QDir(Folder).filePath(QString::fromLatin1(ProjectFileName))).isFile();
}

QString GetDemoPath() {
  QString Path;
  {
    const QSettings Settings = OpenSettings();
    const QVariant Value = Settings.value(QString::fromLatin1(DemoPathValue));
    if (Value.isValid()) {
      if (Value.typeId() != QMetaType::QString)
        throw Exception(std::string("Invalid data type for '") + DemoPathValue + "'");
      Path = Value.toString();
    }
  }
  if (Path.isEmpty() && HoldsProjectFile(QDir::currentPath())) return QDir::currentPath();
  return Path;
}

void SetDemoPath(const QString& Folder) {
  QSettings Settings = OpenSettings();
  Settings.setValue(QString::fromLatin1(DemoPathValue), Folder);
  Settings.sync();
}

void ForgetDemoSettings() {
  QSettings Settings = OpenSettings();
  Settings.clear();
  Settings.sync();
}
