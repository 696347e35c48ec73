// ARFF files: read, then lay the dataset out as the importer does and write
// every row to a writer that checks each cell against its field.
#include <sstream>

#include "ArffReader.h"
#include "FuzzSupport.h"
#include "ImportSink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::istringstream In{std::string(fuzz::AsText(Data, Size))};
  TSourceDataset Source;
  if (fuzz::Refused([&] { Source = TArffReader("fuzz.arff").Read(In); })) return 0;
  fuzz::ImportInto(Source);
  return 0;
}
