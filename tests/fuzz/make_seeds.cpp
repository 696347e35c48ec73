// Writes the seed corpora of the fuzz targets from the project's own files:
//   make_seeds OUTDIR SAMPLE_DATA_DIR ARFF_DIR
// Models are trained by `pellory train` on sample tables, CSV comes from
// `pellory export`, the SQLite file from `pellory import`; the Paradox seeds
// are sample tables and one table with a field of every kind the writer
// offers. Small files only: the fuzzers grow the rest.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "PelloryTool.h"
#include "TableWriter.h"

namespace fs = std::filesystem;

namespace {

fs::path Out;

void Put(const std::string& Target, const std::string& Name, const std::string& Bytes) {
  fs::create_directories(Out / Target);
  std::ofstream(Out / Target / Name, std::ios::binary) << Bytes;
}

std::string Slurp(const fs::path& File) {
  std::ifstream In(File, std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  return S.str();
}

std::string Run(const std::vector<std::string>& Args, const fs::path& Folder) {
  std::ostringstream O, E;
  TToolIO IO{O, E, false, Folder.string()};
  if (RunPellory(Args, IO) != 0) {
    std::cerr << "make_seeds: pellory";
    for (const auto& A : Args) std::cerr << " " << A;
    std::cerr << " failed: " << E.str();
    std::exit(1);
  }
  return O.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: make_seeds OUTDIR SAMPLE_DATA_DIR ARFF_DIR\n";
    return 2;
  }
  Out = argv[1];
  const fs::path Samples = argv[2], Arff = argv[3];
  fs::remove_all(Out);
  const fs::path Work = Out / "work";
  fs::create_directories(Work / "Data");
  for (const char* T : {"WEAT.DB", "IRIS.DB", "CONT.DB", "LABO.DB"})
    fs::copy_file(Samples / T, Work / "Data" / T);

  // Models, and their property blocks (the first byte picks the class).
  const char* Kinds[][2] = {{"lc", "model_linear"}, {"nb", "model_bayes"}, {"knn", "model_knn"}};
  for (int k = 0; k < 3; ++k) {
    for (const char* T : {"WEAT.DB", "IRIS.DB", "LABO.DB"}) {
      const fs::path Model = Work / (std::string(Kinds[k][0]) + "-" + T + ".model");
      Run({"train", T, "--classifier", Kinds[k][0], "--model", Model.string()}, Work);
      const std::string Bytes = Slurp(Model);
      Put(Kinds[k][1], T, Bytes);
      Put("property_block", std::string(Kinds[k][0]) + "-" + T, std::string(1, static_cast<char>(k)) + Bytes);
    }
  }

  // Text sources, and CSV as the tool exports it.
  for (const char* A : {"weather.nominal.arff", "contact-lenses.arff", "iris.arff", "labor.arff"})
    Put("arff", A, Slurp(Arff / A));
  for (const char* T : {"WEAT.DB", "IRIS.DB", "LABO.DB"}) Put("csv", T, Run({"export", T}, Work));
  Put("csv", "quoted", "a,b,\"c, d\"\n1,\"x\"\"y\",yes\n2,?,no\r\n,3.5e2,\"multi\nline\"\n");

  // Paradox tables: samples, and every field kind with nulls.
  for (const char* T : {"WEAT.DB", "CONT.DB", "IRIS.DB", "LABO.DB"}) Put("paradox", T, Slurp(Samples / T));
  {
    const fs::path File = Work / "KINDS.DB";
    auto W = CreateParadoxTable(File.string(), {{"Name", ftString, 20},
                                                {"Small", ftSmallint, 0},
                                                {"Whole", ftInteger, 0},
                                                {"Real", ftFloat, 0},
                                                {"Money", ftCurrency, 0},
                                                {"Flag", ftBoolean, 0}});
    W->AppendRow(std::vector<TFieldValue>{std::string("Ann"), int32_t{-3}, int32_t{1 << 30}, 1.5, 2.25, true});
    W->AppendRow(std::vector<TFieldValue>{std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{},
                                          std::monostate{}, std::monostate{}});
    W->AppendRow(std::vector<TFieldValue>{std::string("\xc3\xa9t\xc3\xa9"), int32_t{32767}, int32_t{-7}, -1e300,
                                          0.0, false});
    W->Close();
    Put("paradox", "KINDS.DB", Slurp(File));
  }

  // SQLite: a sample table imported into a file, and SQL building odd ones.
  Run({"import", (Arff / "weather.nominal.arff").string(), "WEAT", "--sqlite", (Work / "s.sqlite").string()}, Work);
  Put("sqlite", "weather.sqlite", Slurp(Work / "s.sqlite"));
  Put("sqlite", "types.sql",
      "CREATE TABLE t(a VARCHAR(99999999999), b INTEGER, c BLOB, d REAL, e DATE, f BOOLEAN, g NUMERIC(10,2),"
      " h CHAR(-5), i TEXT(2147483648), j);\n"
      "INSERT INTO t VALUES('abc', 'text in a number', x'00ff10', 'x', '2024-13-45', 7, 1e400, 'long text', 1, NULL);\n"
      "INSERT INTO t VALUES(NULL, 9223372036854775807, NULL, -1e308, 45000.5, 'yes', '12.5', '', x'', 3.5);\n");
  Put("sqlite", "names.sql",
      "CREATE TABLE \"Odd Name\"(\"\" INT, \"a\"\"b\" TEXT);\nINSERT INTO \"Odd Name\" VALUES(1,'x');\n"
      "CREATE TABLE w(a INT PRIMARY KEY, b) WITHOUT ROWID;\nINSERT INTO w VALUES(1,2);\n"
      "CREATE TABLE r(rowid TEXT, x);\nINSERT INTO r VALUES('a', 1);\n");

  // Filter expressions over the target's fields.
  const char* Filters[] = {
      "Age > 20 AND Name <> 'Bob'",
      "[Two Words] = 0 OR NOT (Score >= 1.5)",
      "Name IS NULL OR Memo IS NOT NULL",
      "Flag = TRUE and Born < 40000 or Big = -9223372036854775808",
      "(((Score <= -2.5e300)))",
      "Name = \"Ann\" AND Age = 30",
  };
  for (size_t i = 0; i < std::size(Filters); ++i) Put("filter", "f" + std::to_string(i), Filters[i]);

  // Command lines, one argument a line.
  const char* Lines[] = {
      "tables",
      "fields\nWEAT.DB",
      "export\nCONT.DB",
      "train\nWEAT.DB\n--classifier\nnb\n--model\nm",
      "classify\nWEAT.DB\n--model\nm",
      "crosstest\n--runs\n2\n--k\n3\n--tables\nWEAT.DB,CONT.DB",
      "crosstest\n--prune\n--tables=CONT.DB",
      "import\nx.csv\nT\n--sqlite\ns.db",
      "bench\n--learn\n50\n--test\n10",
      "export\n--help",
      "tables\n--data\nData\n--sqlite\nx",
  };
  for (size_t i = 0; i < std::size(Lines); ++i) Put("cli", "c" + std::to_string(i), Lines[i]);

  fs::remove_all(Work);
  return 0;
}
