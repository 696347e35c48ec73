// What a program does with a table it was handed: open it through a
// session, count its rows, walk every row reading every field in every way,
// and come back to a bookmark.
#pragma once

#include <string>

#include "FuzzSupport.h"
#include "Session.h"
#include "Table.h"

namespace fuzz {

inline void WalkTable(TSession& Session, const std::string& Alias, const std::string& Name) {
  TTable Table(nullptr, &Session);
  Table.SetDatabaseName(Alias);
  Table.SetTableName(Name);
  if (Refused([&] { Table.Open(); })) return;
  Refused([&] {
    Table.RecordCount();
    TBookmark Start = Table.GetBookmark();
    for (int Rows = 0; !Table.Eof() && Rows < 100000; ++Rows) {
      for (int32_t i = 0; i < Table.FieldCount(); ++i) {
        TField* F = Table.Fields(i);
        F->IsNull();
        Refused([&] { F->AsString(); });
        Refused([&] { F->AsInteger(); });
        Refused([&] { F->AsFloat(); });
        Refused([&] { F->AsBoolean(); });
      }
      Table.Next();
    }
    Refused([&] { Table.GotoBookmark(Start); });
    Table.FreeBookmark(Start);
  });
}

}  // namespace fuzz
