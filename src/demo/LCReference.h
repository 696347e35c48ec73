// Page "Reference results" (TLCReferenceForm): the cross test grids, from the file "ClassificationReference.rtf" in the working folder.
#pragma once

#include "Basic3.h"

class TLCReferenceForm : public TBasicForm3 {
  Q_OBJECT
public:
  explicit TLCReferenceForm(QWidget* Owner);
};
