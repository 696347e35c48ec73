// The screen cursor of the demo: the codes the dataset binding notes and
// restores around a pass, mapped onto the application's override cursor.
//
// A page that learns a table shows the busy cursor from the binding's
// OnLearnDataset handler; the binding puts back the cursor it noted when the
// pass ends, also when an error ends it.
#pragma once

#include <cstdint>

struct TScreenCursorHook;

inline constexpr int32_t crDefault = 0;
inline constexpr int32_t crHourGlass = -11;

// crHourGlass while the busy cursor is shown, else crDefault.
int32_t ScreenCursor();
// crHourGlass shows the busy cursor (once, however often it is set); any
// other code takes it away.
void SetScreenCursor(int32_t Cursor);
// The hook for TDBClassifier::SetScreenCursorHook.
TScreenCursorHook ScreenCursorHook();
