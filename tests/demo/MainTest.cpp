// The main window: topic tree, navigation, tabs, the source folder setting,
// the source view and the standard error handler.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <memory>

#include "DemoSettings.h"
#include "DemoTestSupport.h"
#include "Exceptions.h"
#include "Intro.h"
#include "LCPerformance.h"
#include "Main.h"
#include "PageRegistry.h"

namespace {

// An event only the failing page knows.
const QEvent::Type FailEvent = static_cast<QEvent::Type>(QEvent::User + 7);

// A page whose event handler fails, to see the error reach the handler; its
// button fails through a connected slot, as the demo's pages do.
class TFailingPage : public QWidget {
public:
  explicit TFailingPage(QWidget* Owner) : QWidget(Owner) {
    Button = new QPushButton("Fail", this);
    Button->setObjectName("FailButton");
    connect(Button, &QPushButton::clicked, this, Guarded([](bool) { throw Exception("Clicked where it hurts"); }));
  }
  QPushButton* Button;

protected:
  bool event(QEvent* Event) override {
    if (Event->type() == FailEvent) throw Exception("Handled where it hurts");
    return QWidget::event(Event);
  }
};

const bool FailingRegistered = RegisterPageClass<TFailingPage>("TFailingPage");

void WriteFile(const QString& Path, const QByteArray& Text) {
  QFile File(Path);
  QVERIFY(File.open(QIODevice::WriteOnly));
  File.write(Text);
}

bool SourceTabVisible(const TfrmMain& W) { return W.PageControl1->isTabVisible(W.PageControl1->indexOf(W.TabSource)); }

void ShowSourceTab(TfrmMain& W) {
  // As the user's click does: the change runs PageControl1Change.
  W.PageControl1->setCurrentWidget(W.TabSource);
}

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

private slots:
  void init() {
    FSettings = std::make_unique<TScratchSettings>();
    FOriginalFolder = QDir::currentPath();
    QVERIFY(FWork.isValid());
    QDir::setCurrent(FWork.path());
  }
  void cleanup() {
    QDir::setCurrent(FOriginalFolder);
    FSettings.reset();
  }

  void TopicTreeLevelsAndEntries() {
    TfrmMain W;
    QCOMPARE(W.NodeCount(), 10);
    QCOMPARE(W.TreeView1->topLevelItemCount(), 6);
    const QStringList Captions = {"Introduction", "Applications", "Database interface", "Data description",
                                  "Play a doctor", "Classification accuracy", "Cross test", "Reference results",
                                  "Benchmark", "Quick start"};
    const int Levels[] = {0, 0, 0, 1, 1, 0, 1, 1, 0, 0};
    for (int I = 0; I < 10; ++I) {
      QTreeWidgetItem* Node = W.NodeAt(I);
      QCOMPARE(Node->text(0), Captions[I]);
      QCOMPARE(Node->parent() ? 1 : 0, Levels[I]);
      QVERIFY(W.Entry(Node));
    }
    QCOMPARE(W.NodeAt(3)->parent(), W.NodeAt(2));
    QCOMPARE(W.NodeAt(7)->parent(), W.NodeAt(5));
    QCOMPARE(W.Entry(W.NodeAt(8))->ClassName, std::string("TLCPerformanceForm"));
    QVERIFY(W.Entry(W.NodeAt(8))->PageClass);  // found in another letter case
    QCOMPARE(W.Entry(W.NodeAt(8))->SourceName, QString("LCPerformance"));
    QCOMPARE(W.Entry(W.NodeAt(4))->SourceName, QString("ClassifyInterface"));
    QVERIFY(W.Entry(W.NodeAt(3))->SourceName.isEmpty());
    QVERIFY(!W.TreeView1->currentItem());  // nothing selected before the window shows
    QCOMPARE(W.Label1->text(), QString("Label1"));
  }

