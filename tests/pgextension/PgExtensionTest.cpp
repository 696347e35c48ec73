// The extension inside a real server: the aggregate learns what the tool
// learns, classifies as the tool classifies, runs as a parallel plan whose
// merged model matches the sequential one class by class, and turns every
// bad value into an error that names it while the server stays up.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <tuple>

#include "Classifier.h"
#include "DBClassifier.h"
#include "DataSource.h"
#include "PgTestSupport.h"
#include "PropertyStream.h"
#include "SampleComponents.h"
#include "SampleDatabase.h"
#include "CrossTest.h"  // TCrossTestLimits
#include "SampleModels.h"
#include "Stream.h"
#include "Table.h"
#include "TestSupport.h"

namespace {

const char* const Kinds[] = {"lc", "nb", "knn"};

class PelloryLearnSql : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string Reason = InstallExtension();
    if (!Reason.empty()) GTEST_SKIP() << Reason;
    Db = std::make_unique<TScratchDatabase>();
  }
  TPgConnection& Sql() { return Db->Connection(); }

  std::unique_ptr<TScratchDatabase> Db;
};

std::unique_ptr<TTable> OpenSample(const TSqlTable& T) {
  static const TDataSource Source(SampleDataFolder(), false);
  return Source.OpenTable(T.Name);
}

// What `pellory train` writes for the table.
std::vector<uint8_t> ToolModel(const TSqlTable& T, const std::string& Kind) {
  const std::unique_ptr<TTable> Table = OpenSample(T);
  const std::unique_ptr<TClassifier> C = NewSampleClassifier(ClassifierClassName(Kind));
  LearnSampleTable(*Table, *C);
  TMemoryStream Stream;
  C->SaveToStream(Stream);
  return Stream.Bytes();
}

// A model stream loaded as `pellory classify` loads a model file.
std::unique_ptr<TClassifier> LoadModel(const std::vector<uint8_t>& Bytes) {
  TMemoryStream Stream(Bytes);
  std::unique_ptr<TClassifier> C = NewSampleClassifier(ReadComponentClassName(Stream));
  Stream.SetPosition(0);
  C->LoadFromStream(Stream);
  return C;
}

// The guesses of `pellory classify` with the model, in ID order.
std::vector<std::string> ToolGuesses(const TSqlTable& T, const std::vector<uint8_t>& Model) {
  const std::unique_ptr<TTable> Table = OpenSample(T);
  const std::unique_ptr<TClassifier> C = LoadModel(Model);
  const std::unique_ptr<TDBClassifier> Binding = BindModelToTable(*Table, *C);
  std::vector<std::string> Guesses;
  ClassifySampleTable(*Table, *Binding, 1, [&](const TRowGuess& Row) { Guesses.push_back(C->ClassName(Row.Guess)); });
  return Guesses;
}

std::string Hex(const std::vector<uint8_t>& Bytes) {
  std::string Text = "'\\x";
  for (uint8_t B : Bytes) {
    static const char Digits[] = "0123456789abcdef";
    Text += Digits[B >> 4];
    Text += Digits[B & 15];
  }
  return Text + "'::bytea";
}

// An array's text ("{1.5,NULL}"), Null standing for each NULL.
template <class T> std::vector<T> ParseArray(const std::string& Text, T Null = T()) {
  std::vector<T> Values;
  std::stringstream In(Text.substr(1, Text.size() - 2));
  std::string Item;
  while (std::getline(In, Item, ','))
    Values.push_back(Item == "NULL" ? Null : static_cast<T>(std::strtod(Item.c_str(), nullptr)));
  return Values;
}

// True when an example outside the neighbours of the row lies exactly as
// far as the farthest neighbour: which of them counts depends on the order
// of the examples, which the workers do not keep.
bool NeighbourTie(TClassifier& C, const std::vector<int32_t>& D, const std::vector<double>& F) {
  auto* Knn = dynamic_cast<TKNearestNeighbors*>(&C);
  if (!Knn) return false;
  Knn->Classify(D, F);
  if (Knn->Neighbors().empty()) return false;
  const double Farthest = Knn->Neighbors().back().Distance;
  size_t Within = 0;
  for (int32_t I = 0; I < Knn->ExampleCount(); ++I) {
    const TExampleRecord& E = Knn->Examples()[static_cast<size_t>(I)];
    Within += Knn->Distance(E.DiscreteValues, E.FloatValues, D, F) <= Farthest;
  }
  return Within > Knn->Neighbors().size();
}

void UseTwoWorkers(TPgConnection& Db, const TSqlTable& T) {
  Db.Exec("SET max_parallel_workers_per_gather = 2; SET parallel_setup_cost = 0; SET parallel_tuple_cost = 0;"
          "SET min_parallel_table_scan_size = 0; SET parallel_leader_participation = off");
  Db.Exec("ALTER TABLE " + T.SqlName + " SET (parallel_workers = 2)");
}

