// Page "Applications" (TApplicationsIntroForm): where classification helps.
#pragma once

#include "Basic3.h"

class TApplicationsIntroForm : public TBasicForm3 {
  Q_OBJECT
public:
  explicit TApplicationsIntroForm(QWidget* Owner);
};