  void TopicTreeShapes() {
    QTreeWidget Tree;
    LoadTopicTree(Tree, {"A", " B", "\t\tC", "D", " E"});
    QCOMPARE(Tree.topLevelItemCount(), 2);
    QCOMPARE(Tree.topLevelItem(0)->child(0)->child(0)->text(0), QString("C"));  // tabs count as blanks
    QCOMPARE(Tree.topLevelItem(1)->text(0), QString("D"));                      // shallower: sibling of the ancestor
    QCOMPARE(Tree.topLevelItem(1)->child(0)->text(0), QString("E"));
    try {
      LoadTopicTree(Tree, {"A;TX", "  B;TY"});
      QFAIL("a line two levels deeper was accepted");
    } catch (const Exception& E) {
      QCOMPARE(QString::fromStdString(E.Message()), QString("Invalid level (2) for item \"B;TY\""));
    }
    QVERIFY_THROWS_EXCEPTION(Exception, LoadTopicTree(Tree, {" A"}));
    // A node without ";" gets no entry and still shows its caption.
    TfrmMain W({"Plain", "Paged;TIntroDBForm"});
    QVERIFY(!W.Entry(W.NodeAt(0)));
    W.TreeView1->setCurrentItem(W.NodeAt(0));
    QCOMPARE(W.Label1->text(), QString("Plain"));
    QVERIFY(!W.Page());
  }

  void OpensOnIntroductionAndWalksAllTopics() {
    TMessageRecorder Recorder;
    TfrmMain W;
    QVERIFY(SourceTabVisible(W));  // nothing selected yet
    W.show();
    QCOMPARE(W.TreeView1->currentItem(), W.NodeAt(0));
    QVERIFY(qobject_cast<TIntroduction*>(W.Page()));
    QCOMPARE(W.Label1->text(), QString("Introduction"));
    QCOMPARE(W.StatusBar1->currentMessage(), QString("Introduction"));
    QVERIFY(!W.btnPrevious->isEnabled());
    QVERIFY(W.btnNext->isEnabled());
    QVERIFY(!W.btnHelp->isEnabled());  // the page disabled it
    QVERIFY(!SourceTabVisible(W));

    QStringList Visited = {W.Label1->text()};
    while (W.btnNext->isEnabled()) {
      QTest::mouseClick(W.btnNext, Qt::LeftButton);
      Visited << W.Label1->text();
      QCOMPARE(W.StatusBar1->currentMessage(), W.Label1->text());
      QCOMPARE(W.PageControl1->currentWidget(), W.TabForm);
      QCOMPARE(SourceTabVisible(W), !W.SelectedSourceName().isEmpty());
    }
    QCOMPARE(Visited.size(), 10);
    QCOMPARE(Visited.last(), QString("Quick start"));
    QVERIFY(W.btnPrevious->isEnabled());
    while (W.btnPrevious->isEnabled()) QTest::mouseClick(W.btnPrevious, Qt::LeftButton);
    QCOMPARE(W.TreeView1->currentItem(), W.NodeAt(0));
    // Only one page lives at a time, inside the "Example" tab.
    QCOMPARE(W.TabForm->findChildren<TIntroduction*>().size(), 1);
    QCOMPARE(W.Page()->parentWidget(), W.TabForm);
  }

  void NextRevealsCollapsedChildren() {
    TfrmMain W;
    W.show();
    W.NodeAt(2)->setExpanded(false);
    W.TreeView1->setCurrentItem(W.NodeAt(2));
    W.btnNextClick();
    QCOMPARE(W.TreeView1->currentItem()->text(0), QString("Data description"));
    QVERIFY(W.NodeAt(2)->isExpanded());
  }

  void BenchmarkTopicShowsItsPageAndSourceTab() {
    TfrmMain W;
    W.show();
    W.TreeView1->setCurrentItem(W.NodeAt(8));
    QVERIFY(qobject_cast<TLcPerformanceForm*>(W.Page()));
    QVERIFY(SourceTabVisible(W));
    QCOMPARE(W.SelectedSourceName(), QString("LCPerformance"));
  }

