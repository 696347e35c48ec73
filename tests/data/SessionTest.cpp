// Aliases, table listing (order, patterns, extensions, system tables) and the
// errors for missing aliases, folders, files and tables.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "DataTestTables.h"
#include "Exceptions.h"
#include "TableName.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

// A folder of its own with tables whose names differ in letter case.
struct TListing {
  fs::path Folder = DataFolder().Folder.parent_path() / "listing";
  fs::path Db = DataFolder().Folder.parent_path() / "listing.sqlite";
  TListing() {
    static bool Written = false;
    if (Written) return;
    Written = true;
    fs::create_directories(Folder);
    const std::vector<TFieldDef> Layout{{"ID", ftInteger}};
    for (const char* Name : {"zeta", "Alpha", "beta", "GAMMA", "ANKE"}) {
      CreateParadoxTable((Folder / (std::string(Name) + ".DB")).string(), Layout)->Close();
      CreateSqliteTable(Db.string(), Name, Layout)->Close();
    }
    std::ofstream(Folder / "notes.txt") << "not a table";
    std::ofstream(Folder / "lower.db") << "";  // listed: the extension decides
    CreateSqliteTable(Db.string(), "Auto", {{"ID", ftInteger}})->Close();
  }
};

TEST(TSession, AliasesAreKeptByNameIgnoringCase) {
  TSession Session(nullptr);
  Session.AddStandardAlias("HalvornAIDataD", "/data", "PARADOX");
  Session.AddStandardAlias("Other", "/x.sqlite", "sqlite");
  Session.AddStandardAlias("Plain", "/y", "");
  EXPECT_TRUE(Session.IsAlias("halvornaidatad"));
  EXPECT_EQ(Session.AliasPath("HALVORNAIDATAD"), "/data");
  EXPECT_EQ(Session.AliasDriver("other"), "SQLITE");
  EXPECT_EQ(Session.AliasDriver("Plain"), "PARADOX");
  TStringList Names;
  Session.GetAliasNames(Names);
  EXPECT_EQ(Names.ToVector(), (std::vector<std::string>{"HalvornAIDataD", "Other", "Plain"}));
  EXPECT_EQ(MessageOf([&] { Session.AddStandardAlias("HALVORNAIDATAD", "/z", "PARADOX"); }),
            "Alias 'HALVORNAIDATAD' already exists");
  EXPECT_EQ(MessageOf([&] { Session.AddStandardAlias("New", "/z", "DBASE"); }), "Unknown driver 'DBASE'");
  EXPECT_EQ(MessageOf([&] { Session.AddStandardAlias("", "/z", "PARADOX"); }), "Alias name is empty");
  Session.DeleteAlias("other");
  EXPECT_FALSE(Session.IsAlias("Other"));
  EXPECT_EQ(MessageOf([&] { Session.AliasPath("Other"); }), "Unknown alias 'Other'");
}

TEST(TSession, ParadoxTablesSortedIgnoringCaseWithOrWithoutExtensions) {
  TListing Listing;
  TSession Session(nullptr);
  Session.AddStandardAlias("L", Listing.Folder.string(), "PARADOX");
  TStringList Names;
  Session.GetTableNames("L", "*.DB", true, false, Names);
  EXPECT_EQ(Names.ToVector(),
            (std::vector<std::string>{"Alpha.DB", "ANKE.DB", "beta.DB", "GAMMA.DB", "lower.db", "zeta.DB"}));
  EXPECT_EQ(Session.TableNames("L", "*.DB", false),
            (std::vector<std::string>{"Alpha", "ANKE", "beta", "GAMMA", "lower", "zeta"}));
  EXPECT_EQ(Session.TableNames("L", "a*"), (std::vector<std::string>{"Alpha.DB", "ANKE.DB"}));
  EXPECT_EQ(Session.TableNames("L", "?ETA.db"), (std::vector<std::string>{"beta.DB", "zeta.DB"}));
  EXPECT_EQ(Session.TableNames("L", "b?TA.db"), (std::vector<std::string>{"beta.DB"}));
}

