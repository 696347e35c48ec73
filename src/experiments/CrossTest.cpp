// The cross test run: per classifier, per table, per split: learn the
// learning part, classify the test part, summarise.
#include "CrossTest.h"

#include <algorithm>
#include <chrono>

#include "Classifier.h"
#include "Convert.h"
#include "DBClassifier.h"
#include "DataSource.h"
#include "Exceptions.h"
#include "ResultFormat.h"
#include "SampleComponents.h"
#include "SampleDatabase.h"
#include "SampleLayout.h"
#include "Session.h"
#include "Table.h"

namespace {

using TClock = std::chrono::steady_clock;

int64_t MillisecondsSince(TClock::time_point Start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - Start).count();
}

// Closes the table however a step ends.
class TCloseGuard {
public:
  explicit TCloseGuard(TTable& Table) : FTable(Table) {}
  ~TCloseGuard() { FTable.Close(); }
  TCloseGuard(const TCloseGuard&) = delete;
  TCloseGuard& operator=(const TCloseGuard&) = delete;

private:
  TTable& FTable;
};

}  // namespace

const std::string& TResultGrid::Cell(int32_t Col, int32_t Row) const {
  static const std::string Empty;
  if (Col < 0 || Col >= ColCount || Row < 0 || Row >= RowCount()) return Empty;
  return FCells[static_cast<size_t>(Row)][static_cast<size_t>(Col)];
}

void TResultGrid::SetCell(int32_t Col, int32_t Row, const std::string& Text) {
  if (Col < 0 || Col >= ColCount) throw EListError("Grid index out of range");
  if (Row < 0) throw EListError("Grid index out of range");
  if (Row >= RowCount()) FCells.resize(static_cast<size_t>(Row) + 1, std::vector<std::string>(ColCount));
  FCells[static_cast<size_t>(Row)][static_cast<size_t>(Col)] = Text;
}

const std::vector<std::string>& TCrossTest::Headings() {
  static const std::vector<std::string> Texts = {"",
                                                 "LC Success [%]",
                                                 "NB Success [%]",
                                                 "KNN Success [%]",
                                                 "Test examples",
                                                 "Prior probability",
                                                 "Best attr. succ.[%]"};
  return Texts;
}

std::vector<std::vector<std::string>> TCrossTest::GridLines() const {
  std::vector<std::vector<std::string>> Lines;
  Lines.push_back(Headings());
  const auto RowCells = [this](int32_t Row) {
    std::vector<std::string> Cells(TResultGrid::ColCount);
    for (int32_t C = 0; C < TResultGrid::ColCount; ++C) Cells[static_cast<size_t>(C)] = FGrid.Cell(C, Row);
    return Cells;
  };
  for (size_t I = 0; I < FTableList.size(); ++I) {
    Lines.push_back(RowCells(static_cast<int32_t>(I) + 1));
    // A skipped table's row stays empty in the grid; the name still says
    // which table the line stands for.
    if (Lines.back()[0].empty()) Lines.back()[0] = FTableList[I];
  }
  Lines.push_back(RowCells(TimeRow()));
  return Lines;
}

std::string TCrossTest::GridText() const {
  std::string Text;
  for (const std::vector<std::string>& Cells : GridLines()) {
    for (size_t C = 0; C < Cells.size(); ++C) {
      if (C) Text += '\t';
      Text += Cells[C];
    }
    Text += '\n';
  }
  return Text;
}

TCrossTest::TCrossTest(TComponent* AOwner, TSession& Session, const std::string& DataPath)
    : TComponent(AOwner), FSession(Session) {
  FComponents = CreateOwned<TSampleComponents>(*this, Session, "DataTable");
  FLC = &FComponents->LC();
  FNB = &FComponents->NB();
  FKNN = &FComponents->KNN();
  FDBLC = &FComponents->DBLC();
  FDataTable = &FComponents->Table();

  FDataTable->Close();
  EnsureSampleAlias(Session, DataPath, SampleDriver);
  FDataTable->SetDatabaseName(SampleAlias);
  FTableList = SampleTableNames(Session);
}

TCrossTest::TCrossTest(TComponent* AOwner, const TDataSource& Source)
    : TCrossTest(AOwner, Source.Session(), Source.Path()) {}

TCrossTest::~TCrossTest() = default;

void TCrossTest::SetRuns(int32_t Value) {
  using L = TCrossTestLimits;
  if (Value < L::MinRuns || Value > L::MaxRuns)
    throw Exception("Test runs must be from " + std::to_string(L::MinRuns) + " to " + std::to_string(L::MaxRuns));
  FRuns = Value;
}

int32_t TCrossTest::KNeighbors() const { return FKNN->KNeighbors(); }

void TCrossTest::SetKNeighbors(int32_t Value) {
  using L = TCrossTestLimits;
  if (Value < L::MinNeighbors || Value > L::MaxNeighbors)
    throw Exception("K neighbors must be from " + std::to_string(L::MinNeighbors) + " to " +
                    std::to_string(L::MaxNeighbors));
  FKNN->SetKNeighbors(Value);
}

