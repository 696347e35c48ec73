// TCrossTest: the cross test of the three classifiers over the split tables
// of the sample database, independent of any user interface. The cross test
// page and `pellory crosstest` both drive it.
//
// For each classifier in the order LC, NB, KNN and each table of the sorted
// table list ("Test1.DB" skipped), the table is split up to 30 times by its
// fields "Split0".."Split29" (0 = learning part, 1 = test part; the limits
// and the special tables are TCrossTestLimits below); the
// classifier learns the learning part through the binding DBLC and
// classifies the test part. The result grid gets, per table, the mean
// accuracy and its spread ("85.50+/-2.25"), the test part size, the naive
// Bayes prior of the majority class and the linear classifier's best single
// attribute, and below the tables each classifier's run time.
//
// Ownership: the cross test owns its components (LC, NB, KNN, DBLC,
// DataTable); the session belongs to the caller and must outlive the run.
// Errors of the dataset layer, the binding or a classifier end a run and
// propagate; the grid keeps what was written and the table is closed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Component.h"

class TDataSource;
class TDBClassifier;
class TKNearestNeighbors;
class TSampleComponents;
class TLinearClassifier;
class TNaiveBayes;
class TSession;
class TTable;
class TClassifier;

// The cross test's limits, which `pellory` and the cross test page offer
// too, and the sample tables it treats apart.
struct TCrossTestLimits {
  // Splits per table; 1 learns and tests all rows.
  static constexpr int32_t MinRuns = 1;
  static constexpr int32_t MaxRuns = 30;
  static constexpr int32_t DefaultRuns = 1;
  // Neighbours of k-NN.
  static constexpr int32_t MinNeighbors = 1;
  static constexpr int32_t MaxNeighbors = 50;
  static constexpr int32_t DefaultNeighbors = 10;
  // A fixture of the sample database, not data: never tested.
  static constexpr const char* SkippedTable = "Test1.DB";
  // Large enough that pruning it would dominate the run: never pruned.
  static constexpr const char* UnprunedTable = "SATI.DB";
};

// A grid of texts, 7 columns; row 0 and column 0 are headings. It starts
// with 22 rows and grows when a run needs more; cells stay until
// overwritten.
class TResultGrid {
public:
  static constexpr int32_t ColCount = 7;
  TResultGrid() : FCells(22, std::vector<std::string>(ColCount)) {}

  int32_t RowCount() const { return static_cast<int32_t>(FCells.size()); }
  // "" for a cell outside the grid.
  const std::string& Cell(int32_t Col, int32_t Row) const;
  // Grows the grid to take Row; a column outside 0..6 raises EListError.
  void SetCell(int32_t Col, int32_t Row, const std::string& Text);
  const std::vector<std::string>& Row(int32_t Row) const { return FCells.at(static_cast<size_t>(Row)); }

private:
  std::vector<std::vector<std::string>> FCells;
};

// A table left out of a run, and why ("no field 'Split0'").
struct TSkippedTable {
  std::string Table;
  std::string Reason;
};

// What the page's progress labels show, reported at each step.
struct TCrossTestProgress {
  int32_t Column = 0;          // 1 LC, 2 NB, 3 KNN
  std::string Classifier;      // "LC", "NB", "KNN"
  std::string Table;
  int32_t TableIndex = 0;      // position in the sorted table list
  int32_t TableCount = 0;
  int32_t Split = -1;          // -1: the table was just opened, or pruning
  bool Optimizing = false;     // pruning the table's attributes
  std::string TableText;       // "Current database table: IRIS.DB"
  std::string SplitText;       // "Split number: 3" / "Optimizing..."; "" when the table opens
  int64_t ElapsedMs = 0;       // since the start of this classifier's run
};

