// Renders every topic of Tovrel into PNG files, with the offscreen platform:
//   tovrel_screenshots <folder>
// The main window is 1280 x 800; the benchmark page is shown after a
// learning and a classifying run, the cross test after a five-run pass and
// the interactive page with a row chosen.
#include <QAbstractButton>
#include <QDir>
#include <QPixmap>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>

#include "DemoApplication.h"
#include "Main.h"

namespace {

QString FileName(const QString& Caption) {
  QString Name = Caption.toLower();
  Name.replace(QLatin1Char(' '), QLatin1Char('-'));
  return Name + QStringLiteral(".png");
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TDemoApplication Application(argc, argv);
  Application.setApplicationName(QStringLiteral("Corvan demo"));
  if (argc != 2) {
    std::fprintf(stderr, "usage: tovrel_screenshots <folder>\n");
    return 2;
  }
  const QDir Folder(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(Folder.path());
  // A scratch settings store: the user's own stays untouched, and the
  // working folder (with the project file) is the source folder.
  QTemporaryDir Settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Settings.path());
  QStringList Errors;
  SetMessageShower([&Errors](const QString& Message) { Errors << Message; });

  TfrmMain Window;
  Window.resize(1280, 800);
  Window.show();
  QApplication::processEvents();
  for (int I = 0; I < Window.NodeCount(); ++I) {
    QTreeWidgetItem* Node = Window.NodeAt(I);
    for (QTreeWidgetItem* P = Node->parent(); P; P = P->parent()) P->setExpanded(true);
    Window.TreeView1->setCurrentItem(Node);
    QApplication::processEvents();
    // The cross test runs five splits per table.
    if (Window.Page())
      if (auto* Runs = Window.Page()->findChild<QSpinBox*>(QStringLiteral("RunsEdit"))) Runs->setValue(5);
    if (Window.Page())
      for (const char* Button : {"LearnButton", "ClassifyButton", "RunButton"})
        if (auto* B = Window.Page()->findChild<QAbstractButton*>(QString::fromLatin1(Button))) {
          B->click();
          QApplication::processEvents();
        }
    // The interactive page with a row chosen, as a click would choose it.
    if (Window.Page())
      if (auto* Grid = Window.Page()->findChild<QTableView*>(QStringLiteral("DataDBGrid"))) {
        if (Grid->model()->rowCount() > 11) Grid->setCurrentIndex(Grid->model()->index(11, 1));
        QApplication::processEvents();
      }
    const QString Path = Folder.filePath(FileName(Node->text(0)));
    if (!Window.grab().save(Path)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(Path));
      return 1;
    }
    std::printf("%s\n", qPrintable(Path));
  }
  // The source tab of the benchmark page, read from the working folder.
  Window.TreeView1->setCurrentItem(Window.NodeAt(8));
  Window.PageControl1->setCurrentWidget(Window.TabSource);
  QApplication::processEvents();
  const QString Source = Folder.filePath(QStringLiteral("benchmark-source.png"));
  if (!Window.grab().save(Source)) return 1;
  std::printf("%s\n", qPrintable(Source));
  for (const QString& E : Errors) std::fprintf(stderr, "shown: %s\n", qPrintable(E));
  return 0;
}
