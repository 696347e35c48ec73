// Table datasets resolve their alias through the session when opened.
#include "Table.h"

#include "Cursor.h"
#include "Exceptions.h"
#include "Session.h"

TTable::TTable(TComponent* AOwner, TSession* ASession) : TDataSet(AOwner) { SetSession(ASession); }

TTable::~TTable() {
  Close();
  SetSession(nullptr);
}

void TTable::SetTableName(const std::string& Value) {
  if (Value == FTableName) return;
  CheckInactive();
  FTableName = Value;
}

void TTable::SetDatabaseName(const std::string& Value) {
  if (Value == FDatabaseName) return;
  CheckInactive();
  FDatabaseName = Value;
}

void TTable::SetSession(TSession* Value) {
  if (Value == FSession) return;
  CheckInactive();
  if (FSession) RemoveFreeNotification(FSession);
  FSession = Value;
  if (FSession) FreeNotification(FSession);
}

void TTable::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == TOperation::opRemove && AComponent == FSession) FSession = nullptr;
  TDataSet::Notification(AComponent, Operation);
}

std::string TTable::DisplayName() const {
  return FTableName.empty() ? (Name().empty() ? std::string("Table") : Name()) : FTableName;
}

std::unique_ptr<TCursor> TTable::OpenCursor() {
  if (FTableName.empty()) throw Exception(DisplayName() + ": Missing TableName property");
  if (!FSession) throw Exception(DisplayName() + ": No session assigned");
  if (FDatabaseName.empty()) throw Exception(DisplayName() + ": Missing DatabaseName property");
  return FSession->OpenTable(FDatabaseName, FTableName);
}