class TCrossTest : public TComponent {
public:
  // Creates the components with their settings, then, as the page does on
  // creation: closes DataTable, adds the alias "HalvornAIDataD" with
  // DataPath and the "PARADOX" driver unless the session has it (any letter
  // case), sets DataTable's database to it and fills the table list with
  // its "*.DB" tables. Raises what the session raises for a missing folder.
  TCrossTest(TComponent* AOwner, TSession& Session, const std::string& DataPath);
  // The same over the data source's session, whose alias is there already.
  TCrossTest(TComponent* AOwner, const TDataSource& Source);
  ~TCrossTest() override;
  std::string TypeName() const override { return "TCrossTest"; }

  TLinearClassifier& LC() const { return *FLC; }
  TNaiveBayes& NB() const { return *FNB; }
  TKNearestNeighbors& KNN() const { return *FKNN; }
  TDBClassifier& DBLC() const { return *FDBLC; }
  TTable& DataTable() const { return *FDataTable; }

  // The alias's tables as listed at creation; the caller may narrow it.
  // Run sorts it (letter case ignored).
  const std::vector<std::string>& TableList() const { return FTableList; }
  void SetTableList(std::vector<std::string> Value) { FTableList = std::move(Value); }

  // Takes out of the table list every table without the fields a run of
  // Runs() splits reads: "Class" and "Split0".."Split<Runs-1>". Databases
  // hold other tables besides the sample tables; the page tests them all
  // and stops at the first, `pellory crosstest` leaves them out. Returns
  // the tables taken out in list order; a table that cannot be opened
  // raises what opening it raises.
  std::vector<TSkippedTable> DropTablesWithoutLayout();

  // Splits per table, 1 to 30 (default 1); others raise Exception
  // "Test runs must be from 1 to 30".
  int32_t Runs() const { return FRuns; }
  void SetRuns(int32_t Value);
  // Neighbours of KNN, 1 to 50 (default 10); others raise Exception
  // "K neighbors must be from 1 to 50".
  int32_t KNeighbors() const;
  void SetKNeighbors(int32_t Value);
  bool Pruning() const { return FPruning; }
  void SetPruning(bool Value) { FPruning = Value; }

  void SetOnProgress(std::function<void(const TCrossTestProgress&)> Value) { FOnProgress = std::move(Value); }

  // The whole cross test: sorts the table list, writes the headings and runs
  // LC, NB and KNN in turn into columns 1, 2, 3.
  void Run();
  const TResultGrid& ResultGrid() const { return FGrid; }
  // The grid as text for a spreadsheet or a terminal: TAB-separated lines,
  // each ended by "\n": the headings, one line per table of the list (a
  // skipped table's line carries its name all the same), the time line.
  // `pellory crosstest` prints it and the cross test page copies it.
  std::string GridText() const;
  // The same lines as cells: the headings first, the time line last.
  std::vector<std::vector<std::string>> GridLines() const;
  // Row of the time line: the number of tables + 1.
  int32_t TimeRow() const { return static_cast<int32_t>(FTableList.size()) + 1; }
  // Rows a view needs to show every table and the time row from the start:
  // the grid's own rows, or more for a long table list.
  int32_t GridRowCount() const { return std::max(FGrid.RowCount(), TimeRow() + 1); }

  static const std::vector<std::string>& Headings();  // row 0, columns 0..6

private:
  // One classifier's column of the grid, and the figure it adds in
  // ExtraColumn after each split (none when Extra is empty).
  struct TClassifierColumn {
    TClassifier* Classifier;
    int32_t Column;
    int32_t ExtraColumn;
    std::function<double()> Extra;
  };
  void RunClassifierTest(const TClassifierColumn& Entry);

  TSession& FSession;
  // The sample components (owned here) and, for short, their parts.
  TSampleComponents* FComponents = nullptr;
  TLinearClassifier* FLC = nullptr;
  TNaiveBayes* FNB = nullptr;
  TKNearestNeighbors* FKNN = nullptr;
  TDBClassifier* FDBLC = nullptr;
  TTable* FDataTable = nullptr;
  std::vector<std::string> FTableList;
  int32_t FRuns = TCrossTestLimits::DefaultRuns;
  bool FPruning = false;
  TResultGrid FGrid;
  std::function<void(const TCrossTestProgress&)> FOnProgress;
};
