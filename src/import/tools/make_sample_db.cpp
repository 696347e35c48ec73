// Build tool: turns one dataset file into one Paradox table of the sample
// layout. The build runs it once per table of Data/; it prints one line per
// table and every warning, so a 999 that the table will read as missing
// shows up in the build log.
//
//   make_sample_db INPUT.arff|INPUT.csv OUTPUT.DB [--class NAME]
#include <filesystem>
#include <iostream>
#include <string>

#include "Exceptions.h"
#include "SampleImporter.h"

namespace {

int Usage() {
  std::cerr << "usage: make_sample_db INPUT.arff|INPUT.csv OUTPUT.DB [--class NAME]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string Input, Output, ClassName;
  for (int i = 1; i < argc; ++i) {
    const std::string Arg = argv[i];
    if (Arg == "--class") {
      if (++i >= argc) return Usage();
      ClassName = argv[i];
    } else if (Arg == "--help" || Arg == "-h") {
      Usage();
      return 0;
    } else if (Input.empty()) {
      Input = Arg;
    } else if (Output.empty()) {
      Output = Arg;
    } else {
      return Usage();
    }
  }
  if (Input.empty() || Output.empty()) return Usage();
  try {
    const TSourceDataset Source = ReadSourceFile(Input, ClassName);
    const TSampleImporter Importer(Source);
    const std::filesystem::path Parent = std::filesystem::path(Output).parent_path();
    if (!Parent.empty()) std::filesystem::create_directories(Parent);
    const TImportResult Result = Importer.WriteParadox(Output);
    std::cout << std::filesystem::path(Output).filename().string() << ": " << Result.Rows << " rows, "
              << Result.ClassValues.size() << " classes, " << Result.Fields.size() << " fields from "
              << std::filesystem::path(Input).filename().string() << "\n";
    // A build log needs the gist, not 36 lines of x.1 -> x_1.
    constexpr size_t Shown = 4;
    for (size_t i = 0; i < Result.Renamed.size() && i < Shown; ++i)
      std::cout << "  field \"" << Result.Renamed[i].FieldName << "\" holds attribute '"
                << Result.Renamed[i].Attribute << "'\n";
    if (Result.Renamed.size() > Shown)
      std::cout << "  ... and " << Result.Renamed.size() - Shown << " more renamed fields\n";
    for (const std::string& Warning : Result.Warnings) std::cout << "  warning: " << Warning << "\n";
    return 0;
  } catch (const std::exception& Error) {
    std::cerr << "make_sample_db: " << Error.what() << "\n";
    return 1;
  }
}
