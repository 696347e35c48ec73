// Speed of the dataset binding: LearnDataset and ClassifyDataset with the
// linear classifier over a generated table of 1,000,000 rows (ID, 10 small
// integer attributes D0..D9 with codes 1..8, 10 float attributes F0..F9 and
// a small-integer Class 1..5), once as a Paradox file and once as a SQLite
// table, and, when PELLORY_PG names a PostgreSQL database (scripts/with-postgres
// sets it), once more as the table "BENCH" there, copied from the Paradox
// file. The files are generated once (in a child process, so the peak RSS
// reported here is the passes' own) into bench-binding-data/ beside the
// executable, or into $PELLORY_BENCH_DATA, and reused afterwards.
//
// Counters: rows/s (items_per_second), peak_rss_MiB (the process's maximum
// resident set so far), rss_growth_MiB (resident set after the pass minus
// before it, including the file pages of a memory-mapped SQLite table) and
// anon_growth_MiB (the same for heap memory only: the rows themselves must
// not stay in memory).
//
// BM_WalkTable reads every field of every row without the binding, to tell
// the data layer's share of the time from the binding's. BM_LearnInShards
// learns the table with each classifier on 1 and 2 threads, alternately;
// BM_Merge merges two models of the whole table.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Classifier.h"
#include "ClassifierUnit.h"
#include "ParallelClassifier.h"
#include "ShardLearning.h"
#include "DBClassifier.h"
#include "DataSource.h"
#include "GeneratedData.h"
#include "Session.h"
#include "Table.h"
#include "TableWriter.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kRows = 1'000'000;
constexpr int32_t kDiscrete = 10;
constexpr int32_t kFloat = 10;
constexpr int32_t kClasses = 5;
const char* const kTable = "BENCH";

enum class TStore { Paradox, Sqlite, Postgres };

const char* PostgresConnInfo() {
  const char* Info = std::getenv("PELLORY_PG");
  return Info && *Info ? Info : nullptr;
}

fs::path DataFolder() {
  if (const char* Env = std::getenv("PELLORY_BENCH_DATA")) return Env;
  return fs::canonical("/proc/self/exe").parent_path() / "bench-binding-data";
}

std::vector<TFieldDef> Layout() {
  std::vector<TFieldDef> Fields{{"ID", ftInteger, 0}};
  for (int32_t I = 0; I < kDiscrete; ++I) Fields.push_back({"D" + std::to_string(I), ftSmallint, 0});
  for (int32_t I = 0; I < kFloat; ++I) Fields.push_back({"F" + std::to_string(I), ftFloat, 0});
  Fields.push_back({"Class", ftSmallint, 0});
  return Fields;
}

void Generate(const fs::path& Folder) {
  fs::create_directories(Folder);
  const std::vector<TFieldDef> Fields = Layout();
  auto Px = CreateParadoxTable((Folder / (std::string(kTable) + ".DB")).string(), Fields);
  auto Sq = CreateSqliteTable((Folder / "bench.sqlite").string(), kTable, Fields);
  std::mt19937 Rng(20261207);
  std::uniform_int_distribution<int32_t> Class(1, kClasses), Code(1, 8), Coin(0, 3);
  std::normal_distribution<double> Noise(0.0, 1.0);
  std::vector<TFieldValue> Row(Fields.size());
  for (int32_t R = 0; R < kRows; ++R) {
    const int32_t C = Class(Rng);
    size_t K = 0;
    Row[K++] = R + 1;
    // Codes and values lean towards the class, so learning has something to find.
    for (int32_t I = 0; I < kDiscrete; ++I) Row[K++] = Coin(Rng) == 0 ? C : Code(Rng);
    for (int32_t I = 0; I < kFloat; ++I) Row[K++] = C * (1.0 + 0.1 * I) + Noise(Rng);
    Row[K++] = C;
    Px->AppendRow(Row);
    Sq->AppendRow(Row);
  }
  Px->Close();
  Sq->Close();
  std::ofstream(Folder / "complete") << kRows << "\n";
}

// Writes the files unless a complete set is there; a child process does it
// so the generator's memory does not count against the passes.
const fs::path& EnsureData() {
  static const fs::path Folder = [] {
    const fs::path F = DataFolder();
    EnsureGenerated(F, "bench_binding", kRows, Generate);
    return F;
  }();
  return Folder;
}

