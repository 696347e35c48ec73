// Page "Data description" (TDataDescForm): the sample tables, from the file "Description.rtf" in the working folder.
#pragma once

#include "Basic3.h"

class TDataDescForm : public TBasicForm3 {
  Q_OBJECT
public:
  explicit TDataDescForm(QWidget* Owner);
};
