// The dataset grid model against the dataset it shows: headings, every
// cell's text (nulls empty) over both stores, the bounded cache, the current
// row left alone, filters and closing.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <memory>

#include "DataSetTableModel.h"
#include "DemoTestSupport.h"
#include "Session.h"
#include "Table.h"
#include "TableWriter.h"

namespace {

constexpr int32_t kRows = 3000;

struct TTables {
  QTemporaryDir Dir;
  std::string Folder() const { return Dir.path().toStdString(); }
  std::string SqliteFile() const { return Folder() + "/rows.sqlite"; }
  TTables() {
    const std::vector<TFieldDef> Fields = {
        {"ID", ftInteger}, {"Name", ftString, 10}, {"Code", ftSmallint}, {"Score", ftFloat}};
    auto Px = CreateParadoxTable(Folder() + "/ROWS.DB", Fields);
    auto Sq = CreateSqliteTable(SqliteFile(), "ROWS", Fields);
    for (int32_t Id = 1; Id <= kRows; ++Id) {
      const TFieldValue Name = Id % 7 == 0 ? TFieldValue{} : TFieldValue{"n" + std::to_string(Id)};
      const TFieldValue Score = Id % 5 == 0 ? TFieldValue{} : TFieldValue{Id / 4.0};
      const std::vector<TFieldValue> Row = {Id, Name, Id % 3 == 0 ? TFieldValue{} : TFieldValue{Id % 100}, Score};
      Px->AppendRow(Row);
      Sq->AppendRow(Row);
    }
    Px->Close();
    Sq->Close();
  }
};

TTables& Tables() {
  static TTables Instance;
  return Instance;
}

struct TOpened {
  TSession Session{nullptr};
  TTable Table{nullptr, &Session};
  explicit TOpened(bool Sqlite) {
    Session.AddStandardAlias("T", Sqlite ? Tables().SqliteFile() : Tables().Folder(), Sqlite ? "SQLITE" : "PARADOX");
    Table.SetDatabaseName("T");
    Table.SetTableName(Sqlite ? "ROWS" : "ROWS.DB");
  }
};

}  // namespace

class TestDataSetTableModel : public QObject {
  Q_OBJECT

private slots:
  void EveryCellIsTheFieldsTextAndNullsAreEmpty_data() {
    QTest::addColumn<bool>("Sqlite");
    QTest::newRow("Paradox") << false;
    QTest::newRow("SQLite") << true;
  }
  void EveryCellIsTheFieldsTextAndNullsAreEmpty() {
    QFETCH(bool, Sqlite);
    TOpened T(Sqlite);
    T.Table.Open();
    TDataSetTableModel Model;
    QAbstractItemModelTester Tester(&Model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    Model.SetDataSet(&T.Table);
    QCOMPARE(Model.rowCount(), kRows);
    QCOMPARE(Model.columnCount(), 4);
    QCOMPARE(Model.headerData(0, Qt::Horizontal).toString(), QString("ID"));
    QCOMPARE(Model.headerData(3, Qt::Horizontal).toString(), QString("Score"));
    QCOMPARE(Model.CurrentRow(), 0);
    QCOMPARE(Model.headerData(0, Qt::Vertical).toString(), QString("\u25B6"));
    QVERIFY(Model.headerData(1, Qt::Vertical).toString().isEmpty());
    QVERIFY(!(Model.flags(Model.index(0, 0)) & Qt::ItemIsEditable));

    int Scrolls = 0;
    T.Table.SetAfterScroll([&](TDataSet&) { ++Scrolls; });
    T.Table.SetRecNo(17);
    Scrolls = 0;
    // Read from the far end backwards, so blocks are read out of order and
    // dropped again.
    for (int Row = kRows - 1; Row >= 0; Row -= 1) {
      const int32_t Id = Row + 1;
      QCOMPARE(Model.index(Row, 0).data().toString(), QString::number(Id));
      QCOMPARE(Model.index(Row, 1).data().toString(), Id % 7 == 0 ? QString() : QString("n%1").arg(Id));
      QCOMPARE(Model.index(Row, 2).data().toString(), Id % 3 == 0 ? QString() : QString::number(Id % 100));
      QCOMPARE(Model.index(Row, 3).data().toString(), Id % 5 == 0 ? QString() : QString::number(Id / 4.0, 'g', 17));
      QVERIFY(Model.CachedRows() <= TDataSetTableModel::BlockRows * TDataSetTableModel::MaxBlocks);
    }
    // Numbers right, texts left.
    QVERIFY(Model.index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    QVERIFY(Model.index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    // Showing rows neither moved the table nor told its handler.
    QCOMPARE(Scrolls, 0);
    QCOMPARE(T.Table.RecNo(), 17);
    QCOMPARE(T.Table.FieldByName("ID")->AsInteger(), 17);
  }

  void FiltersClosingAndTheIndicatorFollowRefresh() {
    TOpened T(false);
    T.Table.SetFilter("Code = 5");
    T.Table.SetFiltered(true);
    T.Table.Open();
    TDataSetTableModel Model;
    Model.SetDataSet(&T.Table);
    QStringList Matching;  // Code is null for every third ID
    for (int32_t Id = 1; Id <= kRows; ++Id)
      if (Id % 3 != 0 && Id % 100 == 5) Matching << QString::number(Id);
    QCOMPARE(Model.rowCount(), T.Table.RecordCount());
    QCOMPARE(Model.rowCount(), Matching.size());
    for (int Row = 0; Row < Matching.size(); ++Row) QCOMPARE(Model.index(Row, 0).data().toString(), Matching[Row]);

    QSignalSpy Headers(&Model, &QAbstractItemModel::headerDataChanged);
    Model.SetCurrentRow(2);
    QCOMPARE(Headers.count(), 2);  // the old row and the new one
    QCOMPARE(Model.headerData(2, Qt::Vertical).toString(), QString("\u25B6"));
    QVERIFY(Model.headerData(0, Qt::Vertical).toString().isEmpty());

    T.Table.SetFiltered(false);
    Model.Refresh();
    QCOMPARE(Model.rowCount(), kRows);
    QCOMPARE(Model.index(2, 0).data().toString(), QString("3"));
    T.Table.Close();
    Model.Refresh();
    QCOMPARE(Model.rowCount(), 0);
    QCOMPARE(Model.columnCount(), 0);
    QVERIFY(!Model.index(0, 0).isValid());
  }
};

DEMO_TEST_MAIN(TestDataSetTableModel)
#include "DataSetTableModelTest.moc"
