// Command table, help texts and error reporting of `pellory`.
#include "PelloryTool.h"

#include <functional>
#include <vector>

#include "Arguments.h"
#include "Commands.h"

namespace {

const char* const SourceHelp =
    "Data source (one of):\n"
    "  --data DIR       a folder of Paradox tables (default: Data beside the program)\n"
    "  --sqlite FILE    a SQLite database file\n";

struct TCommand {
  TCommandSyntax Syntax;
  std::function<int(const TArguments&, TToolIO&)> Run;
};

std::vector<TOptionSpec> WithSource(std::vector<TOptionSpec> Options) {
  Options.push_back({"data", true});
  Options.push_back({"sqlite", true});
  return Options;
}

const std::vector<TCommand>& CommandTable() {
  static const std::vector<TCommand> Table = {
      {{"tables",
        std::string("usage: pellory tables [--data DIR | --sqlite FILE]\n"
                    "Lists the tables of the data source, one name a line.\n\n") + SourceHelp,
        WithSource({}), 0, 0},
       TablesCommand},
      {{"fields",
        std::string("usage: pellory fields TABLE [--data DIR | --sqlite FILE]\n"
                    "One line per field of TABLE: its name, a TAB, its type (ftSmallint, ftFloat, ...).\n\n") +
            SourceHelp,
        WithSource({}), 1, 1},
       FieldsCommand},
      {{"export",
        std::string("usage: pellory export TABLE [--data DIR | --sqlite FILE]\n"
                    "Writes TABLE as CSV to standard output: a header of field names, one row per\n"
                    "record in table order, null as an empty cell, floats in shortest round-trip\n"
                    "form, text quoted when it holds a comma, a quote or a line break.\n\n") +
            SourceHelp,
        WithSource({}), 1, 1},
       ExportCommand},
      {{"import",
        std::string("usage: pellory import FILE.arff|FILE.csv TABLE [--class NAME] [--data DIR | --sqlite FILE]\n"
                    "Turns a dataset file into a table of the sample layout (ID, Class, Value,\n"
                    "Split0..Split31, then the attributes) in the data source. A table of that\n"
                    "name is replaced. Prints renamed fields and values that read as missing.\n"
                    "  --class NAME     the class attribute (default: the last one)\n\n") +
            SourceHelp,
        WithSource({{"class", true}}), 2, 2},
       ImportCommand},
      {{"crosstest",
        std::string("usage: pellory crosstest [--runs N] [--k K] [--prune] [--tables A,B] [--data DIR | --sqlite FILE]\n"
                    "Cross test of the linear classifier, naive Bayes and k-nearest neighbours over\n"
                    "the split tables of the data source (\"Test1.DB\" is skipped). Prints the\n"
                    "result grid TAB-separated: headings, one line per table, the time row.\n"
                    "  --runs N         splits per table, 1 to 30 (default 1: learn and test all rows)\n"
                    "  --k K            neighbours of k-NN, 1 to 50 (default 10)\n"
                    "  --prune          prune the attributes of each table first (not \"SATI.DB\")\n"
                    "  --tables A,B     only these tables\n\n") +
            SourceHelp,
        WithSource({{"runs", true}, {"k", true}, {"prune", false}, {"tables", true}}), 0, 0},
       CrossTestCommand},
      {{"train",
        std::string("usage: pellory train TABLE --classifier lc|nb|knn [--k K] --model FILE [--data DIR | --sqlite FILE]\n"
                    "Learns every row of TABLE (class field \"Class\") and saves the model to FILE.\n"
                    "  --classifier     lc (linear), nb (naive Bayes) or knn (k-nearest neighbours)\n"
                    "  --k K            neighbours of k-NN, 1 to 50 (default 10)\n"
                    "  --model FILE     the model file to write\n\n") +
            SourceHelp,
        WithSource({{"classifier", true}, {"k", true}, {"model", true}}), 1, 1},
       TrainCommand},
      {{"classify",
        std::string("usage: pellory classify TABLE --model FILE [--data DIR | --sqlite FILE]\n"
                    "Loads the model and prints, per row of TABLE, its ID, the guessed class and the\n"
                    "actual class (TAB-separated), then the percentage guessed right.\n\n") +
            SourceHelp,
        WithSource({{"model", true}}), 1, 1},
       ClassifyCommand},
      {{"bench",
        "usage: pellory bench [--classes 20] [--discrete 15] [--float 15] [--learn 200000] [--test 20000]\n"
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
      "  bench            speed of the linear classifier on synthetic cases\n\n"
      "'pellory COMMAND --help' describes a command.\n";
  return Text;
}

}  // namespace

int RunPellory(std::span<const std::string> Args, TToolIO& IO) {
  if (Args.empty()) {
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
