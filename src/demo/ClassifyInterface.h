// Page "Play a doctor" (TInterfaceForm): a user interface around a
// classifier. The user picks a table of the sample database and one of the
// three classifiers; the page opens the table in DataDBGrid and the chosen
// classifier learns all of it; whenever the current row changes, the labels
// show the row's ID, the class the classifier guesses and the row's class.
//
// The grid shows UserTable through a TDataSetTableModel (named DataSource1,
// the link between table and grid): selecting a row moves the table there
// (SetRecNo, which fires UserTableAfterScroll); a move of the table shows in
// the grid only while the table's controls are enabled, so the binding's
// walk through all rows leaves the grid alone.
#pragma once

#include <memory>

#include "Basic2.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QTableView;
class TDBClassifier;
class TDataSetTableModel;
class TKNearestNeighbors;
class TLinearClassifier;
class TNaiveBayes;
class TSampleComponents;
class TTable;

class TInterfaceForm : public TBasicForm2 {
  Q_OBJECT
public:
  explicit TInterfaceForm(QWidget* Owner);
  ~TInterfaceForm() override;

  TLinearClassifier& LC() const { return *FLC; }
  TNaiveBayes& NB() const { return *FNB; }
  TKNearestNeighbors& KNN() const { return *FKNN; }
  TDBClassifier& DBLC() const { return *FDBLC; }
  TTable& UserTable() const { return *FUserTable; }
  TDataSetTableModel& DataSource1() const { return *FDataSource1; }

  QTableView* DataDBGrid;
  QComboBox* TablesBox;
  QGroupBox* ClassifierGroup;
  QButtonGroup* ClassifierButtons;  // items 0 "Linear C.", 1 "Bayes", 2 "K-NN"
  QLabel* IDLabel;
  QLabel* GuessedClassLabel;
  QLabel* ActualClassLabel;

  // The event handlers, callable as the controls call them.
  void TablesBoxChange();
  void ClassifierGroupClick();
  void UserTableAfterScroll();

private:
  void FormCreate();
  // The table's row changed: the grid follows (controls enabled), then the
  // page's handler runs.
  void UserTableScrolled();
  // The grid's current row changed (mouse, keyboard): the table follows.
  void DataDBGridRowChanged(int Row);
  // DBLC.LearnDataset(0), then the row labels of the row it returned to.
  void LearnTable();
  // IDLabel and ActualClassLabel from the current row.
  void ShowRowLabels();

  std::unique_ptr<TSampleComponents> FComponents;  // owns the classifiers, binding and table
  TLinearClassifier* FLC = nullptr;
  TNaiveBayes* FNB = nullptr;
  TKNearestNeighbors* FKNN = nullptr;
  TDBClassifier* FDBLC = nullptr;
  TTable* FUserTable = nullptr;
  TDataSetTableModel* FDataSource1 = nullptr;
  bool FRowLabelsPending = false;  // rows went by during a walk; labels not yet shown
};
