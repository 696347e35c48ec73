// The interactive page: the labels after creation, after a classifier
// change and after moving to rows by mouse and keyboard; the guess skipped
// while the binding walks the table; the grid following the table only
// while its controls are enabled; an existing alias used as it is.
#include <QButtonGroup>
#include <QComboBox>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTableView>
#include <QTextEdit>

#include "ClassifyInterface.h"
#include "Classifier.h"
#include "Convert.h"
#include "DBClassifier.h"
#include "DataSetTableModel.h"
#include "DemoTestSupport.h"
#include "PagesTestSupport.h"
#include "SampleComponents.h"
#include "ScreenCursor.h"
#include "Table.h"

namespace {

// What a classifier trained on all of Table guesses for its row RecNo,
// computed apart from the page.
std::string IndependentGuess(const std::string& Table, int32_t RecNo, TClassifier& Classifier) {
  TSession Session(nullptr);
  Session.AddStandardAlias("S", BuiltSampleFolder(), "PARADOX");
  TTable Data(nullptr, &Session);
  Data.SetDatabaseName("S");
  Data.SetTableName(Table);
  Data.Open();
  TDBClassifier Binding(nullptr);
  SetSampleSettings(Binding);
  Binding.SetDataset(&Data);
  Binding.SetClassifier(&Classifier);
  Binding.LearnDataset(0);
  Data.SetRecNo(RecNo);
  return Binding.ClassifyRecord();
}

void ClickRow(QTableView* Grid, int Row) {
  const QRect Cell = Grid->visualRect(Grid->model()->index(Row, 1));
  QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {}, Cell.center());
}

QString ActualOf(TTable& Table) {
  return "Actual class: " + QString::fromStdString(FloatToShortest(Table.FieldByName("Class")->AsFloat()));
}

}  // namespace

