// What the importer does with a dataset that was read, minus the file: the
// layout is fixed and every row goes to a writer that checks each cell
// against its field as the table writers do, and keeps nothing.
#pragma once

#include <cstdlib>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "FuzzSupport.h"
#include "SampleImporter.h"
#include "TableWriter.h"

namespace fuzz {

class TCheckingWriter final : public TTableWriter {
public:
  explicit TCheckingWriter(const std::vector<TFieldDef>& Fields) : FFields(Fields) {}
  void AppendRow(std::span<const TFieldValue> Values) override {
    if (Values.size() != FFields.size()) std::abort();
    for (size_t i = 0; i < Values.size(); ++i) {
      if (const auto* Text = std::get_if<std::string>(&Values[i]))
        if (FFields[i].DataType == ftString && static_cast<int32_t>(Text->size()) > FFields[i].Size) std::abort();
    }
  }
  void Close() override {}

private:
  const std::vector<TFieldDef>& FFields;
};

inline void ImportInto(const TSourceDataset& Source) {
  Refused([&] {
    TSampleImporter Importer(Source);
    TCheckingWriter Writer(Importer.Fields());
    Importer.WriteTo(Writer, "FUZZ");
  });
}

}  // namespace fuzz
