// A table dataset: a table of a session's alias.
//
// TableName is the table as the alias lists it ("ANKE.DB" for Paradox, a
// bare name for SQLite); DatabaseName is the alias. Both, and Session, can
// change only while the table is closed. The table watches its session: when
// the session is destroyed the reference is dropped (an open table stays
// readable; opening again needs a session).
#pragma once

#include <string>

#include "DataSet.h"

class TSession;

class TTable : public TDataSet {
public:
  explicit TTable(TComponent* AOwner, TSession* ASession = nullptr);
  ~TTable() override;
  std::string TypeName() const override { return "TTable"; }

  const std::string& TableName() const { return FTableName; }
  void SetTableName(const std::string& Value);
  const std::string& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const std::string& Value);
  TSession* Session() const { return FSession; }
  void SetSession(TSession* Value);

protected:
  std::unique_ptr<TCursor> OpenCursor() override;
  std::string DisplayName() const override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  std::string FTableName;
  std::string FDatabaseName;
  TSession* FSession = nullptr;
};
