// Page "Quick start" (TQuickStartForm): using the library, from the file "QuickStart.rtf" in the working folder.
#pragma once

#include "Basic3.h"

class TQuickStartForm : public TBasicForm3 {
  Q_OBJECT
public:
  explicit TQuickStartForm(QWidget* Owner);
};
