// The screen cursor over QGuiApplication's override cursor stack.
#include "ScreenCursor.h"

#include <QCursor>
#include <QGuiApplication>

#include "DBClassifier.h"

int32_t ScreenCursor() {
  const QCursor* Shown = QGuiApplication::overrideCursor();
  return Shown && Shown->shape() == Qt::WaitCursor ? crHourGlass : crDefault;
}

void SetScreenCursor(int32_t Cursor) {
  if (Cursor == crHourGlass) {
    if (ScreenCursor() != crHourGlass) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    return;
  }
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

TScreenCursorHook ScreenCursorHook() { return {[] { return ScreenCursor(); }, [](int32_t C) { SetScreenCursor(C); }}; }
