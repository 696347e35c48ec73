// Build tool: writes "Description.rtf", the data description page of the
// demo, from the sample tables themselves (through the dataset layer) and
// the dataset files they were made from (through the importer), so the text
// cannot drift from the data.
//
//   make_description_text OUTPUT.rtf DATA_FOLDER SOURCE_FOLDER SOURCES.md FILE.arff=TABLE.DB...
//
// SOURCES.md is the data folder's README; the second cell of its table row
// for a file names where the dataset comes from.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Convert.h"
#include "CrossTest.h"
#include "Exceptions.h"
#include "Field.h"
#include "SampleImporter.h"
#include "SampleLayout.h"
#include "Session.h"
#include "Table.h"
#include "GeneratedFile.h"
#include "TextStyle.h"

namespace {

constexpr int32_t MissingCode = TSampleLayout::MissingCode;
constexpr int32_t SplitsUsed = TCrossTestLimits::MaxRuns;  // the splits the cross test reads

struct TAttributeFacts {
  std::string Name;
  bool Discrete = false;
  int32_t Missing = 0;
};

struct TTableFacts {
  std::string Table, SourceFile, Origin, Relation, ClassAttribute;
  std::vector<std::string> ClassNames;  // code k at k - 1
  int32_t Rows = 0;
  std::map<int32_t, int32_t> ClassRows;  // code -> rows
  std::vector<TAttributeFacts> Attributes;
  int32_t RowsWithMissing = 0;
  int64_t SourceMissing = 0;  // '?' cells of the attributes in the source file
  int32_t TestMin = 0, TestMax = 0;  // test part sizes over the used splits
};

bool LayoutField(const std::string& Name) {
  static const std::vector<std::string> Names = TSampleLayout::LayoutFields();
  return std::any_of(Names.begin(), Names.end(), [&](const std::string& Layout) { return SameText(Layout, Name); });
}

// "| file.arff | origin | ..." rows of the README's table.
std::map<std::string, std::string> ReadOrigins(const std::string& FileName) {
  std::ifstream In(FileName);
  if (!In) throw Exception("cannot read " + FileName);
  std::map<std::string, std::string> Origins;
  std::string Line;
  while (std::getline(In, Line)) {
    if (!Line.starts_with("|")) continue;
    std::vector<std::string> Cells;
    std::stringstream Row(Line.substr(1));
    std::string Cell;
    while (std::getline(Row, Cell, '|')) {
      const auto Begin = Cell.find_first_not_of(' ');
      const auto End = Cell.find_last_not_of(' ');
      Cells.push_back(Begin == std::string::npos ? "" : Cell.substr(Begin, End - Begin + 1));
    }
    if (Cells.size() >= 2 && Cells[0].ends_with(".arff")) Origins[Cells[0]] = Cells[1];
  }
  return Origins;
}

TTableFacts Examine(TSession& Session, const std::string& SourceFolder, const std::string& SourceFile,
                    const std::string& TableName, const std::map<std::string, std::string>& Origins) {
  TTableFacts Facts;
  Facts.Table = TableName;
  Facts.SourceFile = SourceFile;
  const auto Origin = Origins.find(SourceFile);
  if (Origin == Origins.end()) throw Exception(SourceFile + ": no row in the sources table");
  Facts.Origin = Origin->second;

  const TSourceDataset Source = ReadSourceFile((std::filesystem::path(SourceFolder) / SourceFile).string());
  Facts.Relation = Source.Relation;
  const TSourceAttribute& ClassAttribute = Source.Attributes.at(static_cast<size_t>(Source.ClassIndex));
  Facts.ClassAttribute = ClassAttribute.Name;
  Facts.ClassNames = ClassAttribute.Values;
  for (size_t Row = 0; Row < Source.RowCount(); ++Row)
    for (size_t A = 0; A < Source.Attributes.size(); ++A)
      if (static_cast<int32_t>(A) != Source.ClassIndex && TSourceDataset::IsMissing(Source.Cell(Row, A)))
        ++Facts.SourceMissing;

  TTable Table(nullptr, &Session);
  Table.SetDatabaseName("Data");
  Table.SetTableName(TableName);
  Table.Open();
  TField* ClassField = Table.FieldByName(TSampleLayout::ClassField);
  std::vector<TField*> AttributeFields;
  std::vector<TField*> Splits;
  for (int32_t S = 0; S < SplitsUsed; ++S) Splits.push_back(Table.FieldByName(TSampleLayout::SplitField(S)));
  for (int32_t F = 0; F < Table.FieldCount(); ++F) {
    TField* Field = Table.Fields(F);
    if (LayoutField(Field->FieldName())) continue;
    AttributeFields.push_back(Field);
    Facts.Attributes.push_back({Field->FieldName(), Field->DataType() == ftSmallint, 0});
  }
  std::vector<int32_t> TestRows(SplitsUsed, 0);
  for (Table.First(); !Table.Eof(); Table.Next()) {
    ++Facts.Rows;
    ++Facts.ClassRows[ClassField->AsInteger()];
    bool AnyMissing = false;
    for (size_t A = 0; A < AttributeFields.size(); ++A) {
      const TField& Field = *AttributeFields[A];
      const bool Missing = Field.IsNull() || (Facts.Attributes[A].Discrete ? Field.AsInteger() == MissingCode
                                                                           : Field.AsFloat() == MissingCode);
      if (Missing) ++Facts.Attributes[A].Missing, AnyMissing = true;
    }
    if (AnyMissing) ++Facts.RowsWithMissing;
    for (int32_t S = 0; S < SplitsUsed; ++S)
      if (Splits[static_cast<size_t>(S)]->AsInteger() == 1) ++TestRows[static_cast<size_t>(S)];
  }
  Table.Close();
  if (static_cast<size_t>(Facts.Rows) != Source.RowCount())
    throw Exception(TableName + " has " + std::to_string(Facts.Rows) + " rows but " + SourceFile + " has " +
                    std::to_string(Source.RowCount()) + ": rebuild the sample tables");
  Facts.TestMin = *std::min_element(TestRows.begin(), TestRows.end());
  Facts.TestMax = *std::max_element(TestRows.begin(), TestRows.end());
  return Facts;
}

std::string NameList(const std::vector<std::string>& Names, size_t Shown) {
  std::string Text;
  for (size_t I = 0; I < Names.size() && I < Shown; ++I) Text += (I ? ", " : "") + Names[I];
  if (Names.size() > Shown) Text += " and " + std::to_string(Names.size() - Shown) + " more";
  return Text;
}

std::string Plural(int64_t Count, const std::string& One, const std::string& Many) {
  return std::to_string(Count) + " " + (Count == 1 ? One : Many);
}

void Describe(TRichTextWriter& Out, const TTableFacts& Facts, const std::vector<TTableFacts>& All) {
  using namespace TextStyle;
  Out.Paragraph("", Body());
  Out.Paragraph(Facts.Table, Heading());
  Out.BeginParagraph();
  Out.Text("Source: ", Strong());
  // The sources table says "package: title".
  const auto Colon = Facts.Origin.find(": ");
  const std::string Package = Colon == std::string::npos ? "" : Facts.Origin.substr(0, Colon);
  const std::string Title = Colon == std::string::npos ? Facts.Origin : Facts.Origin.substr(Colon + 2);
  Out.Text(Title + "; file " + Facts.SourceFile + ", relation '" + Facts.Relation + "'" +
               (Package.empty() ? "" : ", from the Debian package " + Package) + ".",
           Body());
  Out.EndParagraph(Body());
  for (const TTableFacts& Other : All)
    if (Other.SourceFile == Facts.SourceFile && Other.Table != Facts.Table)
      Out.Paragraph("The same data as " + Other.Table + ".", Body());
  if (Facts.Table == TCrossTestLimits::SkippedTable)
    Out.Paragraph("The cross test skips a table of exactly this name; the page \"Play a doctor\" can show it.", Body());

  const auto Item = [&](const std::string& Label, const std::string& Text) {
    Out.BeginParagraph(Bullet());
    Out.Text(Label + ": ", Strong());
    Out.Text(Text, Body());
    Out.EndParagraph(Body());
  };
  Item("Rows", std::to_string(Facts.Rows) + "; the test part of a split has " +
                   (Facts.TestMin == Facts.TestMax
                        ? std::to_string(Facts.TestMin)
                        : std::to_string(Facts.TestMin) + " to " + std::to_string(Facts.TestMax)) +
                   " rows.");

  int32_t Majority = 0;
  std::string Classes;
  for (size_t Code = 1; Code <= Facts.ClassNames.size(); ++Code) {
    const auto Found = Facts.ClassRows.find(static_cast<int32_t>(Code));
    const int32_t Rows = Found == Facts.ClassRows.end() ? 0 : Found->second;
    Majority = std::max(Majority, Rows);
    Classes += (Code > 1 ? ", " : "") + std::to_string(Code) + " = " + Facts.ClassNames[Code - 1] + " (" +
               std::to_string(Rows) + ")";
  }
  const auto Unused = std::count_if(Facts.ClassNames.begin(), Facts.ClassNames.end(), [&, Code = 0](const std::string&) mutable {
    return !Facts.ClassRows.contains(++Code);
  });
  std::string ClassText = Plural(static_cast<int64_t>(Facts.ClassNames.size()), "class", "classes") + " from '" +
                          Facts.ClassAttribute + "'";
  if (Unused) ClassText += ", " + std::to_string(Unused) + " of them without rows";
  ClassText += "; " + Classes + ". The largest class holds " +
               FormatFixed(Facts.Rows ? 100.0 * Majority / Facts.Rows : 0.0, 2) + " % of the rows.";
  Item("Classes", ClassText);

  std::vector<std::string> Discrete, Float;
  for (const TAttributeFacts& A : Facts.Attributes) (A.Discrete ? Discrete : Float).push_back(A.Name);
  std::string Kinds;
  if (!Discrete.empty()) Kinds += Plural(static_cast<int64_t>(Discrete.size()), "discrete", "discrete") + " (" + NameList(Discrete, 8) + ")";
  if (!Float.empty()) Kinds += std::string(Kinds.empty() ? "" : "; ") + Plural(static_cast<int64_t>(Float.size()), "float", "float") + " (" + NameList(Float, 8) + ")";
  Item("Attributes", (Kinds.empty() ? "none" : Kinds) + ".");

  std::vector<std::string> Gaps;
  int64_t Total = 0;
  for (const TAttributeFacts& A : Facts.Attributes)
    if (A.Missing) Gaps.push_back(A.Name + " " + std::to_string(A.Missing)), Total += A.Missing;
  Item("Missing values", Total == 0 ? "none."
                                    : std::to_string(Total) + " in " + Plural(static_cast<int64_t>(Gaps.size()), "attribute", "attributes") +
                                          " (" + NameList(Gaps, 8) + "); " + Plural(Facts.RowsWithMissing, "row has", "rows have") +
                                          " at least one" +
                                          (Total > Facts.SourceMissing
                                               ? "; " + std::to_string(Total - Facts.SourceMissing) +
                                                     " of them are values of 999 in the file, which the table reads as missing"
                                               : std::string()) +
                                          ".");
}

int Usage() {
  std::cerr << "usage: make_description_text OUTPUT.rtf DATA_FOLDER SOURCE_FOLDER SOURCES.md FILE.arff=TABLE.DB...\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) return Usage();
  const std::string Output = argv[1], DataFolder = argv[2], SourceFolder = argv[3], SourcesTable = argv[4];
  try {
    const auto Origins = ReadOrigins(SourcesTable);
    TSession Session(nullptr);
    Session.AddStandardAlias("Data", DataFolder, "PARADOX");
    std::vector<TTableFacts> Tables;
    for (int i = 5; i < argc; ++i) {
      const std::string Entry = argv[i];
      const auto Equals = Entry.find('=');
      if (Equals == std::string::npos) return Usage();
      Tables.push_back(Examine(Session, SourceFolder, Entry.substr(0, Equals), Entry.substr(Equals + 1), Origins));
    }
    std::sort(Tables.begin(), Tables.end(),
              [](const TTableFacts& A, const TTableFacts& B) { return CompareText(A.Table, B.Table) < 0; });

    using namespace TextStyle;
    TRichTextWriter Out(Fonts);
    Out.Paragraph("Data description", Title());
    Out.Paragraph("", Body());
    Out.Paragraph("The sample database holds " + std::to_string(Tables.size()) +
                      " tables, Paradox files in the folder Data beside the program, reached through the alias "
                      "HalvornAIDataD. The pages \"Cross test\" and \"Play a doctor\" read them. Each table was made "
                      "when the program was built, from a public classification dataset; this description was "
                      "written by the build from the tables themselves.",
                  Body());
    Out.Paragraph("", Body());
    Out.Paragraph("Every table has the same layout:", Body());
    const auto Field = [&](const std::string& Name, const std::string& Text) {
      Out.BeginParagraph(Bullet());
      Out.Text(Name + ": ", Strong());
      Out.Text(Text, Body());
      Out.EndParagraph(Body());
    };
    Field("ID", "the row number; not an attribute.");
    Field("Class", "the class as a code 1, 2, ...; the codes follow the order in which the dataset declares its "
                   "classes, and the classifiers name the classes \"1\", \"2\", ...");
    Field("Value", "0 in every row; not an attribute.");
    Field(TSampleLayout::SplitField(0) + " to " + TSampleLayout::SplitField(TSampleLayout::SplitCount - 1),
          "1 puts the row into the test part of that split, 0 into the learning part; about a third of each class "
          "is tested. The cross test uses " + TSampleLayout::SplitField(0) + " to " +
              TSampleLayout::SplitField(SplitsUsed - 1) + ".");
    Field("Every other field", "an attribute. A 16-bit integer field is a discrete attribute holding one-based "
                               "value codes; a float field is a float attribute.");
    Field("999", "marks a missing value in both kinds of attribute.");
    for (const TTableFacts& Facts : Tables) Describe(Out, Facts, Tables);

    WriteGeneratedFile(Output, Out.Finish());
    std::cout << std::filesystem::path(Output).filename().string() << ": " << Tables.size() << " tables described\n";
    return 0;
  } catch (const std::exception& Error) {
    std::cerr << "make_description_text: " << Error.what() << "\n";
    return 1;
  }
}