  void UnregisteredPageClassReportsAndStaysUsable() {
    TMessageRecorder Recorder;
    TfrmMain W({"First;TIntroduction", "Ghost;TNoSuchForm;Ghost", "Last;TIntroDBForm"});
    W.show();
    QTest::mouseClick(W.btnNext, Qt::LeftButton);
    QCOMPARE(Recorder.Messages, QStringList{"Class TNoSuchForm not found"});
    QVERIFY(!W.Page());
    QCOMPARE(W.Label1->text(), QString("Ghost"));  // the window follows the selection
    QVERIFY(W.btnNext->isEnabled());
    QTest::mouseClick(W.btnNext, Qt::LeftButton);
    QCOMPARE(W.Label1->text(), QString("Last"));
    QVERIFY(W.Page());
  }

  void ErrorInAnEventHandlerReachesTheStandardHandler() {
    TMessageRecorder Recorder;
    TfrmMain W({"Fails;TFailingPage"});
    W.show();
    QVERIFY(W.Page());
    // Through the event loop and sent directly: both end at the handler.
    QCoreApplication::postEvent(W.Page(), new QEvent(FailEvent));
    QCoreApplication::processEvents();
    QCOMPARE(Recorder.Messages, QStringList{"Handled where it hurts"});
    QEvent Direct(FailEvent);
    QCoreApplication::sendEvent(W.Page(), &Direct);
    QCOMPARE(Recorder.Messages.size(), 2);
    QTest::mouseClick(W.Page()->findChild<QPushButton*>("FailButton"), Qt::LeftButton);
    QCOMPARE(Recorder.Messages.last(), QString("Clicked where it hurts"));
    // The window stays usable: the buttons work.
    QTest::mouseClick(W.btnClose, Qt::LeftButton);
    QVERIFY(!W.isVisible());
  }

  void NoFolderShowsOnlyConfigureThenChoosingShowsTheSource() {
    QTemporaryDir Sources;
    WriteFile(Sources.filePath("Tovrel.cpp"), "int main() {}\n");
    WriteFile(Sources.filePath("LCPerformance.cpp"), "// page\nclass TPage {};\n");
    TfrmMain W;
    W.show();
    W.TreeView1->setCurrentItem(W.NodeAt(8));
    ShowSourceTab(W);
    QVERIFY(W.btnConfig->isVisible());
    QVERIFY(!W.SourceView());

    QString AskedTitle;
    W.SetFolderChooser([&](QWidget*, const QString& Title) {
      AskedTitle = Title;
      return QString();
    });
    W.btnConfigClick();  // cancelled: nothing stored
    QCOMPARE(AskedTitle, QString("Folder with Corvan demo source"));
    QVERIFY(QSettings("Halvorn", "Corvan").value("DemoPath").isNull());

    W.SetFolderChooser([&](QWidget*, const QString&) { return Sources.path(); });
    QTest::mouseClick(W.btnConfig, Qt::LeftButton);
    QCOMPARE(QSettings("Halvorn", "Corvan").value("DemoPath").toString(), Sources.path());
    QVERIFY(!W.btnConfig->isVisible());
    QVERIFY(W.SourceView());
    QVERIFY(W.SourceView()->toPlainText().contains("class TPage"));
    QCOMPARE(W.ShownSource(), QString("LCPerformance"));
  }

  void FolderThatLostTheProjectFileIsForgotten() {
    QTemporaryDir Empty;
    QSettings("Halvorn", "Corvan").setValue("DemoPath", Empty.path());
    TfrmMain W;
    W.show();
    W.TreeView1->setCurrentItem(W.NodeAt(8));
    ShowSourceTab(W);
    QVERIFY(QSettings("Halvorn", "Corvan").allKeys().isEmpty());
    QVERIFY(W.btnConfig->isVisible());
    QVERIFY(!W.SourceView());
  }

  void WorkingFolderWithTheProjectFileIsTheDefault() {
    QVERIFY(GetDemoPath().isEmpty());
    WriteFile(QDir::current().filePath("Tovrel.cpp"), "");
    QCOMPARE(GetDemoPath(), QDir::currentPath());
    QFile::remove(QDir::current().filePath("Tovrel.cpp"));
    // A stored folder wins over the working folder.
    SetDemoPath("/somewhere");
    QCOMPARE(GetDemoPath(), QString("/somewhere"));
    QSettings("Halvorn", "Corvan").setValue("DemoPath", QStringList{"a", "b"});
    try {
      GetDemoPath();
      QFAIL("a list was read as a folder");
    } catch (const Exception& E) {
      QCOMPARE(QString::fromStdString(E.Message()), QString("Invalid data type for 'DemoPath'"));
    }
  }