std::vector<int32_t> SeenCounts(const TDiscreteRecord& R) {
  std::vector<int32_t> Counts = R.Counts;
  while (!Counts.empty() && Counts.back() == 0) Counts.pop_back();
  return Counts;
}

int32_t CountAt(const TDiscreteRecord& R, int32_t Value) {
  return Value >= 0 && Value < static_cast<int32_t>(R.Counts.size()) ? R.Counts[static_cast<size_t>(Value)] : 0;
}

// Largest relative difference of the float means and deviations; every
// discrete statistic and count must be equal. Classes are matched by name.
double CompareStatistics(const TStatisticClassifier& Seq, const TStatisticClassifier& Par) {
  double Worst = 0.0;
  EXPECT_EQ(Seq.ClassCount(), Par.ClassCount());
  for (int32_t I = 0; I < Seq.ClassCount(); ++I) {
    const int32_t J = Par.ClassIndex(Seq.ClassName(I));
    EXPECT_GE(J, 0) << Seq.ClassName(I);
    if (J < 0) continue;
    const TClassesListItem& A = *Seq.Classes()->GetData(I);
    const TClassesListItem& B = *Par.Classes()->GetData(J);
    EXPECT_EQ(A.Discrete().size(), B.Discrete().size());
    for (size_t K = 0; K < std::min(A.Discrete().size(), B.Discrete().size()); ++K) {
      const TDiscreteRecord &X = A.Discrete()[K], &Y = B.Discrete()[K];
      // Counts past the last value seen are zeros whose number depends on
      // how the array grew; the mode of tied counts depends on the order
      // the rows came in, which the workers do not keep.
      const std::vector<int32_t> Cx = SeenCounts(X), Cy = SeenCounts(Y);
      EXPECT_EQ(std::tie(Cx, X.ValueCount, X.Count), std::tie(Cy, Y.ValueCount, Y.Count))
          << "class " << Seq.ClassName(I) << ", discrete attribute " << K;
      EXPECT_EQ(CountAt(X, X.Mode), CountAt(X, Y.Mode)) << "the modes have the same count";
    }
    EXPECT_EQ(A.Float().size(), B.Float().size());
    for (size_t K = 0; K < std::min(A.Float().size(), B.Float().size()); ++K) {
      const TFloatRecord &X = A.Float()[K], &Y = B.Float()[K];
      EXPECT_EQ(X.Count, Y.Count) << "class " << Seq.ClassName(I) << ", float attribute " << K;
      for (const auto& [U, V] : {std::pair{X.Mean, Y.Mean}, std::pair{X.StdDev, Y.StdDev}})
        if (U != V) Worst = std::max(Worst, std::abs(U - V) / std::max(std::abs(U), std::abs(V)));
    }
  }
  return Worst;
}

// The stored examples as (class name, values) in a fixed order.
using TNamedExample = std::tuple<std::string, std::vector<int32_t>, std::vector<double>>;
std::vector<TNamedExample> NamedExamples(const TKNearestNeighbors& C) {
  std::vector<TNamedExample> Result;
  for (const TExampleRecord& E : C.Examples())
    Result.emplace_back(C.ClassName(E.ClassIndex), E.DiscreteValues, E.FloatValues);
  std::sort(Result.begin(), Result.end());
  return Result;
}

}  // namespace

// No parallel workers: the aggregate writes the bytes `pellory train`
// writes, and pellory_classify guesses what `pellory classify` guesses, row
// for row, for every sample table and kind.
TEST_F(PelloryLearnSql, LearnsAndClassifiesAsTheTool) {
  Sql().Exec("SET max_parallel_workers_per_gather = 0");
  for (const TSqlTable& T : LoadSampleTables(Sql())) {
    for (const std::string Kind : Kinds) {
      SCOPED_TRACE(T.Name + " " + Kind);
      const std::vector<uint8_t> Model = Sql().Bytes(T.LearnSql(Kind));
      EXPECT_EQ(Model, ToolModel(T, Kind));
      const std::vector<std::string> Guesses =
          Sql().Column("SELECT pellory_classify(m.pellory_learn, " + T.DiscreteSql + ", " + T.FloatSql + ") FROM " +
                       T.SqlName + ", (" + T.LearnSql(Kind) + ") AS m ORDER BY \"ID\"");
      EXPECT_EQ(Guesses, ToolGuesses(T, Model));
    }
  }
}

