// Speed of the interactive page ("Play a doctor") on a table far larger than
// the samples: a generated table of the sample layout with 1,000,000 rows
// (ID, Class 1..5, Value, Split0..Split31, 10 small-integer attributes with
// codes 1..8, 10 float attributes), as a Paradox file and as a SQLite table,
// driven on the offscreen platform.
//
//   BM_BindingLearn     the binding alone learns the table with the page's
//                       settings (.../...Reopened: opening it each time as
//                       well): the rate the page should reach
//   BM_ChooseTable      from choosing the table on the page to its first rows
//                       painted and every row learned (TablesBoxChange, then
//                       a paint of the grid)
//   BM_ScrollPages      the grid scrolled from top to bottom a page at a time,
//                       each page painted; max_page_ms is the slowest page
//                       (max_page_cpu_ms in this thread's CPU time)
//
// Memory counters: rss_growth_MiB (resident set, including the file pages of
// a mapped SQLite table) and heap_growth_MiB (heap in use) over the measured
// part, and for BM_ChooseTable big_minus_small_MiB, the heap in use with the
// big table open minus with a 1,000-row table of the same layout open: what
// grows with the number of rows.
//
// The files are generated once (in a child process) into bench-pages-data/
// beside the executable, or into $PELLORY_BENCH_DATA, and reused.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ClassifyInterface.h"
#include "Classifier.h"
#include "DBClassifier.h"
#include "DemoSession.h"
#include "SampleComponents.h"
#include "SampleDatabase.h"
#include "SampleLayout.h"
#include "GeneratedData.h"
#include "Session.h"
#include "Table.h"
#include "TableWriter.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kRows = 1'000'000;
constexpr int32_t kSmallRows = 1'000;
constexpr int32_t kDiscrete = 10;
constexpr int32_t kFloat = 10;
constexpr int32_t kClasses = 5;

enum class TStore { Paradox, Sqlite };

fs::path DataFolder() {
  if (const char* Env = std::getenv("PELLORY_BENCH_DATA")) return fs::path(Env) / "pages";
  return fs::canonical("/proc/self/exe").parent_path() / "bench-pages-data";
}

std::vector<TFieldDef> Layout() {
  using L = TSampleLayout;
  std::vector<TFieldDef> Fields{{L::IdField, ftInteger, 0}, {L::ClassField, ftSmallint, 0}, {L::ValueField, ftFloat, 0}};
  for (int32_t S = 0; S < L::SplitCount; ++S) Fields.push_back({L::SplitField(S), ftSmallint, 0});
  for (int32_t I = 0; I < kDiscrete; ++I) Fields.push_back({"D" + std::to_string(I), ftSmallint, 0});
  for (int32_t I = 0; I < kFloat; ++I) Fields.push_back({"F" + std::to_string(I), ftFloat, 0});
  return Fields;
}

void Generate(const fs::path& Folder) {
  fs::create_directories(Folder / "px");
  const std::vector<TFieldDef> Fields = Layout();
  for (const auto& [Name, Rows] : {std::pair<std::string, int32_t>{"BIG", kRows}, {"SMALL", kSmallRows}}) {
    auto Px = CreateParadoxTable((Folder / "px" / (Name + ".DB")).string(), Fields);
    auto Sq = CreateSqliteTable((Folder / "pages.sqlite").string(), Name, Fields);
    std::mt19937 Rng(20261207);
    std::uniform_int_distribution<int32_t> Class(1, kClasses), Code(1, 8), Coin(0, 3), Third(0, 2);
    std::normal_distribution<double> Noise(0.0, 1.0);
    std::vector<TFieldValue> Row(Fields.size());
    for (int32_t R = 0; R < Rows; ++R) {
      const int32_t C = Class(Rng);
      size_t K = 0;
      Row[K++] = R + 1;
      Row[K++] = C;
      Row[K++] = 0.0;
      for (int32_t S = 0; S < TSampleLayout::SplitCount; ++S) Row[K++] = Third(Rng) == 0 ? 1 : 0;
      // Codes and values lean towards the class, so learning has something to find.
      for (int32_t I = 0; I < kDiscrete; ++I) Row[K++] = Coin(Rng) == 0 ? C : Code(Rng);
      for (int32_t I = 0; I < kFloat; ++I) Row[K++] = C * (1.0 + 0.1 * I) + Noise(Rng);
      Px->AppendRow(Row);
      Sq->AppendRow(Row);
    }
    Px->Close();
    Sq->Close();
  }
  std::ofstream(Folder / "complete") << kRows << "\n";
}

const fs::path& EnsureData() {
  static const fs::path Folder = [] {
    const fs::path F = DataFolder();
    EnsureGenerated(F, "bench_pages", kRows, Generate);
    return F;
  }();
  return Folder;
}

double ReadStatus(const char* Key) {
  std::ifstream Status("/proc/self/status");
  std::string Line;
  const size_t Length = std::char_traits<char>::length(Key);
  while (std::getline(Status, Line))
    if (Line.rfind(Key, 0) == 0) return std::stod(Line.substr(Length)) / 1024.0;
  return 0.0;
}
double RssMiB() { return ReadStatus("VmRSS:"); }
double ThreadCpuMs() {
  timespec T{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T);
  return static_cast<double>(T.tv_sec) * 1e3 + static_cast<double>(T.tv_nsec) / 1e6;
}
// Heap in use (not the resident set, which keeps what earlier benchmarks
// freed): what a page holds.
double HeapMiB() {
  const struct mallinfo2 M = mallinfo2();
  return static_cast<double>(M.uordblks + M.hblkhd) / (1024.0 * 1024.0);  // large blocks are mapped apart
}

