// Writing the sample layout. All checks run in the constructor, so a table
// is only created for a dataset that fits; writing itself fails only on I/O.
#include "SampleImporter.h"

#include <algorithm>
#include <filesystem>

#include "ArffReader.h"
#include "Convert.h"
#include "CsvReader.h"
#include "Exceptions.h"
#include "FieldNameMap.h"
#include "FileReplace.h"
#include "SampleLayout.h"

namespace {

constexpr size_t FixedFields = 3 + TSampleLayout::SplitCount;  // ID, Class, Value, splits

std::string Quote(const std::string& Text) { return "'" + Text + "'"; }

}  // namespace

TSampleImporter::TSampleImporter(const TSourceDataset& Source)
    : TSampleImporter(std::make_unique<TDatasetRows>(Source)) {}

TSampleImporter::TSampleImporter(TSourceRows& Source) : FRows(Source), FSource(Source.Header()) { Check(); }

TSampleImporter::TSampleImporter(std::unique_ptr<TSourceRows> Owned)
    : FOwnedRows(std::move(Owned)), FRows(*FOwnedRows), FSource(FRows.Header()) {
  Check();
}

void TSampleImporter::Check() {
  const TSourceDataset& Source = FSource;
  const std::string& File = Source.FileName;
  auto Fail = [&File](int32_t Line, const std::string& What) {
    throw Exception(File + ":" + std::to_string(Line) + ": " + What);
  };
  if (Source.ClassIndex < 0 || static_cast<size_t>(Source.ClassIndex) >= Source.Attributes.size())
    throw Exception(File + ": no class attribute");
  const TSourceAttribute& Class = Source.Attributes[static_cast<size_t>(Source.ClassIndex)];
  if (!Class.Nominal)
    Fail(Class.Line, "the class attribute " + Quote(Class.Name) +
                         " is numeric; a sample table needs a nominal class");

  FFields = {{TSampleLayout::IdField, ftInteger, 0},
             {TSampleLayout::ClassField, ftSmallint, 0},
             {TSampleLayout::ValueField, ftFloat, 0}};
  for (int32_t s = 0; s < TSampleLayout::SplitCount; ++s)
    FFields.push_back({TSampleLayout::SplitField(s), ftSmallint, 0});

  TFieldNameMap Names(TSampleLayout::LayoutFields());
  for (size_t i = 0; i < Source.Attributes.size(); ++i) {
    const TSourceAttribute& Attribute = Source.Attributes[i];
    if (Attribute.Nominal && Attribute.Values.size() >= static_cast<size_t>(MissingCode))
      Fail(Attribute.Line, "attribute " + Quote(Attribute.Name) + " has " +
                               std::to_string(Attribute.Values.size()) +
                               " values; a sample table codes at most 998");
    if (i == static_cast<size_t>(Source.ClassIndex)) continue;
    const std::string Field = Names.Add(Attribute.Name, "Field" + std::to_string(i + 1));
    if (Field != Attribute.Name) FRenamed.push_back({Attribute.Name, Field});
    FFields.push_back({Field, Attribute.Nominal ? ftSmallint : ftFloat, 0});
    FAttributes.push_back(i);
  }

  const std::span<const int32_t> Codes = FRows.ClassCodes();
  const auto Missing = std::find(Codes.begin(), Codes.end(), -1);
  if (Missing != Codes.end()) {
    // Only the rows know their lines: read up to the first without a class.
    std::vector<double> Cells(Source.Attributes.size());
    int32_t Line = 0;
    FRows.Rewind();
    for (auto Row = Codes.begin(); Row <= Missing; ++Row)
      if (!FRows.Next(Cells, Line)) break;
    Fail(Line, "the class value is missing; every row of a sample table needs its class");
  }
  FSplits.emplace(Codes, static_cast<int32_t>(Class.Values.size()));
}