// Two workers and no leader: every row reaches the leader as a serialized
// partial state, and the merged model equals the sequential one class by
// class; the guesses differ at exact ties only (equal responses, or for
// k-NN an example as far as the farthest neighbour).
TEST_F(PelloryLearnSql, ParallelWorkersLearnShardsThatMerge) {
  double Worst = 0.0;
  std::map<std::string, std::pair<int32_t, int32_t>> Differing;  // kind: guesses that differ, at exact ties
  for (const TSqlTable& T : LoadSampleTables(Sql())) {
    for (const std::string Kind : Kinds) {
      SCOPED_TRACE(T.Name + " " + Kind);
      Sql().Exec("SET max_parallel_workers_per_gather = 0");
      const std::vector<uint8_t> Sequential = Sql().Bytes(T.LearnSql(Kind));
      UseTwoWorkers(Sql(), T);
      const std::string Plan = Sql().Text("EXPLAIN (COSTS OFF) " + T.LearnSql(Kind));
      const size_t Finalize = Plan.find("Finalize Aggregate"), Gather = Plan.find("Gather"),
                   Partial = Plan.find("Partial Aggregate");
      ASSERT_TRUE(Finalize < Gather && Gather < Partial && Partial != std::string::npos) << Plan;
      const std::string Run = Sql().Text("EXPLAIN (ANALYZE, COSTS OFF, TIMING OFF, SUMMARY OFF) " + T.LearnSql(Kind));
      EXPECT_EQ(Run.find("Workers Launched: 0"), std::string::npos) << Run;
      const std::vector<uint8_t> Parallel = Sql().Bytes(T.LearnSql(Kind));

      const std::unique_ptr<TClassifier> Seq = LoadModel(Sequential), Par = LoadModel(Parallel);
      if (auto* S = dynamic_cast<TStatisticClassifier*>(Seq.get())) {
        const double D = CompareStatistics(*S, dynamic_cast<TStatisticClassifier&>(*Par));
        EXPECT_TRUE(Kind == "lc" || D == 0.0) << "naive Bayes learns no floats";
        Worst = std::max(Worst, D);
      } else {
        EXPECT_EQ(NamedExamples(dynamic_cast<TKNearestNeighbors&>(*Seq)),
                  NamedExamples(dynamic_cast<TKNearestNeighbors&>(*Par)));
        // k-NN guesses over the one large table cost seconds and show nothing
        // that its equal examples and the smaller tables do not.
        if (T.Name == TCrossTestLimits::UnprunedTable) continue;
      }

      Sql().Exec("SET max_parallel_workers_per_gather = 0");
      // Responses and records only where the guesses differ (OFFSET 0 keeps
      // each guess computed once).
      const TPgResult R = Sql().Exec(
          "SELECT a, b, CASE WHEN a <> b THEN pellory_responses(" + Hex(Sequential) + ", d, f) END,"
          " CASE WHEN a <> b THEN pellory_responses(" + Hex(Parallel) + ", d, f) END,"
          " CASE WHEN a <> b THEN d::text END, CASE WHEN a <> b THEN f::text END FROM (SELECT pellory_classify(" +
          Hex(Sequential) + ", d, f) AS a, pellory_classify(" + Hex(Parallel) + ", d, f) AS b, d, f, \"ID\" FROM (SELECT " +
          T.DiscreteSql + " AS d, " + T.FloatSql + " AS f, \"ID\" FROM " + T.SqlName +
          ") AS r OFFSET 0) AS g ORDER BY \"ID\"");
      for (int I = 0; I < PQntuples(R.get()); ++I) {
        const std::string A = PQgetvalue(R.get(), I, 0), B = PQgetvalue(R.get(), I, 1);
        if (A == B) continue;
        ++Differing[Kind].first;
        const int32_t Ia = Seq->ClassIndex(A), Ib = Seq->ClassIndex(B);
        const auto Rs = ParseArray<double>(PQgetvalue(R.get(), I, 2)), Rp = ParseArray<double>(PQgetvalue(R.get(), I, 3));
        const auto D = ParseArray<int32_t>(PQgetvalue(R.get(), I, 4), Seq->MissingDiscreteIndex());
        const auto F = ParseArray<double>(PQgetvalue(R.get(), I, 5), Seq->MissingFloat());
        const bool Tie = (Ia >= 0 && Ib >= 0 && (Rs[Ia] == Rs[Ib] || Rp[Ia] == Rp[Ib])) ||
                         NeighbourTie(*Seq, D, F) || NeighbourTie(*Par, D, F);
        Differing[Kind].second += Tie;
        EXPECT_TRUE(Tie) << "row " << I + 1 << ": " << A << " against " << B;
      }
    }
  }
  std::cout << "largest relative difference of linear means and deviations: " << Worst << "\n";
  for (const std::string Kind : Kinds)
    std::cout << Kind << ": " << Differing[Kind].first << " guesses differ, " << Differing[Kind].second
              << " of them at exact ties\n";
  EXPECT_LE(Worst, 1e-13);  // the bound the engine's merge states
}

