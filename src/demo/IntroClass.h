// Page "Classification accuracy" (TIntroClassForm): the algorithms of the package.
#pragma once

#include "Basic3.h"

class TIntroClassForm : public TBasicForm3 {
  Q_OBJECT
public:
  explicit TIntroClassForm(QWidget* Owner);
};
