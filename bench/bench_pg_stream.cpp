// The two ways libpq streams a large result, on 1,000,000 rows of 22 columns
// (an integer, 10 smallints, 10 doubles, a smallint: the layout of
// bench_binding's table), to choose the PostgreSQL driver's: COPY (SELECT
// ...) TO STDOUT in binary, one CopyData message a row, against a SELECT in
// single-row mode with binary results, one PGresult a row. Each pass touches
// every value. Needs PELLORY_PG (scripts/with-postgres sets it); the table
// "bench_stream" is generated on the server once.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

constexpr int kRows = 1'000'000;
const char* const kSelect =
    "SELECT \"ID\", d0, d1, d2, d3, d4, d5, d6, d7, d8, d9, f0, f1, f2, f3, f4, f5, f6, f7, f8, f9, \"Class\" "
    "FROM bench_stream";

PGconn* Connection() {
  static PGconn* Conn = [] {
    PGconn* C = PQconnectdb(std::getenv("PELLORY_PG"));
    if (PQstatus(C) != CONNECTION_OK) {
      std::cerr << "bench_pg_stream: " << PQerrorMessage(C);
      std::exit(1);
    }
    PQsetNoticeProcessor(C, [](void*, const char*) {}, nullptr);
    PQclear(PQexec(C, "SET jit = off"));
    PGresult* R = PQexec(C, "SELECT count(*) FROM bench_stream");
    const bool Ready = PQresultStatus(R) == PGRES_TUPLES_OK && std::atoi(PQgetvalue(R, 0, 0)) == kRows;
    PQclear(R);
    if (!Ready) {
      std::string Make = "DROP TABLE IF EXISTS bench_stream; CREATE TABLE bench_stream AS SELECT i AS \"ID\"";
      for (int D = 0; D < 10; ++D) Make += ", (1 + (i * 7 + " + std::to_string(D) + ") % 8)::int2 AS d" + std::to_string(D);
      for (int F = 0; F < 10; ++F) Make += ", random() * 10 AS f" + std::to_string(F);
      Make += ", (1 + i % 5)::int2 AS \"Class\" FROM generate_series(1, " + std::to_string(kRows) + ") i";
      PGresult* M = PQexec(C, Make.c_str());
      if (PQresultStatus(M) != PGRES_COMMAND_OK) {
        std::cerr << "bench_pg_stream: " << PQresultErrorMessage(M);
        std::exit(1);
      }
      PQclear(M);
      // Hint bits set and statistics taken, as on a table in use.
      PQclear(PQexec(C, "VACUUM ANALYZE bench_stream"));
    }
    return C;
  }();
  return Conn;
}

void BM_CopyBinary(benchmark::State& State) {
  PGconn* C = Connection();
  const std::string Sql = std::string("COPY (") + kSelect + ") TO STDOUT (FORMAT binary)";
  for (auto _ : State) {
    PQclear(PQexec(C, Sql.c_str()));
    long Bytes = 0, Rows = 0;
    char* Data = nullptr;
    for (int Size; (Size = PQgetCopyData(C, &Data, 0)) > 0; PQfreemem(Data)) {
      // Walk the fields as the driver does: a count, then length and bytes.
      const unsigned char* P = reinterpret_cast<const unsigned char*>(Data);
      const unsigned char* End = P + Size;
      if (Rows == 0) P += 19;
      if (End - P < 2 || (P[0] == 0xff && P[1] == 0xff)) continue;
      const int Count = (P[0] << 8) | P[1];
      P += 2;
      for (int I = 0; I < Count && P + 4 <= End; ++I) {
        const int Length = (P[0] << 24) | (P[1] << 16) | (P[2] << 8) | P[3];
        P += 4 + (Length > 0 ? Length : 0);
        Bytes += P[-1];
      }
      ++Rows;
    }
    while (PGresult* R = PQgetResult(C)) PQclear(R);
    benchmark::DoNotOptimize(Bytes);
    if (Rows != kRows) State.SkipWithError("short COPY");
  }
  State.SetItemsProcessed(State.iterations() * kRows);
}

void BM_SingleRowBinary(benchmark::State& State) {
  PGconn* C = Connection();
  for (auto _ : State) {
    PQsendQueryParams(C, kSelect, 0, nullptr, nullptr, nullptr, nullptr, 1);
    PQsetSingleRowMode(C);
    long Bytes = 0, Rows = 0;
    while (PGresult* R = PQgetResult(C)) {
      if (PQresultStatus(R) == PGRES_SINGLE_TUPLE) {
        for (int I = 0; I < PQnfields(R); ++I) Bytes += PQgetvalue(R, 0, I)[PQgetlength(R, 0, I) - 1];
        ++Rows;
      }
      PQclear(R);
    }
    benchmark::DoNotOptimize(Bytes);
    if (Rows != kRows) State.SkipWithError("short result");
  }
  State.SetItemsProcessed(State.iterations() * kRows);
}

}  // namespace

BENCHMARK(BM_CopyBinary)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SingleRowBinary)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  if (!std::getenv("PELLORY_PG")) {
    std::cerr << "bench_pg_stream: PELLORY_PG is not set (run it through scripts/with-postgres)\n";
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Connection();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