  void ProgramFolderShowsTheSourcesWithoutConfiguring() {
    // Started where the build puts it, the demo finds its sources there.
    QDir::setCurrent(PELLORY_BIN_DIR);
    TfrmMain W;
    W.show();
    W.TreeView1->setCurrentItem(W.NodeAt(8));
    ShowSourceTab(W);
    QVERIFY(!W.btnConfig->isVisible());
    QVERIFY(W.SourceView());
    QVERIFY(W.SourceView()->toPlainText().contains("TLcPerformanceForm::LearnButtonClick"));
    QVERIFY(QFileInfo(QDir(PELLORY_BIN_DIR).filePath("Data")).isDir());
  }

  void SourceViewReloadsOnlyForAnotherSource() {
    TMessageRecorder Recorder;
    QTemporaryDir Sources;
    WriteFile(Sources.filePath("Tovrel.cpp"), "");
    WriteFile(Sources.filePath("First.cpp"), "// first\n");
    WriteFile(Sources.filePath("Second.cpp"), "// second\n");
    SetDemoPath(Sources.path());
    TfrmMain W({"One;TIntroDBForm;First", "Two;TIntroClassForm;Second", "Three;TIntroduction"});
    W.show();
    ShowSourceTab(W);
    QPointer<QTextEdit> FirstView = W.SourceView();
    QVERIFY(FirstView);
    QVERIFY(FirstView->toPlainText().contains("first"));
    W.PageControl1->setCurrentWidget(W.TabForm);
    ShowSourceTab(W);
    QCOMPARE(W.SourceView(), FirstView.data());  // same page: not reloaded

    W.TreeView1->setCurrentItem(W.NodeAt(1));
    QCOMPARE(W.PageControl1->currentWidget(), W.TabForm);
    ShowSourceTab(W);
    QVERIFY(!FirstView);  // replaced
    QVERIFY(W.SourceView()->toPlainText().contains("second"));
    W.TreeView1->setCurrentItem(W.NodeAt(0));
    ShowSourceTab(W);
    QVERIFY(W.SourceView()->toPlainText().contains("first"));
    QCOMPARE(W.ShownSource(), QString("First"));

    // A source file that cannot be read is reported; the view stays empty
    // and the next activation tries again.
    QFile::remove(Sources.filePath("Second.cpp"));
    W.TreeView1->setCurrentItem(W.NodeAt(1));
    ShowSourceTab(W);
    QCOMPARE(Recorder.Messages.size(), 1);
    QVERIFY(Recorder.Messages[0].startsWith("Cannot open file \"" + Sources.filePath("Second.cpp") + "\""));
    QVERIFY(W.SourceView()->toPlainText().isEmpty());
    QCOMPARE(W.ShownSource(), QString());
    WriteFile(Sources.filePath("Second.cpp"), "// back\n");
    W.PageControl1->setCurrentWidget(W.TabForm);
    ShowSourceTab(W);
    QVERIFY(W.SourceView()->toPlainText().contains("back"));
  }

  void WebAddressUnderlinesOnHover() {
    TfrmMain W;
    W.show();
    const auto MoveOver = [](QWidget* Widget) {
      QMouseEvent Move(QEvent::MouseMove, QPointF(2, 2), Widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                       Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(Widget, &Move);
    };
    MoveOver(W.Label3);
    QVERIFY(W.Label3->font().underline());
    MoveOver(W.TreeView1->viewport());
    QVERIFY(!W.Label3->font().underline());
    MoveOver(W.Label3);
    MoveOver(W.Image1);
    QVERIFY(!W.Label3->font().underline());
    MoveOver(W.Label3);
    MoveOver(W.Panel2);
    QVERIFY(!W.Label3->font().underline());
  }

private:
  std::unique_ptr<TScratchSettings> FSettings;
  QTemporaryDir FWork;
  QString FOriginalFolder;
};

DEMO_TEST_MAIN(TestMainWindow)
#include "MainTest.moc"
