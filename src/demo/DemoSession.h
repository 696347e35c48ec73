// The database session of the demo's pages.
//
// The dataset layer has no global session; the demo keeps one per main
// window, so an alias that one page adds is there for the next page, as the
// pages expect ("an alias of that name that already exists is used
// unchanged"). It is a child object of the owner named "Session"; the first
// page that asks creates it. A page without an owner (tests) gets one of its
// own.
#pragma once

#include <QObject>
#include <memory>

class QWidget;
class TSession;

class TSessionHolder : public QObject {
  Q_OBJECT
public:
  explicit TSessionHolder(QObject* Parent);
  ~TSessionHolder() override;
  TSession& Session() const { return *FSession; }

private:
  std::unique_ptr<TSession> FSession;
};

// The owner's session, created on first use; without an owner, Page's own.
TSession& PageSession(QWidget* Owner, QObject* Page);