// Each bad value raises an error that names what is wrong, and the
// connection goes on working. Partial states that disagree meet in the
// combine function through a partitioned table aggregated partition by
// partition; through parallel workers either a worker or the merge meets
// them first.
TEST_F(PelloryLearnSql, BadValuesRaiseErrorsThatNameThem) {
  Sql().Exec("CREATE TABLE e AS SELECT i, i % 2 AS c, ARRAY[i % 3]::int4[] AS d, ARRAY[i * 0.5]::float8[] AS f"
             " FROM generate_series(1, 20000) i");
  Sql().Exec("CREATE TABLE p (k int, c int, d int4[], f float8[]) PARTITION BY LIST (k);"
             "CREATE TABLE p1 PARTITION OF p FOR VALUES IN (1); CREATE TABLE p2 PARTITION OF p FOR VALUES IN (2);"
             "INSERT INTO p SELECT k, i % 2, array_fill(i % 3, ARRAY[k]), ARRAY[i * 0.5]"
             " FROM generate_series(1, 100) AS i, generate_series(1, 2) AS k; ANALYZE p;"
             "SET enable_partitionwise_aggregate = on");
  ASSERT_NE(Sql().Text("EXPLAIN (COSTS OFF) SELECT pellory_learn('nb', c, d, f) FROM p").find("Partial Aggregate"),
            std::string::npos);
  const std::string Model = "(SELECT pellory_learn('lc', c, d, f) FROM e)";
  const struct {
    std::string Sql;
    std::string Message;
  } Cases[] = {
      {"SELECT pellory_learn('svm', c, d, f) FROM e", "pellory_learn: kind 'svm' is not one of lc, nb, knn"},
      {"SELECT pellory_learn('nb', c, d, f, 'K=3') FROM e", "pellory_learn: setting 'K' applies to knn only, not nb"},
      {"SELECT pellory_learn('lc', c, CASE WHEN i = 7 THEN ARRAY[1, 2] ELSE d END, f) FROM e",
       "pellory_learn: discrete has 2 elements in this row, the first row had 1"},
      {"SELECT pellory_learn('lc', c - 1, d, f) FROM e", "pellory_learn: class code -1 is outside 0..16777215"},
      {"SELECT pellory_learn(CASE WHEN i = 9 THEN 'nb' ELSE 'lc' END, c, d, f) FROM e",
       "pellory_learn: kind changed from 'lc' to 'nb' in a later row; one aggregate learns one kind"},
      {"SELECT pellory_learn('knn', c, d, f, 'K=' || (i / 10 + 1)) FROM e",
       "pellory_learn: settings changed from 'K=1' to 'K=2' in a later row"},
      {"SELECT pellory_learn('lc', c::text, ARRAY[[1]], f) FROM e", "pellory_learn: discrete has 2 dimensions, not one"},
      {"SELECT pellory_learn('lc', NULL::text, d, f) FROM e", "pellory_learn: class is NULL"},
      {"SELECT pellory_classify('\\x0102', d, f) FROM e", "pellory_classify: the model is not a model stream"},
      {"SELECT pellory_responses(" + Model + ", ARRAY[1, 2], f) FROM e",
       "pellory_responses: discrete has 2 elements, the model has 1 discrete attributes"},
      {"SELECT pellory_learn('nb', c, d, f) FROM p",
       "pellory_learn: partial states of different shapes meet: one learned rows of 1 discrete and 1 float values, "
       "the other of 2 and 1"},
      {"SELECT pellory_learn(CASE k WHEN 1 THEN 'lc' ELSE 'nb' END, c, ARRAY[1], f) FROM p",
       "pellory_learn: partial states of different kinds meet: 'lc' and 'nb'"},
      {"SELECT pellory_learn('knn', c, ARRAY[1], f, 'K=' || k) FROM p",
       "pellory_learn: partial states with different settings meet: 'K=1' and 'K=2'"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(Sql().ErrorOf(C.Sql).substr(0, C.Message.size()), C.Message) << C.Sql;
    EXPECT_EQ(Sql().Column("SELECT 1"), std::vector<std::string>{"1"});
  }
  TSqlTable E;
  E.SqlName = "e";
  UseTwoWorkers(Sql(), E);
  const std::string Shards = Sql().ErrorOf(
      "SELECT pellory_learn('nb', c, CASE WHEN i > 10000 THEN ARRAY[1, 2] ELSE d END, f) FROM e");
  EXPECT_NE(Shards.find("discrete"), std::string::npos) << Shards;
  EXPECT_EQ(Sql().Column("SELECT 1"), std::vector<std::string>{"1"});
}