std::string SourcePath(TStore Store) {
  return (Store == TStore::Paradox ? EnsureData() / "px" : EnsureData() / "pages.sqlite").string();
}
std::string TableName(TStore Store, const std::string& Name) { return Store == TStore::Paradox ? Name + ".DB" : Name; }

// The main window as the page sees it: the sample alias already points at
// the generated tables (an existing alias is used as it is).
struct TOwner {
  QWidget Window;
  explicit TOwner(TStore Store) {
    PageSession(&Window, nullptr)
        .AddStandardAlias(SampleAlias, SourcePath(Store), Store == TStore::Paradox ? "PARADOX" : "SQLITE");
  }
  // Shows Page filling the window, as the main window's tab would.
  void Show(QWidget& Page) {
    Window.resize(1200, 800);
    Page.setGeometry(0, 0, 1200, 800);
    Window.show();
    QApplication::processEvents();
  }
};

// Chooses Name in the page's table box as the user does, then paints the grid.
void Choose(TInterfaceForm& Page, const std::string& Name) {
  Page.TablesBox->setCurrentIndex(Page.TablesBox->findText(QString::fromStdString(Name)));
  Page.TablesBoxChange();
  Page.DataDBGrid->viewport()->repaint();
}

// Reopen true: the table is closed and opened again each time, as choosing
// it on the page does.
void BM_BindingLearn(benchmark::State& State, TStore Store, bool Reopen) {
  TSession Session(nullptr);
  Session.AddStandardAlias("B", SourcePath(Store), Store == TStore::Paradox ? "PARADOX" : "SQLITE");
  TTable Table(nullptr, &Session);
  Table.SetDatabaseName("B");
  Table.SetTableName(TableName(Store, "BIG"));
  Table.Open();
  TLinearClassifier LC(nullptr);
  SetSampleSettings(LC);
  TDBClassifier Binding(nullptr);
  SetSampleSettings(Binding);
  Binding.SetDataset(&Table);
  Binding.SetClassifier(&LC);
  for (auto _ : State) {
    Binding.Clear();
    if (Reopen) {
      Table.Close();
      Table.Open();
    }
    Binding.LearnDataset(0);
  }
  State.SetItemsProcessed(State.iterations() * kRows);
}

void BM_ChooseTable(benchmark::State& State, TStore Store) {
  TOwner Owner(Store);
  TInterfaceForm Page(&Owner.Window);
  Owner.Show(Page);
  Choose(Page, TableName(Store, "SMALL"));
  QApplication::processEvents();
  const double SmallHeap = HeapMiB();
  const double Rss = RssMiB();
  for (auto _ : State) {
    Choose(Page, TableName(Store, "BIG"));
    State.PauseTiming();
    if (Page.LC().Classes()->Count() != kClasses) State.SkipWithError("the page did not learn the table");
    State.ResumeTiming();
  }
  State.SetItemsProcessed(State.iterations() * kRows);
  State.counters["rss_growth_MiB"] = RssMiB() - Rss;
  State.counters["big_minus_small_MiB"] = HeapMiB() - SmallHeap;
}

void BM_ScrollPages(benchmark::State& State, TStore Store) {
  TOwner Owner(Store);
  TInterfaceForm Page(&Owner.Window);
  Owner.Show(Page);
  Choose(Page, TableName(Store, "BIG"));
  QScrollBar* Bar = Page.DataDBGrid->verticalScrollBar();
  const double Rss = RssMiB(), Heap = HeapMiB();
  // Page times in CPU time of this thread as well as wall time: on a
  // shared machine the wall clock also counts other programs' turns.
  double Slowest = 0.0, SlowestCpu = 0.0, Total = 0.0;
  int64_t Pages = 0;
  QElapsedTimer Clock;
  for (auto _ : State) {
    for (int Value = 0;; Value = std::min(Value + Bar->pageStep(), Bar->maximum())) {
      const double CpuBefore = ThreadCpuMs();
      Clock.start();
      Bar->setValue(Value);
      Page.DataDBGrid->viewport()->repaint();
      const double Ms = static_cast<double>(Clock.nsecsElapsed()) / 1e6;
      Slowest = std::max(Slowest, Ms);
      SlowestCpu = std::max(SlowestCpu, ThreadCpuMs() - CpuBefore);
      Total += Ms;
      ++Pages;
      if (Value == Bar->maximum()) break;
    }
  }
  State.counters["pages"] = static_cast<double>(Pages);
  State.counters["rows_per_page"] = Bar->pageStep();
  State.counters["max_page_ms"] = Slowest;
  State.counters["max_page_cpu_ms"] = SlowestCpu;
  State.counters["mean_page_ms"] = Pages ? Total / static_cast<double>(Pages) : 0.0;
  State.counters["rss_growth_MiB"] = RssMiB() - Rss;
  State.counters["heap_growth_MiB"] = HeapMiB() - Heap;
}

}  // namespace

BENCHMARK_CAPTURE(BM_BindingLearn, Paradox, TStore::Paradox, false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_BindingLearn, ParadoxReopened, TStore::Paradox, true)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_ChooseTable, Paradox, TStore::Paradox)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_ScrollPages, Paradox, TStore::Paradox)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_BindingLearn, Sqlite, TStore::Sqlite, false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_BindingLearn, SqliteReopened, TStore::Sqlite, true)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_ChooseTable, Sqlite, TStore::Sqlite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_ScrollPages, Sqlite, TStore::Sqlite)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);
  EnsureData();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
