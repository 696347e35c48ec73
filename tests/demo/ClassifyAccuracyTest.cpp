// The cross test page: what a fresh page shows, a run against TCrossTest
// and `pellory crosstest`, the progress labels as painted, the copied text,
// and an error in the middle of a run.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableView>
#include <QTextEdit>

#include "ClassifyAccuracy.h"
#include "Classifier.h"
#include "CrossTest.h"
#include "DemoTestSupport.h"
#include "PagesTestSupport.h"
#include "TableWriter.h"

namespace {

// Records a label's text each time it is painted.
class TPaintRecorder : public QObject {
public:
  explicit TPaintRecorder(QLabel* Label) : FLabel(Label) { Label->installEventFilter(this); }
  QStringList Painted;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Watched == FLabel && Event->type() == QEvent::Paint) Painted << FLabel->text();
    return false;
  }

private:
  QLabel* FLabel;
};

QStringList LinesBeforeTheTime(const QString& Text) {
  QStringList Lines = Text.split('\n');
  // The last line is empty (text ends with a line break), the one before it
  // the time line, which differs from run to run.
  return Lines.mid(0, Lines.size() - 2);
}

const std::vector<std::string> SmallTables = {"WEAT.DB", "CONT.DB", "Test1.DB", "LABO.DB"};

}  // namespace

class TestAccuracyForm : public QObject {
  Q_OBJECT

private slots:
  void FreshPage() {
    TSampleCopy Data(SmallTables);
    TPageOwner Owner;
    Owner.Alias(SampleAlias, Data.Path().string());
    TAccuracyForm Page(&Owner.Window);
    QVERIFY(!Owner.Help->isEnabled());
    const QString Description = Page.RichEdit1->toPlainText();
    QVERIFY(Description.startsWith("When you press the learn button an up to 30 cross-run classification tests"));
    QVERIFY(Description.contains("with the \"Reference results\", because"));
    QVERIFY(Description.endsWith("which separates the classes best."));
    QCOMPARE(Page.RunsEdit->minimum(), 1);
    QCOMPARE(Page.RunsEdit->maximum(), 30);
    QCOMPARE(Page.RunsEdit->value(), 1);
    QCOMPARE(Page.KNeighborsEdit->minimum(), 1);
    QCOMPARE(Page.KNeighborsEdit->maximum(), 50);
    QCOMPARE(Page.KNeighborsEdit->value(), 10);
    QVERIFY(!Page.PruningBox->isChecked());
    QCOMPARE(Page.PruningBox->text(), QString("Prune"));
    QCOMPARE(Page.RunButton->text(), QString("Run"));
    QCOMPARE(Page.TableLabel->text(), QString("Current database table:"));
    QCOMPARE(Page.SplitLabel->text(), QString("Split count:"));
    // An empty 7 x 22 grid, headings included.
    QCOMPARE(Page.GridRowCount(), 22);
    QCOMPARE(Page.ResultGrid->model()->columnCount(), 6);
    for (int Row = 0; Row < 22; ++Row)
      for (int Col = 0; Col < 7; ++Col) QVERIFY(Page.Cell(Col, Row).isEmpty());
    QCOMPARE(Page.CrossTest().TableList().size(), SmallTables.size());
    QVERIFY(Page.CrossTest().LC().UsePriorProbability());
    QCOMPARE(Page.CrossTest().KNN().KNeighbors(), 10);
    Page.KNeighborsEdit->setValue(37);
    QCOMPARE(Page.CrossTest().KNN().KNeighbors(), 37);
  }