std::vector<TSkippedTable> TCrossTest::DropTablesWithoutLayout() {
  std::vector<std::string> Needed = {TSampleLayout::ClassField};
  for (int32_t S = 0; S < FRuns; ++S) Needed.push_back(TSampleLayout::SplitField(S));
  std::vector<TSkippedTable> Skipped;
  std::vector<std::string> Kept;
  FDataTable->Close();
  FDataTable->SetFilter("");
  for (const std::string& Table : FTableList) {
    if (Table == TCrossTestLimits::SkippedTable) {
      Kept.push_back(Table);
      continue;
    }
    FDataTable->SetTableName(Table);
    FDataTable->Open();
    TCloseGuard Closing(*FDataTable);
    const auto Missing = std::find_if(Needed.begin(), Needed.end(),
                                      [this](const std::string& Field) { return !FDataTable->FindField(Field); });
    if (Missing == Needed.end()) Kept.push_back(Table);
    else Skipped.push_back({Table, "no field '" + *Missing + "'"});
  }
  FTableList = std::move(Kept);
  return Skipped;
}

void TCrossTest::Run() {
  std::stable_sort(FTableList.begin(), FTableList.end(),
                   [](const std::string& A, const std::string& B) { return CompareText(A, B) < 0; });
  FDataTable->Close();
  FDataTable->SetFilter("");
  FDataTable->SetFiltered(true);
  for (int32_t Col = 4; Col <= 6; ++Col) FGrid.SetCell(Col, 0, Headings()[static_cast<size_t>(Col)]);
  // Beside its accuracy, naive Bayes reports the prior of the majority class
  // and the linear classifier its best single attribute.
  const TClassifierColumn Columns[] = {
      {FLC, 1, 6, [this] {
         int32_t Index = -1;
         return FLC->MaxEntropy(Index);
       }},
      {FNB, 2, 5, [this] {
         int32_t Index = -1;
         return FNB->MaxPriorProbability(Index);
       }},
      {FKNN, 3, 0, nullptr},
  };
  for (const TClassifierColumn& C : Columns) {
    FDBLC->SetClassifier(C.Classifier);
    FGrid.SetCell(C.Column, 0, Headings()[static_cast<size_t>(C.Column)]);
    RunClassifierTest(C);
  }
}

void TCrossTest::RunClassifierTest(const TClassifierColumn& Entry) {
  const size_t Runs = static_cast<size_t>(FRuns);
  std::vector<double> Accuracy(Runs, 0.0), TestCount(Runs, 0.0), Extra(Runs, 0.0);
  TClassifier& Current = *Entry.Classifier;

  const auto Start = TClock::now();
  FLC->SetUsePriorProbability(true);
  TCrossTestProgress Progress;
  Progress.Column = Entry.Column;
  Progress.Classifier = Current.Name();
  Progress.TableCount = static_cast<int32_t>(FTableList.size());
  const auto Step = [&](int32_t Split, bool Optimizing, std::string SplitText) {
    Progress.Split = Split;
    Progress.Optimizing = Optimizing;
    Progress.SplitText = std::move(SplitText);
    Progress.ElapsedMs = MillisecondsSince(Start);
    if (FOnProgress) FOnProgress(Progress);
  };

  for (size_t I = 0; I < FTableList.size(); ++I) {
    const std::string& Table = FTableList[I];
    // A skipped table keeps its grid row as it was.
    if (Table == TCrossTestLimits::SkippedTable) continue;
    // The last split's filter of the table before would be applied on
    // opening, and a table without that field would be reported for it.
    FDataTable->SetFilter("");
    FDataTable->SetTableName(Table);
    FDataTable->Open();
    TCloseGuard Closing(*FDataTable);
    Progress.Table = Table;
    Progress.TableIndex = static_cast<int32_t>(I);
    Progress.TableText = "Current database table: " + Table;
    Step(-1, false, "");

    FDBLC->Clear();
    if (FPruning && Table != TCrossTestLimits::UnprunedTable) {
      Step(-1, true, "Optimizing...");
      FLC->SetUsePriorProbability(true);
      FDataTable->SetFiltered(false);
      FDBLC->LearnDataset(0);
      Current.Prune();
      Progress.Optimizing = false;
    }
    // With one run the filter never applies: all rows are learned and tested.
    FDataTable->SetFiltered(FRuns != 1);
    for (size_t S = 0; S < Runs; ++S) {
      const std::string Field = "[" + TSampleLayout::SplitField(static_cast<int32_t>(S)) + "]";
      FDataTable->SetFilter(Field + " = 0");
      Step(static_cast<int32_t>(S), false, "Split number: " + std::to_string(S));
      Current.SoftReset();
      FDBLC->LearnDataset(0);
      FDataTable->SetFilter(Field + " = 1");
      Accuracy[S] = FDBLC->ClassifyDataset(0);
      TestCount[S] = FDataTable->RecordCount();
      if (Entry.Extra) Extra[S] = Entry.Extra();
    }
    const int32_t Row = static_cast<int32_t>(I) + 1;
    FGrid.SetCell(0, Row, Table);
    FGrid.SetCell(Entry.Column, Row, SummaryText(Accuracy));
    FGrid.SetCell(4, Row, SummaryText(TestCount));
    if (Entry.Extra) FGrid.SetCell(Entry.ExtraColumn, Row, SummaryText(Extra));
  }
  FGrid.SetCell(0, TimeRow(), "Time [min:sec]");
  FGrid.SetCell(Entry.Column, TimeRow(), FormatMinSec(MillisecondsSince(Start)));
}
