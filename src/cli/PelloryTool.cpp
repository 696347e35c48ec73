// Command table, help texts and error reporting of `pellory`.
#include "PelloryTool.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "Arguments.h"
#include "Benchmark.h"
#include "Commands.h"
#include "CrossTest.h"
#include "SampleDatabase.h"

namespace {

const char* const SourceHelp =
    "Data source (one of):\n"
    "  --data DIR       a folder of Paradox tables (default: Data beside the program)\n"
    "  --sqlite FILE    a SQLite database file\n"
    "  --pg CONNINFO    a PostgreSQL database (\"host=/run/postgresql dbname=shop\",\n"
    "                   \"postgresql://user@host/db\")\n";

struct TCommand {
  TCommandSyntax Syntax;
  std::function<int(const TArguments&, TToolIO&)> Run;
};

const char* const SourceOptions[] = {"data", "sqlite", "pg"};

std::vector<TOptionSpec> WithSource(std::vector<TOptionSpec> Options) {
  for (const char* Name : SourceOptions) Options.push_back({Name, true});
  return Options;
}

// The number of leading words of Args that are data-source options with
// their values ("--data DIR", "--sqlite=FILE"), which may stand before the
// command as well as after it.
size_t LeadingSourceWords(std::span<const std::string> Args) {
  size_t I = 0;
  while (I < Args.size()) {
    bool Matched = false;
    for (const char* Name : SourceOptions) {
      const std::string Option = std::string("--") + Name;
      if (Args[I] == Option) {
        I = std::min(I + 2, Args.size());
        Matched = true;
      } else if (Args[I].rfind(Option + "=", 0) == 0) {
        ++I;
        Matched = true;
      }
      if (Matched) break;
    }
    if (!Matched) break;
  }
  return I;
}

std::string N(int32_t Value) { return std::to_string(Value); }
std::string Range(int32_t Min, int32_t Max) { return N(Min) + " to " + N(Max); }

const std::vector<TCommand>& CommandTable() {
  using L = TCrossTestLimits;
  using D = TBenchmarkDefaults;
  const std::string NeighborsHelp = "  --k K            neighbours of k-NN, " + Range(L::MinNeighbors, L::MaxNeighbors) +
                                    " (default " + N(L::DefaultNeighbors) + ")\n";
  static const std::vector<TCommand> Table = {
      {{"tables",
        std::string("usage: pellory tables [--data DIR | --sqlite FILE | --pg CONNINFO]\n"
                    "Lists the tables of the data source, one name a line.\n\n") + SourceHelp,
        WithSource({}), 0, 0},
       TablesCommand},
      {{"fields",
        std::string("usage: pellory fields TABLE [--data DIR | --sqlite FILE | --pg CONNINFO]\n"
                    "One line per field of TABLE: its name, a TAB, its type (ftSmallint, ftFloat, ...).\n\n") +
            SourceHelp,
        WithSource({}), 1, 1},
       FieldsCommand},
      {{"export",
        std::string("usage: pellory export TABLE [--data DIR | --sqlite FILE | --pg CONNINFO]\n"
                    "Writes TABLE as CSV to standard output: a header of field names, one row per\n"
                    "record in table order, null as an empty cell, floats in shortest round-trip\n"
                    "form, text quoted when it holds a comma, a quote or a line break.\n\n") +
            SourceHelp,
        WithSource({}), 1, 1},
       ExportCommand},
      {{"import",
        std::string("usage: pellory import FILE.arff|FILE.csv TABLE [--class NAME] [--data DIR | --sqlite FILE | --pg CONNINFO]\n"
                    "Turns a dataset file into a table of the sample layout (ID, Class, Value,\n"
                    "Split0..Split31, then the attributes) in the data source. A table of that\n"
                    "name is replaced. Prints renamed fields and values that read as missing.\n"
                    "  --class NAME     the class attribute (default: the last one)\n"
                    "pellory import --sample (--sqlite FILE | --pg CONNINFO) copies the sample tables\n"
                    "(Data beside the program) into the database, named without \".DB\".\n\n") +
            SourceHelp,
        WithSource({{"class", true}, {"sample", false}}), 0, 2},
       ImportCommand},
      {{"crosstest",
        std::string("usage: pellory crosstest [--runs N] [--k K] [--prune] [--tables A,B] [--data DIR | --sqlite FILE | --pg CONNINFO]\n"
                    "Cross test of the linear classifier, naive Bayes and k-nearest neighbours over\n"
                    "the split tables of the data source (\"") + L::SkippedTable + "\" is skipped). Prints the\n"
            "result grid TAB-separated: headings, one line per table, the time row.\n"
            "Tables without the class and split fields are skipped and named on\n"
            "standard error, unless --tables names them.\n" +
            "  --runs N         splits per table, " + Range(L::MinRuns, L::MaxRuns) + " (default " +
            N(L::DefaultRuns) + ": learn and test all rows)\n" + NeighborsHelp +
            "  --prune          prune the attributes of each table first (not \"" + L::UnprunedTable + "\")\n" +
            "  --tables A,B     only these tables\n\n" +
            SourceHelp,
        WithSource({{"runs", true}, {"k", true}, {"prune", false}, {"tables", true}}), 0, 0},
       CrossTestCommand},
      {{"train",
        std::string("usage: pellory train TABLE --classifier lc|nb|knn [--k K] --model FILE [--threads N]\n"
                    "                     [--data DIR | --sqlite FILE | --pg CONNINFO]\n"
                    "Learns every row of TABLE (class field \"Class\") and saves the model to FILE.\n"
                    "  --classifier     lc (linear), nb (naive Bayes) or knn (k-nearest neighbours)\n") +
            NeighborsHelp + "  --model FILE     the model file to write\n" +
            "  --threads N      learn on N threads, 1 to " + N(MaxClassifyThreads) +
            " (default 1): each learns a range of rows,\n"
            "                   the ranges are merged in row order. nb and knn write the same\n"
            "                   file at any N; lc means and deviations may differ in their last bits\n\n" +
            SourceHelp,
        WithSource({{"classifier", true}, {"k", true}, {"model", true}, {"threads", true}}), 1, 1},
       TrainCommand},
      {{"merge",
        std::string("usage: pellory merge OUT.model IN1.model IN2.model ...\n"
                    "Merges model files of one kind, in the order given, into OUT.model: the model\n"
                    "learning IN1's rows and then IN2's ... would give. A model file keeps no\n"
                    "learned-case counts, so the class priors of the merged model are those of\n"
                    "loaded models (every class equally likely), not those of learning.\n"),
        {}, 3, 1000},
       MergeCommand},
      {{"classify",
        std::string("usage: pellory classify TABLE --model FILE [--threads N] [--data DIR | --sqlite FILE | --pg CONNINFO]\n"
                    "Loads the model and prints, per row of TABLE, its ID, the guessed class and the\n"
                    "actual class (TAB-separated), then the percentage guessed right.\n") +
            "  --threads N      classify on N threads, 1 to " + N(MaxClassifyThreads) +
            " (default 1); the output is the same\n\n" + SourceHelp,
        WithSource({{"model", true}, {"threads", true}}), 1, 1},
       ClassifyCommand},
      {{"bench",
        "usage: pellory bench [--classes " + N(D::Classes) + "] [--discrete " + N(D::DiscreteAttributes) +
            "] [--float " + N(D::FloatAttributes) + "] [--learn " + N(D::LearnCases) + "] [--test " +
            N(D::TestCases) +
            "]\n"
            "Measures how fast the linear classifier learns and classifies synthetic cases.\n"
        "  --classes N      number of classes, at least 1\n"
        "  --discrete N     number of discrete attributes\n"
        "  --float N        number of float attributes\n"
        "  --learn N        learning cases\n"
        "  --test N         cases to classify\n",
        {{"classes", true}, {"discrete", true}, {"float", true}, {"learn", true}, {"test", true}}, 0, 0},
       BenchCommand},
  };
  return Table;
}

std::string ToolUsage() {
  std::string Text =
      "usage: pellory COMMAND [ARGUMENTS] [OPTIONS]\n"
      "Incremental classifiers over tables, from the command line.\n\n"
      "Commands:\n"
      "  tables           list the tables\n"
      "  fields TABLE     list the fields of a table with their types\n"
      "  export TABLE     write a table as CSV\n"
      "  import FILE TABLE  turn an ARFF or CSV file into a sample table\n"
      "  crosstest        cross test of the three classifiers over the tables\n"
      "  train TABLE      learn a table and save the model\n"
      "  classify TABLE   classify a table with a saved model\n"
      "  merge OUT IN...  merge model files of one kind\n"
      "  bench            speed of the linear classifier on synthetic cases\n\n"
      "'pellory COMMAND --help' describes a command. The data-source options\n"
      "(--data DIR, --sqlite FILE, --pg CONNINFO) may also stand before the command.\n";
  return Text;
}

}  // namespace

