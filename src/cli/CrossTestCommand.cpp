// pellory crosstest: the cross test over the data source, printed as a
// TAB-separated grid; progress on standard error.
#include <algorithm>
#include <chrono>

#include "Commands.h"
#include "CrossTest.h"
#include "ResultFormat.h"

namespace {

std::vector<std::string> SplitList(const std::string& Text) {
  std::vector<std::string> Items;
  size_t Start = 0;
  while (Start <= Text.size()) {
    const size_t Comma = std::min(Text.find(',', Start), Text.size());
    Items.push_back(Text.substr(Start, Comma - Start));
    Start = Comma + 1;
  }
  return Items;
}

}  // namespace

int CrossTestCommand(const TArguments& Args, TToolIO& IO) {
  using L = TCrossTestLimits;
  const int32_t Runs = Args.Integer("runs", L::MinRuns, L::MaxRuns, L::DefaultRuns);
  const int32_t K = Args.Integer("k", L::MinNeighbors, L::MaxNeighbors, L::DefaultNeighbors);
  std::vector<std::string> Wanted;
  if (Args.Has("tables")) {
    Wanted = SplitList(Args.Text("tables"));
    for (const std::string& Name : Wanted)
      if (Name.empty()) throw TUsageError("crosstest: --tables: an empty table name in '" + Args.Text("tables") + "'");
  }
  const std::unique_ptr<TDataSource> Source = OpenDataSource(Args, IO);
  Source->TableNames();  // a missing folder or file is reported with its path

  TCrossTest Test(nullptr, *Source);
  if (!Wanted.empty()) {
    std::vector<std::string> Chosen;
    for (const std::string& Name : Wanted) {
      const std::string Table = Source->ResolveTable(Name);
      if (std::find(Chosen.begin(), Chosen.end(), Table) == Chosen.end()) Chosen.push_back(Table);
    }
    Test.SetTableList(Chosen);
  }
  Test.SetRuns(Runs);
  // Tables named on the command line must fit; of the whole source, the
  // ones that do not (a database's other tables) are left out and named.
  if (Wanted.empty())
    for (const TSkippedTable& Skipped : Test.DropTablesWithoutLayout())
      IO.Err << "pellory crosstest: skipped table '" << Skipped.Table << "': " << Skipped.Reason << "\n";
  Test.SetKNeighbors(K);
  Test.SetPruning(Args.Has("prune"));

  const auto Start = std::chrono::steady_clock::now();
  const auto Elapsed = [&] {
    return FormatMinSec(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - Start).count());
  };
  Test.SetOnProgress([&](const TCrossTestProgress& P) {
    const std::string Where = P.Classifier + "  " + P.Table + " (" + std::to_string(P.TableIndex + 1) + "/" +
                              std::to_string(P.TableCount) + ")";
    if (IO.ErrIsTerminal) {
      IO.Err << "\r\033[K" << Where << "  " << (P.SplitText.empty() ? "opening" : P.SplitText) << "  " << Elapsed()
             << std::flush;
    } else if (P.Split < 0 && !P.Optimizing) {
      IO.Err << Where << "  " << Elapsed() << "\n" << std::flush;
    }
  });
  try {
    Test.Run();
  } catch (...) {
    if (IO.ErrIsTerminal) IO.Err << "\r\033[K" << std::flush;
    throw;
  }
  if (IO.ErrIsTerminal) IO.Err << "\r\033[K" << std::flush;

  IO.Out << Test.GridText();
  return 0;
}
