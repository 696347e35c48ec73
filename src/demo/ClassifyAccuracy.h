// Page "Cross test" (TAccuracyForm): the accuracy of the linear classifier,
// naive Bayes and k-nearest neighbours on every table of the sample
// database, each table split up to 30 times into a learning and a test part.
//
// The measurement is the Experiments library's TCrossTest, the code behind
// `pellory crosstest`; the page owns one (and with it the classifiers, the
// binding and the table, which keep their state between runs), turns its
// progress into the two labels and its grid into the cells of ResultGrid.
// The run happens inside RunButtonClick on the user-interface thread; the
// labels and the cells that changed are repainted as it goes.
#pragma once

#include <memory>

#include "Basic2.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class TCrossTest;
class TResultGridModel;
struct TCrossTestProgress;

class TAccuracyForm : public TBasicForm2 {
  Q_OBJECT
public:
  explicit TAccuracyForm(QWidget* Owner);
  ~TAccuracyForm() override;

  // The cross test; created with the page, or by the first handler that
  // needs it when creation failed (a missing sample folder).
  TCrossTest& CrossTest() { return RequireCrossTest(); }
  // The text of cell (Col, Row) of ResultGrid, row 0 and column 0 being the
  // headings; "" outside the grid.
  QString Cell(int Col, int Row) const;
  int GridRowCount() const;
  // What Copy puts on the clipboard: the grid as `pellory crosstest` prints it.
  QString GridText() const;

  QTableView* ResultGrid;
  QSpinBox* RunsEdit;
  QSpinBox* KNeighborsEdit;
  QCheckBox* PruningBox;
  QPushButton* RunButton;
  QLabel* TableLabel;
  QLabel* SplitLabel;

  // The event handlers, callable as the controls call them.
  void KNeighborsEditChange();
  void RunButtonClick();
  // Copies the grid to the clipboard (Ctrl+C, context menu "Copy").
  void CopyGrid();

private:
  void FormCreate();
  TCrossTest& RequireCrossTest();
  void ShowProgress(const TCrossTestProgress& Progress);
  // Brings the cells up to the cross test's grid and repaints what changed.
  void ShowGrid();

  std::unique_ptr<TCrossTest> FCrossTest;
  TResultGridModel* FGridModel = nullptr;
};