TEST(TSession, SqliteTablesIgnoreTheExtensionOfThePattern) {
  TListing Listing;
  TSession Session(nullptr);
  Session.AddStandardAlias("S", Listing.Db.string(), "SQLITE");
  const std::vector<std::string> All{"Alpha", "ANKE", "Auto", "beta", "GAMMA", "zeta"};
  EXPECT_EQ(Session.TableNames("S", "*.DB"), All);
  EXPECT_EQ(Session.TableNames("S", "*"), All);
  EXPECT_EQ(Session.TableNames("S", "A*.DB"), (std::vector<std::string>{"Alpha", "ANKE", "Auto"}));
  // A Paradox-style name opens the bare table.
  TTable Table(nullptr, &Session);
  Table.SetDatabaseName("S");
  Table.SetTableName("anke.db");
  Table.Open();
  EXPECT_EQ(Table.FieldCount(), 1);
}

TEST(TSession, SqliteSystemTablesOnlyWhenAsked) {
  const fs::path Db = DataFolder().Folder.parent_path() / "system.sqlite";
  CreateSqliteTable(Db.string(), "T", {{"ID", ftInteger}})->Close();
  TSession Session(nullptr);
  Session.AddStandardAlias("S", Db.string(), "SQLITE");
  EXPECT_EQ(Session.TableNames("S", "*", true, false), (std::vector<std::string>{"T"}));
  // ANALYZE creates sqlite_stat1 through the ordinary client library.
  std::string Command = "sqlite3 '" + Db.string() + "' 'ANALYZE'";
  if (std::system(Command.c_str()) == 0)
    EXPECT_EQ(Session.TableNames("S", "*", true, true), (std::vector<std::string>{"sqlite_stat1", "T"}));
}

TEST(TSession, MissingThingsAreNamed) {
  EnsurePeople();
  auto Session = MakeSession();
  Session->AddStandardAlias("NoFolder", "/nonexistent/folder", "PARADOX");
  Session->AddStandardAlias("NoFile", "/nonexistent/file.sqlite", "SQLITE");
  TStringList Names;
  EXPECT_EQ(MessageOf([&] { Session->GetTableNames("NoFolder", "*.DB", true, false, Names); }),
            "Folder '/nonexistent/folder' does not exist");
  EXPECT_EQ(MessageOf([&] { Session->GetTableNames("NoFile", "*", true, false, Names); }),
            "Database file '/nonexistent/file.sqlite' does not exist");
  EXPECT_EQ(MessageOf([&] { Session->GetTableNames("Nope", "*", true, false, Names); }), "Unknown alias 'Nope'");

  TTable Table(nullptr, Session.get());
  Table.SetDatabaseName("PX");
  Table.SetTableName("MISSING.DB");
  EXPECT_EQ(MessageOf([&] { Table.Open(); }),
            "Table 'MISSING.DB' not found in folder '" + DataFolder().Folder.string() + "'");
  Table.SetDatabaseName("SQ");
  EXPECT_EQ(MessageOf([&] { Table.Open(); }),
            "Table 'MISSING.DB' not found in database file '" + DataFolder().SqliteFile.string() + "'");
  Table.SetDatabaseName("NoFolder");
  EXPECT_EQ(MessageOf([&] { Table.Open(); }), "Folder '/nonexistent/folder' does not exist");
  Table.SetDatabaseName("Nope");
  EXPECT_EQ(MessageOf([&] { Table.Open(); }), "Unknown alias 'Nope'");
  TTable Lonely(nullptr);
  Lonely.SetTableName("PEOPLE.DB");
  Lonely.SetDatabaseName("PX");
  EXPECT_EQ(MessageOf([&] { Lonely.Open(); }), "PEOPLE.DB: No session assigned");
  EXPECT_FALSE(Table.Active());
}

TEST(TSession, ParadoxNamesIgnoreLetterCaseAndExtension) {
  EnsurePeople();
  auto Session = MakeSession();
  TTable Table(nullptr, Session.get());
  Table.SetDatabaseName("px");
  Table.SetTableName("people");
  Table.Open();
  EXPECT_EQ(Table.RecordCount(), 5);
}