TImportResult TSampleImporter::WriteTo(TTableWriter& Writer, const std::string& TableName) const {
  TImportResult Result;
  Result.Table = TableName;
  Result.Rows = static_cast<int32_t>(FRows.RowCount());
  const TSourceAttribute& Class = FSource.Attributes[static_cast<size_t>(FSource.ClassIndex)];
  Result.ClassAttribute = Class.Name;
  Result.ClassValues = Class.Values;
  Result.Fields = FFields;
  Result.Renamed = FRenamed;

  std::vector<TMarkerClash> Clashes(FAttributes.size());
  std::vector<TFieldValue> Row(FFields.size());
  std::vector<double> Cells(FSource.Attributes.size());
  const std::span<const int32_t> ClassCodes = FRows.ClassCodes();
  int32_t Line = 0;
  FRows.Rewind();
  for (size_t r = 0; r < ClassCodes.size(); ++r) {
    if (!FRows.Next(Cells, Line)) throw Exception(FSource.FileName + ": the file changed while it was being read");
    const int32_t Id = static_cast<int32_t>(r) + 1;
    Row[0] = Id;
    Row[1] = ClassCodes[r] + 1;
    Row[2] = 0.0;
    for (int32_t s = 0; s < TSampleLayout::SplitCount; ++s)
      Row[3 + static_cast<size_t>(s)] = FSplits->IsTest(s, r) ? 1 : 0;
    for (size_t a = 0; a < FAttributes.size(); ++a) {
      const double Cell = Cells[FAttributes[a]];
      TFieldValue& Out = Row[FixedFields + a];
      if (FSource.Attributes[FAttributes[a]].Nominal) {
        Out = TSourceDataset::IsMissing(Cell) ? MissingCode : static_cast<int32_t>(Cell) + 1;
      } else if (TSourceDataset::IsMissing(Cell)) {
        Out = MissingFloat;
      } else {
        if (Cell == MissingFloat) {
          Clashes[a].Rows.push_back(Id);
          Clashes[a].Lines.push_back(Line);
        }
        Out = Cell;
      }
    }
    Writer.AppendRow(Row);
  }
  Writer.Close();

  for (size_t a = 0; a < FAttributes.size(); ++a) {
    if (Clashes[a].Rows.empty()) continue;
    TMarkerClash& Clash = Clashes[a];
    Clash.Attribute = FSource.Attributes[FAttributes[a]].Name;
    Clash.FieldName = FFields[FixedFields + a].Name;
    std::string Text = "attribute " + Quote(Clash.Attribute) + " holds 999, the missing-value marker, in row";
    if (Clash.Rows.size() > 1) Text += "s";
    for (size_t k = 0; k < Clash.Rows.size(); ++k) {
      Text += (k == 0 ? " " : ", ") + std::to_string(Clash.Rows[k]) + " (line " +
              std::to_string(Clash.Lines[k]) + ")";
      if (k == 9 && Clash.Rows.size() > 10) {
        Text += " and " + std::to_string(Clash.Rows.size() - 10) + " more";
        break;
      }
    }
    Text += "; the table reads it as missing";
    Result.Warnings.push_back(std::move(Text));
    Result.MarkerClashes.push_back(std::move(Clash));
  }
  return Result;
}

TImportResult TSampleImporter::WriteParadox(const std::string& FileName) const {
  TImportResult Result;
  ReplaceFile(FileName, [&](const std::string& TemporaryName) {
    std::unique_ptr<TTableWriter> Writer = CreateParadoxTable(TemporaryName, FFields);
    Result = WriteTo(*Writer, FileName);
  });
  return Result;
}

TImportResult TSampleImporter::ReplaceParadox(const std::string& FileName) const {
  const std::filesystem::path Target(FileName);
  if (Target.has_parent_path()) std::filesystem::create_directories(Target.parent_path());
  return WriteParadox(FileName);
}

TImportResult TSampleImporter::WriteSqlite(const std::string& DatabaseFile, const std::string& TableName) const {
  std::unique_ptr<TTableWriter> Writer = CreateSqliteTable(DatabaseFile, TableName, FFields);
  return WriteTo(*Writer, TableName);
}

TSourceDataset ReadSourceFile(const std::string& FileName, const std::string& ClassName) {
  const std::string Extension = std::filesystem::path(FileName).extension().string();
  if (SameText(Extension, ".csv")) return TCsvReader::ReadFile(FileName, ClassName);
  if (!SameText(Extension, ".arff"))
    throw Exception(FileName + ": unknown file kind; expected an .arff or .csv file");
  TSourceDataset Source = TArffReader::ReadFile(FileName);
  if (!ClassName.empty()) Source.SelectClass(ClassName);
  return Source;
}

std::unique_ptr<TSourceRows> OpenSourceFile(const std::string& FileName, const std::string& ClassName) {
  const std::string Extension = std::filesystem::path(FileName).extension().string();
  if (SameText(Extension, ".csv")) return TCsvRows::OpenFile(FileName, ClassName);
  if (SameText(Extension, ".arff")) return TArffRows::OpenFile(FileName, ClassName);
  return std::make_unique<TDatasetRows>(ReadSourceFile(FileName, ClassName));  // raises: unknown kind
}
