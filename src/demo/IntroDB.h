// Page "Database interface" (TIntroDBForm): what the dataset binding offers.
#pragma once

#include "Basic3.h"

class TIntroDBForm : public TBasicForm3 {
  Q_OBJECT
public:
  explicit TIntroDBForm(QWidget* Owner);
};