double ProcessCpuSeconds() {
  rusage U{};
  getrusage(RUSAGE_SELF, &U);
  return static_cast<double>(U.ru_utime.tv_sec + U.ru_stime.tv_sec) +
         static_cast<double>(U.ru_utime.tv_usec + U.ru_stime.tv_usec) / 1e6;
}

double PeakRssMiB() {
  rusage U{};
  getrusage(RUSAGE_SELF, &U);
  return static_cast<double>(U.ru_maxrss) / 1024.0;
}

// Anonymous resident memory (heap and stacks), without the file pages a
// memory-mapped table brings in: what would grow if rows were kept.
double AnonRssMiB() {
  std::ifstream Status("/proc/self/status");
  std::string Line;
  while (std::getline(Status, Line))
    if (Line.rfind("RssAnon:", 0) == 0) return std::stod(Line.substr(8)) / 1024.0;
  return 0.0;
}

double CurrentRssMiB() {
  long Pages = 0, Resident = 0;
  if (FILE* F = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(F, "%ld %ld", &Pages, &Resident) != 2) Resident = 0;
    std::fclose(F);
  }
  return static_cast<double>(Resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

TSession& Session() {
  static TSession S(nullptr);
  if (!S.IsAlias("BenchParadox")) {
    S.AddStandardAlias("BenchParadox", EnsureData().string(), "PARADOX");
    S.AddStandardAlias("BenchSqlite", (EnsureData() / "bench.sqlite").string(), "SQLITE");
    if (PostgresConnInfo()) S.AddStandardAlias("BenchPostgres", PostgresConnInfo(), "POSTGRES");
  }
  return S;
}

std::unique_ptr<TTable> Open(TStore Store) {
  static const char* const Aliases[] = {"BenchParadox", "BenchSqlite", "BenchPostgres"};
  auto Table = std::make_unique<TTable>(nullptr, &Session());
  Table->SetDatabaseName(Aliases[static_cast<int>(Store)]);
  Table->SetTableName(Store == TStore::Paradox ? std::string(kTable) + ".DB" : std::string(kTable));
  Table->Open();
  return Table;
}

// Copies the Paradox table into PostgreSQL unless a complete copy is there;
// a child process does it, as with the files.
void EnsurePostgresTable() {
  const std::vector<std::string> Tables = Session().TableNames("BenchPostgres");
  if (std::find(Tables.begin(), Tables.end(), kTable) != Tables.end() && Open(TStore::Postgres)->RecordCount() == kRows)
    return;
  std::cerr << "bench_binding: copying " << kRows << " rows into PostgreSQL ...\n";
  const pid_t Child = fork();
  if (Child == 0) {
    try {
      TDataSource(PostgresConnInfo(), TDataSourceKind::dkPostgres).CopyTable(*Open(TStore::Paradox), kTable);
      std::_Exit(0);
    } catch (const std::exception& E) {
      std::cerr << "bench_binding: " << E.what() << "\n";
      std::_Exit(1);
    }
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0) std::exit(1);
}

void Configure(TDBClassifier& B, TDataSet& Table, TClassifier& C) {
  B.SetDataset(&Table);
  B.SetClassifier(&C);
  B.SetClassField("Class");
  B.SetAutoAttributes(true);
  B.DataType().SetSmallInt(TAttributeType::atDiscreteIndexed);
}

void MakeLinear(TLinearClassifier& LC) {
  LC.SetIndexesZeroBased(false);
  LC.SetRejectProbability(1e-7);
  LC.SetUsePriorProbability(true);
}

// CPU seconds the PostgreSQL server's processes have used (the children of
// the postmaster of the cluster scripts/with-postgres started): with a
// server, a pass's cost is split between client and server.
double ServerCpuSeconds() {
  const char* Socket = std::getenv("PELLORY_PG_SOCKET");
  if (!Socket) return 0.0;
  long Postmaster = 0;
  std::ifstream(fs::path(Socket) / "data" / "postmaster.pid") >> Postmaster;
  double Ticks = 0;
  for (const auto& Entry : fs::directory_iterator("/proc")) {
    std::ifstream Stat(Entry.path() / "stat");
    std::string Line;
    if (!std::getline(Stat, Line) || Line.rfind(')') == std::string::npos) continue;
    // After the command in parentheses: state, ppid, ..., utime and stime (fields 14 and 15).
    std::istringstream Rest(Line.substr(Line.rfind(')') + 2));
    std::string Field;
    long Parent = 0, User = 0, System = 0;
    Rest >> Field >> Parent;
    for (int I = 3; I <= 11; ++I) Rest >> Field;
    Rest >> User >> System;
    if (Parent == Postmaster && Postmaster > 0) Ticks += static_cast<double>(User + System);
  }
  return Ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct TRss {
  double Total = CurrentRssMiB();
  double Anon = AnonRssMiB();
  double ServerCpu = ServerCpuSeconds();
};

void Finish(benchmark::State& State, const TRss& Before, TStore Store) {
  State.SetItemsProcessed(State.iterations() * kRows);
  State.counters["peak_rss_MiB"] = PeakRssMiB();
  State.counters["rss_growth_MiB"] = CurrentRssMiB() - Before.Total;
  State.counters["anon_growth_MiB"] = AnonRssMiB() - Before.Anon;
  if (Store == TStore::Postgres)
    State.counters["server_cpu_ms"] =
        (ServerCpuSeconds() - Before.ServerCpu) * 1000.0 / static_cast<double>(State.iterations());
}

void BM_LearnDataset(benchmark::State& State, TStore Store) {
  auto Table = Open(Store);
  TLinearClassifier LC(nullptr);
  MakeLinear(LC);
  TDBClassifier B(nullptr);
  Configure(B, *Table, LC);
  const TRss RssBefore;
  for (auto _ : State) {
    LC.SoftReset();
    B.LearnDataset(0);
  }
  Finish(State, RssBefore, Store);
}

void BM_ClassifyDataset(benchmark::State& State, TStore Store) {
  auto Table = Open(Store);
  TLinearClassifier LC(nullptr);
  MakeLinear(LC);
  TDBClassifier B(nullptr);
  Configure(B, *Table, LC);
  B.LearnDataset(0);
  const TRss RssBefore;
  double Accuracy = 0;
  for (auto _ : State) benchmark::DoNotOptimize(Accuracy = B.ClassifyDataset(0));
  Finish(State, RssBefore, Store);
  State.counters["accuracy_pct"] = Accuracy;
}

void BM_WalkTable(benchmark::State& State, TStore Store) {
  auto Table = Open(Store);
  std::vector<TField*> Fields;
  for (int32_t I = 0; I < Table->FieldCount(); ++I) Fields.push_back(Table->Fields(I));
  const TRss RssBefore;
  for (auto _ : State) {
    double Sum = 0;
    for (Table->First(); !Table->Eof(); Table->Next())
      for (TField* F : Fields) Sum += F->DataType() == ftFloat ? F->AsFloat() : F->AsInteger();
    benchmark::DoNotOptimize(Sum);
  }
  Finish(State, RssBefore, Store);
}

enum class TKind { Linear, Bayes, Neighbors };

std::unique_ptr<TClassifier> NewClassifier(TKind Kind) {
  std::unique_ptr<TClassifier> C;
  if (Kind == TKind::Linear) {
    auto LC = std::make_unique<TLinearClassifier>(nullptr);
    MakeLinear(*LC);
    C = std::move(LC);
  } else if (Kind == TKind::Bayes) {
    C = std::make_unique<TNaiveBayes>(nullptr);
  } else {
    auto Knn = std::make_unique<TKNearestNeighbors>(nullptr);
    Knn->SetStoreExamples(true);
    C = std::move(Knn);
  }
  C->SetIndexesZeroBased(false);
  return C;
}

// Learning the table on 1 and 2 threads (LearnDatasetInShards), arguments
// round and threads: the rounds alternate 1 and 2 threads within one run,
// so a machine shared with other work loads both alike.
void BM_LearnInShards(benchmark::State& State, TStore Store, TKind Kind) {
  const auto Threads = static_cast<int32_t>(State.range(0));
  auto Table = Open(Store);
  const TRss RssBefore;
  const double CpuBefore = ProcessCpuSeconds();
  for (auto _ : State) {
    auto C = NewClassifier(Kind);
    TDBClassifier B(nullptr);
    Configure(B, *Table, *C);
    LearnDatasetInShards(B, Threads, [Store]() -> std::unique_ptr<TDataSet> { return Open(Store); });
    State.PauseTiming();  // freeing a million stored examples is not learning
    B.SetClassifier(nullptr);
    C.reset();
    State.ResumeTiming();
  }
  Finish(State, RssBefore, Store);
  // All threads' processor time: on a machine shared with other work the
  // real time of two threads says little; this says what they cost.
  State.counters["process_cpu_ms"] = (ProcessCpuSeconds() - CpuBefore) * 1000.0 / static_cast<double>(State.iterations());
}

// Merging two models of the whole table; the receiver is copied afresh
// (untimed) before every merge.
void BM_Merge(benchmark::State& State, TKind Kind) {
  auto Table = Open(TStore::Paradox);
  auto A = NewClassifier(Kind);
  auto B = NewClassifier(Kind);
  for (TClassifier* C : {A.get(), B.get()}) {
    TDBClassifier Binding(nullptr);
    Configure(Binding, *Table, *C);
    Binding.LearnDataset(0);
  }
  for (auto _ : State) {
    State.PauseTiming();
    auto Receiver = CopyClassifier(*A);
    State.ResumeTiming();
    Receiver->Merge(*B);
    State.PauseTiming();
    Receiver.reset();
    State.ResumeTiming();
  }
}

}  // namespace

BENCHMARK_CAPTURE(BM_WalkTable, Paradox, TStore::Paradox)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_WalkTable, Sqlite, TStore::Sqlite)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_LearnDataset, Paradox, TStore::Paradox)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_LearnDataset, Sqlite, TStore::Sqlite)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_ClassifyDataset, Paradox, TStore::Paradox)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_ClassifyDataset, Sqlite, TStore::Sqlite)->Unit(benchmark::kMillisecond)->Iterations(2);