  void ARunGivesTheCellsOfTheCrossTestAndTheTool() {
    TSampleCopy Data(SmallTables);
    TPageOwner Owner;
    Owner.Alias(SampleAlias, Data.Path().string());
    TAccuracyForm Page(&Owner.Window);
    Page.RunsEdit->setValue(3);
    Page.KNeighborsEdit->setValue(5);
    TMessageRecorder Shown;
    QTest::mouseClick(Page.RunButton, Qt::LeftButton);
    QVERIFY2(Shown.Messages.isEmpty(), qPrintable(Shown.Messages.join("; ")));

    TSession Session(nullptr);
    TCrossTest Direct(nullptr, Session, Data.Path().string());
    Direct.SetRuns(3);
    Direct.SetKNeighbors(5);
    Direct.Run();
    const std::vector<std::string>& Tables = Direct.TableList();
    QCOMPARE(Tables, (std::vector<std::string>{"CONT.DB", "LABO.DB", "Test1.DB", "WEAT.DB"}));
    for (int Col = 0; Col < 7; ++Col)
      QCOMPARE(Page.Cell(Col, 0), QString::fromStdString(TCrossTest::Headings()[static_cast<size_t>(Col)]));
    for (int Row = 1; Row <= 4; ++Row)
      for (int Col = 0; Col < 7; ++Col)
        QCOMPARE(Page.Cell(Col, Row), QString::fromStdString(Direct.ResultGrid().Cell(Col, Row)));
    // "Test1.DB" is skipped: its row stays empty. The time row follows it.
    for (int Col = 0; Col < 7; ++Col) QVERIFY(Page.Cell(Col, 3).isEmpty());
    QCOMPARE(Page.Cell(0, 5), QString("Time [min:sec]"));
    for (int Col = 1; Col <= 3; ++Col)
      QVERIFY(QRegularExpression("^\\d\\d:\\d\\d$").match(Page.Cell(Col, 5)).hasMatch());
    QVERIFY(Page.Cell(4, 5).isEmpty());
    for (int Col = 0; Col < 7; ++Col) QVERIFY(Page.Cell(Col, 6).isEmpty());
    QCOMPARE(Page.TableLabel->text(), QString("Current database table: WEAT.DB"));
    QCOMPARE(Page.SplitLabel->text(), QString("Split number: 2"));

    // Ctrl+C on the grid copies what `pellory crosstest` prints.
    QGuiApplication::clipboard()->clear();
    QVERIFY(Owner.Show(Page));
    Page.ResultGrid->setFocus();
    QTest::keySequence(Page.ResultGrid, QKeySequence::Copy);
    const QString Copied = QGuiApplication::clipboard()->text();
    QCOMPARE(Copied, Page.GridText());
    QCOMPARE(LinesBeforeTheTime(Copied), LinesBeforeTheTime(QString::fromStdString(Direct.GridText())));
    QVERIFY(Copied.contains("\nTest1.DB\t\t\t\t\t\t\n"));
    QVERIFY(QRegularExpression("\nTime \\[min:sec\\]\t\\d\\d:\\d\\d\t\\d\\d:\\d\\d\t\\d\\d:\\d\\d\t\t\t\n$")
                .match(Copied)
                .hasMatch());
    QAction* Copy = Page.ResultGrid->findChild<QAction*>("CopyAction");
    QVERIFY(Copy && Page.ResultGrid->actions().contains(Copy));
    QCOMPARE(Copy->text(), QString("Copy"));
    QCOMPARE(Page.ResultGrid->contextMenuPolicy(), Qt::ActionsContextMenu);

    const QString Tool = QString::fromStdString(ProgramFolder() + "/pellory");
    if (!QFile::exists(Tool)) QFAIL("pellory is not built beside the tests");
    QProcess Run;
    Run.start(Tool, {"crosstest", "--runs", "3", "--k", "5", "--data", QString::fromStdString(Data.Path().string())});
    QVERIFY(Run.waitForFinished(60000));
    QCOMPARE(Run.exitCode(), 0);
    QCOMPARE(LinesBeforeTheTime(QString::fromUtf8(Run.readAllStandardOutput())), LinesBeforeTheTime(Copied));
  }

  void PruneShowsOptimizingBeforeTheSplitsOfEveryTable() {
    TSampleCopy Data({"CONT.DB", "WEAT.DB"});
    TPageOwner Owner;
    Owner.Alias(SampleAlias, Data.Path().string());
    TAccuracyForm Page(&Owner.Window);
    QVERIFY(Owner.Show(Page, 900, 600));
    TPaintRecorder Tables(Page.TableLabel), Splits(Page.SplitLabel);
    Page.PruningBox->setChecked(true);
    Page.RunsEdit->setValue(2);
    Page.RunButtonClick();
    // Painted during the run, without the event loop.
    QCOMPARE(Tables.Painted.count("Current database table: CONT.DB"), 3);
    QCOMPARE(Tables.Painted.count("Current database table: WEAT.DB"), 3);
    QCOMPARE(Splits.Painted.count("Optimizing..."), 6);
    const int First = Splits.Painted.indexOf("Optimizing...");
    QCOMPARE(Splits.Painted.mid(First, 3), QStringList({"Optimizing...", "Split number: 0", "Split number: 1"}));
    QVERIFY(!Page.Cell(6, 1).isEmpty());
  }

  void AnErrorEndsTheRunAndTheGridKeepsItsCells() {
    TSampleCopy Data({"CONT.DB", "WEAT.DB"});
    {
      // No split fields: fine for one run (no filter), an error for two.
      auto Writer = CreateParadoxTable((Data.Path() / "LAST.DB").string(),
                                       {{"ID", ftInteger}, {"Class", ftSmallint}, {"A", ftSmallint}});
      for (int32_t Id = 1; Id <= 6; ++Id) Writer->AppendRow(std::vector<TFieldValue>{Id, 1 + Id % 2, 1 + Id % 3});
      Writer->Close();
    }
    TPageOwner Owner;
    Owner.Alias(SampleAlias, Data.Path().string());
    TAccuracyForm Page(&Owner.Window);
    TMessageRecorder Shown;
    QTest::mouseClick(Page.RunButton, Qt::LeftButton);
    QVERIFY(Shown.Messages.isEmpty());
    const QString OneRunNB = Page.Cell(2, 1);
    const QString OneRunLast = Page.Cell(1, 2);
    QVERIFY(OneRunNB.endsWith("+/-0.00"));
    QCOMPARE(Page.Cell(0, 2), QString("LAST.DB"));

    Page.RunsEdit->setValue(2);
    QTest::mouseClick(Page.RunButton, Qt::LeftButton);
    QCOMPARE(Shown.Messages.size(), 1);
    QVERIFY2(Shown.Messages[0].contains("Split"), qPrintable(Shown.Messages[0]));
    // The linear classifier's column got its new figures up to the broken
    // table; everything else is as the first run left it.
    QCOMPARE(Page.Cell(1, 1), QString::fromStdString(Page.CrossTest().ResultGrid().Cell(1, 1)));
    QCOMPARE(Page.Cell(1, 2), OneRunLast);
    QCOMPARE(Page.Cell(2, 1), OneRunNB);
    QVERIFY(Page.isEnabled());
  }
};

DEMO_TEST_MAIN(TestAccuracyForm)
#include "ClassifyAccuracyTest.moc"
