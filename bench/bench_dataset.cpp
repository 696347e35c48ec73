// Reading speed of the dataset layer: walking a generated table of the
// binding benchmark's shape (ID, Class, Value, Split0..Split31, 10 small
// integer and 10 float attributes) and reading the 20 attributes and the
// class of every row through AsInteger/AsFloat, from Paradox and SQLite.
// The rows counter is rows per second. Rows: PELLORY_BENCH_ROWS (1000000).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "Session.h"
#include "Table.h"
#include "TableWriter.h"

namespace fs = std::filesystem;

namespace {

int32_t Rows() {
  const char* Text = std::getenv("PELLORY_BENCH_ROWS");
  return Text ? std::atoi(Text) : 1000000;
}

struct TBenchData {
  fs::path Folder = fs::temp_directory_path() / ("pellory-bench-dataset-" + std::to_string(::getpid()));
  TSession Session{nullptr};
  TBenchData() {
    fs::create_directories(Folder);
    std::vector<TFieldDef> Fields{{"ID", ftInteger}, {"Class", ftSmallint}, {"Value", ftFloat}};
    for (int s = 0; s < 32; ++s) Fields.push_back({"Split" + std::to_string(s), ftSmallint});
    for (int a = 0; a < 10; ++a) Fields.push_back({"D" + std::to_string(a), ftSmallint});
    for (int a = 0; a < 10; ++a) Fields.push_back({"F" + std::to_string(a), ftFloat});
    auto Px = CreateParadoxTable((Folder / "BENCH.DB").string(), Fields);
    auto Sq = CreateSqliteTable((Folder / "bench.sqlite").string(), "BENCH", Fields);
    std::vector<TFieldValue> Row(Fields.size());
    uint32_t Seed = 12345;
    auto Random = [&] { return Seed = Seed * 1664525u + 1013904223u; };
    for (int32_t r = 0; r < Rows(); ++r) {
      Row[0] = r + 1;
      Row[1] = static_cast<int32_t>(Random() % 5 + 1);
      Row[2] = 0.0;
      for (int s = 0; s < 32; ++s) Row[3 + s] = static_cast<int32_t>(Random() >> 31);
      for (int a = 0; a < 10; ++a) Row[35 + a] = static_cast<int32_t>(Random() % 7 + 1);
      for (int a = 0; a < 10; ++a) Row[45 + a] = (Random() % 100000) / 100.0;
      Px->AppendRow(Row);
      Sq->AppendRow(Row);
    }
    Px->Close();
    Sq->Close();
    Session.AddStandardAlias("PX", Folder.string(), "PARADOX");
    Session.AddStandardAlias("SQ", (Folder / "bench.sqlite").string(), "SQLITE");
  }
  ~TBenchData() {
    std::error_code Ignored;
    fs::remove_all(Folder, Ignored);
  }
};

TBenchData& Data() {
  static TBenchData Instance;
  return Instance;
}

void WalkTable(benchmark::State& State, const char* Alias, const char* Name, const char* Filter) {
  TTable Table(nullptr, &Data().Session);
  Table.SetDatabaseName(Alias);
  Table.SetTableName(Name);
  Table.SetFilter(Filter);
  Table.SetFiltered(true);
  Table.Open();
  std::vector<TField*> Discrete, Floats;
  for (int a = 0; a < 10; ++a) {
    Discrete.push_back(Table.FieldByName("D" + std::to_string(a)));
    Floats.push_back(Table.FieldByName("F" + std::to_string(a)));
  }
  TField* Class = Table.FieldByName("Class");
  int64_t Total = 0;
  for (auto _ : State) {
    double Sum = 0;
    for (Table.First(); !Table.Eof(); Table.Next()) {
      Sum += Class->AsInteger();
      for (TField* F : Discrete) Sum += F->AsInteger();
      for (TField* F : Floats) Sum += F->AsFloat();
      ++Total;
    }
    benchmark::DoNotOptimize(Sum);
  }
  State.counters["rows"] = benchmark::Counter(static_cast<double>(Total), benchmark::Counter::kIsRate);
}

void BM_ParadoxWalk(benchmark::State& State) { WalkTable(State, "PX", "BENCH.DB", ""); }
void BM_SqliteWalk(benchmark::State& State) { WalkTable(State, "SQ", "BENCH", ""); }
void BM_ParadoxWalkFiltered(benchmark::State& State) { WalkTable(State, "PX", "BENCH.DB", "[Split3] = 0"); }
void BM_SqliteWalkFiltered(benchmark::State& State) { WalkTable(State, "SQ", "BENCH", "[Split3] = 0"); }

}  // namespace

BENCHMARK(BM_ParadoxWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParadoxWalkFiltered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteWalkFiltered)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