std::unique_ptr<TDataSource> OpenDataSource(const TArguments& Args, const TToolIO& IO) {
  if (Args.Has("data") + Args.Has("sqlite") + Args.Has("pg") > 1)
    throw TUsageError(Args.Command() + ": give either --data or --sqlite or --pg, only one of them");
  if (Args.Has("pg")) return std::make_unique<TDataSource>(Args.Required("pg", "CONNINFO"), TDataSourceKind::dkPostgres);
  if (Args.Has("sqlite")) return std::make_unique<TDataSource>(Args.Required("sqlite", "FILE"), true);
  if (Args.Has("data")) return std::make_unique<TDataSource>(Args.Required("data", "DIR"), false);
  return std::make_unique<TDataSource>(SampleDataFolder(IO.ProgramFolder), false);
}

int RunPellory(std::span<const std::string> AllArgs, TToolIO& IO) {
  // Source options before the command join the command's own options.
  const size_t Lead = LeadingSourceWords(AllArgs);
  std::vector<std::string> Words(AllArgs.begin() + static_cast<std::ptrdiff_t>(Lead), AllArgs.end());
  Words.insert(Words.end(), AllArgs.begin(), AllArgs.begin() + static_cast<std::ptrdiff_t>(Lead));
  const std::span<const std::string> Args(Words);
  if (Args.empty() || Lead == Args.size()) {
    IO.Err << ToolUsage();
    return 2;
  }
  const std::string& Word = Args[0];
  if (Word == "--help" || Word == "-h" || Word == "help") {
    IO.Out << ToolUsage();
    return 0;
  }
  const TCommand* Command = nullptr;
  for (const TCommand& C : CommandTable())
    if (C.Syntax.Name == Word) Command = &C;
  if (!Command) {
    IO.Err << "pellory: unknown command '" << Word << "' (see 'pellory --help')\n";
    return 2;
  }
  try {
    const TArguments Parsed(Command->Syntax, Args.subspan(1));
    if (Parsed.Help()) {
      IO.Out << Command->Syntax.Usage;
      return 0;
    }
    return Command->Run(Parsed, IO);
  } catch (const TUsageError& Error) {
    IO.Err << "pellory " << Error.what() << "\n";
    return 2;
  } catch (const std::exception& Error) {
    IO.Out.flush();
    IO.Err << "pellory " << Word << ": " << Error.what() << "\n";
    return 1;
  }
}