#define PELLORY_SHARDS(Name, Store, Kind)                                                            \
  BENCHMARK_CAPTURE(BM_LearnInShards, Name, Store, Kind)                                             \
      ->ArgsProduct({{1, 2}, {0, 1, 2}})                                                              \
      ->ArgNames({"threads", "round"})                                                                \
      ->Unit(benchmark::kMillisecond)                                                                  \
      ->Iterations(1)                                                                                  \
      ->UseRealTime()
PELLORY_SHARDS(lc_Paradox, TStore::Paradox, TKind::Linear);
PELLORY_SHARDS(nb_Paradox, TStore::Paradox, TKind::Bayes);
PELLORY_SHARDS(knn_Paradox, TStore::Paradox, TKind::Neighbors);
PELLORY_SHARDS(lc_Sqlite, TStore::Sqlite, TKind::Linear);
PELLORY_SHARDS(nb_Sqlite, TStore::Sqlite, TKind::Bayes);
PELLORY_SHARDS(knn_Sqlite, TStore::Sqlite, TKind::Neighbors);
BENCHMARK_CAPTURE(BM_Merge, lc, TKind::Linear)->Unit(benchmark::kMicrosecond)->Iterations(20);
BENCHMARK_CAPTURE(BM_Merge, nb, TKind::Bayes)->Unit(benchmark::kMicrosecond)->Iterations(20);
BENCHMARK_CAPTURE(BM_Merge, knn, TKind::Neighbors)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  InitializeClassifierUnit();  // CopyClassifier creates classifiers by name
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  EnsureData();
  if (PostgresConnInfo()) {
    EnsurePostgresTable();
    const auto Register = [](const char* Name, void (*Bench)(benchmark::State&, TStore)) {
      benchmark::RegisterBenchmark(Name, Bench, TStore::Postgres)->Unit(benchmark::kMillisecond)->Iterations(2);
    };
    Register("BM_WalkTable/Postgres", BM_WalkTable);
    Register("BM_LearnDataset/Postgres", BM_LearnDataset);
    Register("BM_ClassifyDataset/Postgres", BM_ClassifyDataset);
  } else {
    std::cerr << "bench_binding: PELLORY_PG is not set; PostgreSQL is not measured\n";
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