TEST(TSession, FileThatIsNoTableIsReported) {
  const fs::path Folder = DataFolder().Folder.parent_path() / "junk";
  fs::create_directories(Folder);
  std::ofstream(Folder / "JUNK.DB") << "this is not a table at all, just some text that is long enough";
  std::ofstream(Folder / "junk.sqlite") << "this is not a database at all, just some text that is long enough";
  TSession Session(nullptr);
  Session.AddStandardAlias("J", Folder.string(), "PARADOX");
  Session.AddStandardAlias("K", (Folder / "junk.sqlite").string(), "SQLITE");
  TTable Table(nullptr, &Session);
  Table.SetDatabaseName("J");
  Table.SetTableName("JUNK.DB");
  EXPECT_NE(MessageOf([&] { Table.Open(); }).find("Cannot open table"), std::string::npos);
  EXPECT_NE(MessageOf([&] { Session.TableNames("K"); }).find("Cannot open database file"), std::string::npos);
}

// Reading needs no write access: a table file and its folder that only
// allow reading still open and walk, in both stores.
TEST(TSession, ReadOnlyTablesOpen) {
  const fs::path Folder = DataFolder().Folder.parent_path() / "readonly";
  fs::create_directories(Folder);
  const std::vector<TFieldDef> Layout{{"ID", ftInteger}};
  std::unique_ptr<TTableWriter> Writers[] = {CreateParadoxTable((Folder / "T.DB").string(), Layout),
                                             CreateSqliteTable((Folder / "ro.sqlite").string(), "T", Layout)};
  for (auto& Writer : Writers) {
    Writer->AppendRow(std::vector<TFieldValue>{7});
    Writer->Close();
  }
  using P = fs::perms;
  for (const char* File : {"T.DB", "ro.sqlite"}) fs::permissions(Folder / File, P::owner_read | P::others_read);
  fs::permissions(Folder, P::owner_read | P::owner_exec | P::others_read | P::others_exec);
  TSession Session(nullptr);
  Session.AddStandardAlias("RO", Folder.string(), "PARADOX");
  Session.AddStandardAlias("ROSQ", (Folder / "ro.sqlite").string(), "SQLITE");
  for (const char* Alias : {"RO", "ROSQ"}) {
    const std::string Message = MessageWithoutWriteAccess([&] {
      TTable Table(nullptr, &Session);
      Table.SetDatabaseName(Alias);
      Table.SetTableName("T");
      Table.Open();
      if (Table.RecordCount() != 1 || Table.Fields(0)->AsInteger() != 7) throw Exception("wrong rows");
    });
    EXPECT_EQ(Message, "(no exception)") << Alias;
  }
  fs::permissions(Folder, fs::perms::owner_all);
}

TEST(TSession, NameMatchesGlobs) {
  EXPECT_TRUE(NameMatches("*.DB", "anke.db"));
  EXPECT_TRUE(NameMatches("*", ""));
  EXPECT_TRUE(NameMatches("a*b*c", "aXXbYYc"));
  EXPECT_FALSE(NameMatches("a*b*c", "aXXbYY"));
  EXPECT_TRUE(NameMatches("?", "x"));
  EXPECT_FALSE(NameMatches("?", ""));
  EXPECT_FALSE(NameMatches("*.DB", "ANKE.DBX"));
}

}  // namespace

TEST(TableName, DbExtensionIsOptionalEverywhere) {
  EXPECT_TRUE(HasTableExtension("IRIS.DB"));
  EXPECT_TRUE(HasTableExtension("iris.db"));
  EXPECT_FALSE(HasTableExtension(".DB"));
  EXPECT_FALSE(HasTableExtension("IRIS.DBF"));
  EXPECT_EQ(WithoutTableExtension("iris.Db"), "iris");
  EXPECT_EQ(WithoutTableExtension("iris.csv"), "iris.csv");
  EXPECT_EQ(WithTableExtension("IRIS"), "IRIS.DB");
  EXPECT_EQ(WithTableExtension("IRIS.db"), "IRIS.db");
  EXPECT_EQ(WithTableExtension("IRIS.txt"), "IRIS.txt");
  EXPECT_TRUE(SameTableName("IRIS.DB", "iris"));
  EXPECT_TRUE(SameTableName("iris", "IRIS.DB"));
  EXPECT_TRUE(SameTableName("Iris.DB", "iris.db"));
  EXPECT_FALSE(SameTableName("IRIS.DB", "IRIS.DB.DB"));
  EXPECT_FALSE(SameTableName("IRIS.DB", "IRI"));
  EXPECT_FALSE(SameTableName("IRIS2", "IRIS.DB"));
}
