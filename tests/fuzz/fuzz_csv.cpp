// CSV files: read (the class is the last column, or the one the first line
// of the input names when it starts with "#class "), then import it.
#include <sstream>

#include "CsvReader.h"
#include "FuzzSupport.h"
#include "ImportSink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::string_view Text = fuzz::AsText(Data, Size);
  std::string ClassName;
  if (Text.starts_with("#class ")) {
    const size_t End = Text.find('\n');
    ClassName = std::string(Text.substr(7, End == std::string_view::npos ? std::string_view::npos : End - 7));
    Text = End == std::string_view::npos ? std::string_view() : Text.substr(End + 1);
  }
  std::istringstream In{std::string(Text)};
  TSourceDataset Source;
  if (fuzz::Refused([&] { Source = TCsvReader("fuzz.csv", ClassName).Read(In); })) return 0;
  fuzz::ImportInto(Source);
  return 0;
}