class TestInterfaceForm : public QObject {
  Q_OBJECT

private slots:
  void CreationOpensTheSeventhTableAndTrainsTheLinearClassifier() {
    TPageOwner Owner;
    TMessageRecorder Shown;
    TInterfaceForm Page(&Owner.Window);
    QVERIFY2(Shown.Messages.isEmpty(), qPrintable(Shown.Messages.join("; ")));
    QVERIFY(!Owner.Help->isEnabled());
    QVERIFY(Page.RichEdit1->toPlainText().startsWith("The example below illustrates a possible user interface"));
    QVERIFY(Page.RichEdit1->toPlainText().endsWith("2 (yellow). "));
    // The dataset layer's order, not sorted again; the seventh selected.
    const std::vector<std::string> Listed = SampleTableNames(Owner.Session());
    QCOMPARE(Page.TablesBox->count(), static_cast<int>(Listed.size()));
    for (int I = 0; I < Page.TablesBox->count(); ++I)
      QCOMPARE(Page.TablesBox->itemText(I), QString::fromStdString(Listed[static_cast<size_t>(I)]));
    QCOMPARE(Page.TablesBox->currentIndex(), 6);
    QCOMPARE(Page.TablesBox->currentText(), QString("LJUB.DB"));
    QVERIFY(!Page.TablesBox->isEditable());
    QCOMPARE(QString::fromStdString(Page.UserTable().TableName()), QString("LJUB.DB"));
    QCOMPARE(Page.ClassifierGroup->title(), QString("Classifier"));
    QCOMPARE(Page.ClassifierButtons->button(0)->text(), QString("Linear C."));
    QCOMPARE(Page.ClassifierButtons->button(1)->text(), QString("Bayes"));
    QCOMPARE(Page.ClassifierButtons->button(2)->text(), QString("K-NN"));
    QCOMPARE(Page.ClassifierButtons->checkedId(), 0);
    QCOMPARE(Page.DBLC().Classifier(), &Page.LC());
    // Learned from every row, back on the first; the guess is the emptied
    // classifier's, made before learning.
    QVERIFY(Page.LC().Classes()->Count() >= 2);
    QCOMPARE(Page.UserTable().RecNo(), 1);
    QCOMPARE(Page.IDLabel->text(), QString("ID: 1"));
    QCOMPARE(Page.GuessedClassLabel->text(), QString("Guessed class: Reject"));
    QCOMPARE(Page.ActualClassLabel->text(), ActualOf(Page.UserTable()));
    // The grid shows the table, first row current.
    QCOMPARE(Page.DataDBGrid->model()->rowCount(), Page.UserTable().RecordCount());
    QCOMPARE(Page.DataDBGrid->model()->columnCount(), Page.UserTable().FieldCount());
    QCOMPARE(Page.DataDBGrid->currentIndex().row(), 0);
    QCOMPARE(Page.DataDBGrid->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(Page.DataDBGrid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(Page.DataDBGrid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
  }

  void MovingToRowsShowsTheirGuesses() {
    TPageOwner Owner;
    TInterfaceForm Page(&Owner.Window);
    QVERIFY(Owner.Show(Page));
    ClickRow(Page.DataDBGrid, 4);
    QCOMPARE(Page.UserTable().RecNo(), 5);
    QCOMPARE(Page.IDLabel->text(), QString("ID: %1").arg(Page.UserTable().FieldByName("ID")->AsInteger()));
    TLinearClassifier LC(nullptr);
    SetSampleSettings(LC);
    QCOMPARE(Page.GuessedClassLabel->text(),
             "Guessed class: " + QString::fromStdString(IndependentGuess("LJUB.DB", 5, LC)));
    QCOMPARE(Page.ActualClassLabel->text(), ActualOf(Page.UserTable()));
    QCOMPARE(Page.DataSource1().CurrentRow(), 4);
    // The keyboard moves the same way.
    QTest::keyClick(Page.DataDBGrid, Qt::Key_Down);
    QCOMPARE(Page.UserTable().RecNo(), 6);
    QCOMPARE(Page.GuessedClassLabel->text(),
             "Guessed class: " + QString::fromStdString(IndependentGuess("LJUB.DB", 6, LC)));
  }

  void AClassifierChangeRetrainsFromScratch() {
    TPageOwner Owner;
    TInterfaceForm Page(&Owner.Window);
    QVERIFY(Owner.Show(Page));
    ClickRow(Page.DataDBGrid, 9);
    QVERIFY(Page.GuessedClassLabel->text() != "Guessed class: Reject");

    TMessageRecorder Shown;
    QTest::mouseClick(Page.ClassifierButtons->button(1), Qt::LeftButton);
    QVERIFY2(Shown.Messages.isEmpty(), qPrintable(Shown.Messages.join("; ")));
    QCOMPARE(Page.DBLC().Classifier(), &Page.NB());
    // Reopened on the first row; the emptied naive Bayes guessed before it
    // learned, and the walk did not guess (the binding was busy).
    QCOMPARE(Page.UserTable().RecNo(), 1);
    QCOMPARE(Page.IDLabel->text(), QString("ID: 1"));
    QCOMPARE(Page.GuessedClassLabel->text(), QString("Guessed class: Reject"));
    QVERIFY(Page.NB().Classes()->Count() >= 2);
    QCOMPARE(Page.DataDBGrid->currentIndex().row(), 0);

    QTest::mouseClick(Page.ClassifierButtons->button(2), Qt::LeftButton);
    QVERIFY2(Shown.Messages.isEmpty(), qPrintable(Shown.Messages.join("; ")));
    QCOMPARE(Page.DBLC().Classifier(), &Page.KNN());
    QCOMPARE(Page.GuessedClassLabel->text(), QString("Guessed class: Reject"));
    ClickRow(Page.DataDBGrid, 3);
    TKNearestNeighbors KNN(nullptr);
    SetSampleSettings(KNN);
    QCOMPARE(Page.GuessedClassLabel->text(),
             "Guessed class: " + QString::fromStdString(IndependentGuess("LJUB.DB", 4, KNN)));

    // Choosing another table does the same.
    const int Iris = Page.TablesBox->findText("IRIS.DB");
    QVERIFY(Iris >= 0);
    Page.TablesBox->setCurrentIndex(Iris);
    Page.TablesBoxChange();
    QCOMPARE(Page.DataDBGrid->model()->rowCount(), 150);
    QCOMPARE(Page.KNN().Classes().Count(), 3);
    QCOMPARE(Page.IDLabel->text(), QString("ID: 1"));
    QCOMPARE(Page.ActualClassLabel->text(), QString("Actual class: 1"));
  }

  void TheGridFollowsTheTableOnlyWhileControlsAreEnabled() {
    TPageOwner Owner;
    TInterfaceForm Page(&Owner.Window);
    TTable& Table = Page.UserTable();
    Table.SetRecNo(8);
    QCOMPARE(Page.DataDBGrid->currentIndex().row(), 7);
    QCOMPARE(Page.IDLabel->text(), QString("ID: %1").arg(Table.FieldByName("ID")->AsInteger()));
    Table.DisableControls();
    Table.SetRecNo(20);
    QCOMPARE(Page.DataDBGrid->currentIndex().row(), 7);
    // The labels follow every move all the same.
    QCOMPARE(Page.IDLabel->text(), QString("ID: %1").arg(Table.FieldByName("ID")->AsInteger()));
    Table.EnableControls();
    Table.SetRecNo(21);
    QCOMPARE(Page.DataDBGrid->currentIndex().row(), 20);
  }

  void TheBusyCursorShowsWhileATableIsLearned() {
    TPageOwner Owner;
    TInterfaceForm Page(&Owner.Window);
    const TDataSet::TDataSetNotifyEvent PageHandler = Page.UserTable().AfterScroll();
    int BusyRows = 0, BusyCursorRows = 0;
    Page.UserTable().SetAfterScroll([&](TDataSet& D) {
      if (Page.DBLC().Busy()) {
        ++BusyRows;
        if (ScreenCursor() == crHourGlass) ++BusyCursorRows;
      }
      PageHandler(D);
    });
    Page.TablesBoxChange();
    QVERIFY(BusyRows >= Page.UserTable().RecordCount());
    QCOMPARE(BusyCursorRows, BusyRows);
    QCOMPARE(ScreenCursor(), crDefault);
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  void AnExistingAliasIsUsedAsItIs() {
    TSampleCopy Data({"IRIS.DB", "WEAT.DB", "CONT.DB"});
    TPageOwner Owner;
    Owner.Alias("halvornaidatad", Data.Path().string());
    TMessageRecorder Shown;
    TInterfaceForm Page(&Owner.Window);
    QVERIFY(Shown.Messages.isEmpty());
    QCOMPARE(Page.TablesBox->count(), 3);
    // Fewer than seven tables: nothing chosen, nothing opened.
    QCOMPARE(Page.TablesBox->currentIndex(), -1);
    QVERIFY(!Page.UserTable().Active());
    QCOMPARE(Page.IDLabel->text(), QString("ID:"));
    Page.TablesBox->setCurrentIndex(Page.TablesBox->findText("WEAT.DB"));
    Page.TablesBoxChange();
    QCOMPARE(Page.DataDBGrid->model()->rowCount(), 14);
    QCOMPARE(Page.LC().Classes()->Count(), 2);
  }

  void AMissingTableIsReportedAndThePageStays() {
    TSampleCopy Data({"IRIS.DB"});
    TPageOwner Owner;
    Owner.Alias(SampleAlias, Data.Path().string());
    TInterfaceForm Page(&Owner.Window);
    std::filesystem::remove(Data.Path() / "IRIS.DB");
    TMessageRecorder Shown;
    Page.TablesBox->setCurrentIndex(0);
    CallGuarded([&] { Page.TablesBoxChange(); });
    QCOMPARE(Shown.Messages.size(), 1);
    QVERIFY2(Shown.Messages[0].contains("IRIS.DB"), qPrintable(Shown.Messages[0]));
    QCOMPARE(Page.DataDBGrid->model()->rowCount(), 0);
  }
};

DEMO_TEST_MAIN(TestInterfaceForm)
#include "ClassifyInterfaceTest.moc"
