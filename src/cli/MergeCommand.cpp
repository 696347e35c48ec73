// pellory merge: model files of one kind merged into one, in the order given.
#include <memory>
#include <string>

#include "Classifier.h"
#include "Commands.h"
#include "SampleComponents.h"
#include "SampleModels.h"

int MergeCommand(const TArguments& Args, TToolIO& IO) {
  const std::vector<std::string>& Files = Args.Positionals();
  const std::string& Output = Files[0];
  const std::unique_ptr<TClassifier> Merged = LoadSampleClassifier(Files[1]);
  for (size_t I = 2; I < Files.size(); ++I) {
    const std::unique_ptr<TClassifier> Next = LoadSampleClassifier(Files[I]);
    try {
      Merged->Merge(*Next);
    } catch (const Exception& E) {
      throw Exception("'" + Files[I] + "': " + E.Message());
    }
  }
  Merged->SaveToFile(Output);
  IO.Out << Files.size() - 1 << " models of " << Merged->TypeName() << " merged: " << Merged->ClassCount()
         << " classes, " << AttributeCountText(*Merged) << "\n"
         << "model written to " << Output << "\n";
  return 0;
}
