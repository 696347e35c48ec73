// Page "Play a doctor".
#include "ClassifyInterface.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QRadioButton>
#include <QTableView>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "Classifier.h"
#include "Convert.h"
#include "DBClassifier.h"
#include "DataSetTableModel.h"
#include "DemoApplication.h"
#include "DemoSession.h"
#include "PageRegistry.h"
#include "SampleComponents.h"
#include "SampleDatabase.h"
#include "SampleLayout.h"
#include "ScreenCursor.h"
#include "Session.h"
#include "Table.h"

static const bool Registered = RegisterPageClass<TInterfaceForm>("TInterfaceForm");

namespace {

// The table the page opens at creation: the seventh the dataset layer lists.
constexpr int InitialTable = 6;

QLabel* NewLabel(QWidget* Parent, const char* Name, const char* Text) {
  auto* Label = new QLabel(QString::fromLatin1(Text), Parent);
  if (Name) Label->setObjectName(QString::fromLatin1(Name));
  return Label;
}

}  // namespace

TInterfaceForm::TInterfaceForm(QWidget* Owner)
    : TBasicForm2(Owner),
      FComponents(std::make_unique<TSampleComponents>(nullptr, PageSession(Owner, this), "UserTable")) {
  SetPanelHeights(130, 69);

  FLC = &FComponents->LC();
  FNB = &FComponents->NB();
  FKNN = &FComponents->KNN();
  FUserTable = &FComponents->Table();
  FDBLC = &FComponents->DBLC();
  // The busy cursor while a table is learned; the binding puts back the
  // cursor it found when the pass ends.
  FDBLC->SetScreenCursorHook(ScreenCursorHook());
  FDBLC->SetOnLearnDataset([](TObject*, int32_t) { SetScreenCursor(crHourGlass); });
  FUserTable->SetAfterScroll([this](TDataSet&) { UserTableScrolled(); });

  auto* Work = new QVBoxLayout(Panel3);
  Work->setContentsMargins(0, 0, 0, 0);
  FDataSource1 = new TDataSetTableModel(this);
  FDataSource1->setObjectName(QStringLiteral("DataSource1"));
  FDataSource1->SetDataSet(FUserTable);
  DataDBGrid = new QTableView(Panel3);
  DataDBGrid->setObjectName(QStringLiteral("DataDBGrid"));
  DataDBGrid->setModel(FDataSource1);
  DataDBGrid->setItemDelegate(new TPlainCellDelegate(DataDBGrid));
  DataDBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DataDBGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  DataDBGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  DataDBGrid->setShowGrid(true);
  DataDBGrid->setWordWrap(false);
  DataDBGrid->setCornerButtonEnabled(false);
  DataDBGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  DataDBGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Fixed row heights and a fixed indicator column: nothing is measured row
  // by row, whatever the table's length.
  QHeaderView* Indicator = DataDBGrid->verticalHeader();
  Indicator->setSectionResizeMode(QHeaderView::Fixed);
  Indicator->setDefaultSectionSize(DataDBGrid->fontMetrics().height() + 4);
  Indicator->setFixedWidth(DataDBGrid->fontMetrics().height() + 6);
  // The selected row stays marked when the grid loses the focus.
  QPalette Colours = DataDBGrid->palette();
  Colours.setColor(QPalette::Inactive, QPalette::Highlight, Colours.color(QPalette::Active, QPalette::Highlight));
  Colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   Colours.color(QPalette::Active, QPalette::HighlightedText));
  DataDBGrid->setPalette(Colours);
  Work->addWidget(DataDBGrid);
  connect(DataDBGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          Guarded([this](const QModelIndex& Current, const QModelIndex&) { DataDBGridRowChanged(Current.row()); }));

  auto* Buttons = new QHBoxLayout(Panel2);
  Buttons->setContentsMargins(12, 4, 12, 4);
  Buttons->setSpacing(12);
  auto* TableColumn = new QVBoxLayout;
  TableColumn->setSpacing(2);
  TableColumn->addStretch(1);
  TableColumn->addWidget(NewLabel(Panel2, "Label1", "Table:"));
  TablesBox = new QComboBox(Panel2);
  TablesBox->setObjectName(QStringLiteral("TablesBox"));
  TablesBox->setEditable(false);
  TablesBox->setMinimumWidth(140);
  TableColumn->addWidget(TablesBox);
  TableColumn->addStretch(1);
  Buttons->addLayout(TableColumn);

  ClassifierGroup = new QGroupBox(QStringLiteral("Classifier"), Panel2);
  ClassifierGroup->setObjectName(QStringLiteral("ClassifierGroup"));
  auto* Items = new QHBoxLayout(ClassifierGroup);
  Items->setContentsMargins(8, 2, 8, 2);
  ClassifierButtons = new QButtonGroup(ClassifierGroup);
  ClassifierButtons->setExclusive(true);
  int Id = 0;
  for (const char* Caption : {"Linear C.", "Bayes", "K-NN"}) {
    auto* Item = new QRadioButton(QString::fromLatin1(Caption), ClassifierGroup);
    ClassifierButtons->addButton(Item, Id++);
    Items->addWidget(Item);
  }
  ClassifierButtons->button(0)->setChecked(true);
  Buttons->addWidget(ClassifierGroup);

  auto* LabelColumn = new QVBoxLayout;
  LabelColumn->setSpacing(2);
  IDLabel = NewLabel(Panel2, "IDLabel", "ID:");
  GuessedClassLabel = NewLabel(Panel2, "GuessedClassLabel", "Guessed class:");
  ActualClassLabel = NewLabel(Panel2, "ActualClassLabel", "Actual class:");
  for (QLabel* L : {IDLabel, GuessedClassLabel, ActualClassLabel}) {
    L->setMinimumWidth(200);
    LabelColumn->addWidget(L);
  }
  Buttons->addLayout(LabelColumn);
  Buttons->addStretch(1);

  connect(TablesBox, &QComboBox::activated, this, Guarded([this](int) { TablesBoxChange(); }));
  connect(ClassifierButtons, &QButtonGroup::idToggled, this, Guarded([this](int, bool Checked) {
            if (Checked) ClassifierGroupClick();
          }));

  FormCreate();
}

TInterfaceForm::~TInterfaceForm() {
  // The grid must not read a table that goes before it.
  FUserTable->SetAfterScroll({});
  FDataSource1->SetDataSet(nullptr);
}

void TInterfaceForm::FormCreate() {
  // An error here (no sample folder) is shown and the page stays, without
  // a table.
  CallGuarded([this] {
    TSession& Session = PageSession(Owner(), this);
    FUserTable->Close();
    EnsureSampleAlias(Session, SampleDataFolder(), SampleDriver);
    FUserTable->SetDatabaseName(SampleAlias);
    for (const std::string& Name : SampleTableNames(Session)) TablesBox->addItem(QString::fromStdString(Name));
    // With fewer tables nothing is selected and no table is opened.
    if (TablesBox->count() > InitialTable) {
      TablesBox->setCurrentIndex(InitialTable);
      TablesBoxChange();
    } else {
      TablesBox->setCurrentIndex(-1);
    }
  });
  RichEdit1->setPlainText(QStringLiteral(
      "The example below illustrates a possible user interface for classification. The purpose of "
      "classification is to guess a yet unknown value of a field  by looking at values of other fields. Such "
      "a guess can be a good only, if there is a relation (some hidden connection) between values of other "
      "fields and the value of the Class field in cases where the value of the Class field is already known. "
      "The classification algorithm tries to find that connection, but is not able to express the found "
      "connection explicitly. The knowledge about the \"hidden connection\" is stored internally by the "
      "algorithm in forms of some statistics, estimated weights etc.. To check, if the algorithm was able to "
      "find the \"hidden connection\" you should run a classification test. Now lets get back to the example "
      "below. When the user selects a table from the dropdown box, the data in that table is immediatelly "
      "opened and processed (learned). When the user clicks a record in the table, that record is classified "
      "and the label below the table displayes the guessed value of the Class field. In real world "
      "application, the learn data and the examples to be classified might be in different tables and the "
      "Class field for the new examples would not be known. The tables also contain SplitXX fields. This "
      "fields are used to for testing classification accuracy and are not part of the valid data. All data "
      "in the tables is indexed. This means, that you will not find string descriptions in the fields, but "
      "only numbers. For example: a field \"Color\" will not have items like: Red, Blue, Yellow. They have "
      "been replaced with numbers like this: 0 (for red) ,1 (for green) , 2 (yellow). "));
  DisableOwnerHelp(Owner());
}

void TInterfaceForm::TablesBoxChange() {
  FDBLC->Clear();
  FUserTable->Close();
  FDataSource1->Refresh();
  FUserTable->SetTableName(TablesBox->currentText().toStdString());
  FUserTable->Open();
  FDataSource1->Refresh();
  // Columns as wide as their heading and the first rows' texts.
  const QFontMetrics Metrics = DataDBGrid->fontMetrics();
  const int Rows = std::min(FDataSource1->rowCount(), TDataSetTableModel::BlockRows);
  for (int C = 0; C < FDataSource1->columnCount(); ++C) {
    int Width = Metrics.horizontalAdvance(FDataSource1->headerData(C, Qt::Horizontal).toString());
    for (int R = 0; R < Rows; ++R)
      Width = std::max(Width, Metrics.horizontalAdvance(FDataSource1->index(R, C).data().toString()));
    DataDBGrid->setColumnWidth(C, std::clamp(Width + 12, 32, 240));
  }
  UserTableScrolled();
  LearnTable();
}

void TInterfaceForm::ClassifierGroupClick() {
  TClassifier* const Chosen[] = {FLC, FNB, FKNN};
  const int Item = ClassifierButtons->checkedId();
  if (Item < 0 || Item > 2) return;
  FDBLC->SetClassifier(Chosen[Item]);
  TablesBoxChange();
}

void TInterfaceForm::UserTableScrolled() {
  if (!FUserTable->ControlsDisabled()) {
    const int Row = FUserTable->RecNo() - 1;
    FDataSource1->SetCurrentRow(Row);
    if (Row >= 0 && Row < FDataSource1->rowCount() && DataDBGrid->currentIndex().row() != Row) {
      const QModelIndex At = FDataSource1->index(Row, std::max(DataDBGrid->currentIndex().column(), 0));
      DataDBGrid->selectionModel()->setCurrentIndex(At, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      DataDBGrid->scrollTo(At);
    }
  }
  UserTableAfterScroll();
}

void TInterfaceForm::DataDBGridRowChanged(int Row) {
  if (Row >= 0 && FUserTable->Active()) FUserTable->SetRecNo(Row + 1);
}

void TInterfaceForm::UserTableAfterScroll() {
  // While the binding walks the table itself, nothing is painted until the
  // walk is over, and then it is back on the row it started from: the ID and
  // class labels are brought up to date once, after the walk (LearnTable),
  // instead of formatting two texts for every row of the table. The guess
  // would disturb the walk and is skipped.
  if (FDBLC->Busy()) {
    FRowLabelsPending = true;
    return;
  }
  ShowRowLabels();
  GuessedClassLabel->setText(QStringLiteral("Guessed class: ") + QString::fromStdString(FDBLC->ClassifyRecord()));
}

void TInterfaceForm::ShowRowLabels() {
  FRowLabelsPending = false;
  IDLabel->setText(QStringLiteral("ID: ") + QString::number(FUserTable->FieldByName(TSampleLayout::IdField)->AsInteger()));
  ActualClassLabel->setText(
      QStringLiteral("Actual class: ") +
      QString::fromStdString(FloatToShortest(FUserTable->FieldByName(TSampleLayout::ClassField)->AsFloat())));
}

void TInterfaceForm::LearnTable() {
  FRowLabelsPending = false;
  try {
    FDBLC->LearnDataset(0);
  } catch (...) {
    if (FRowLabelsPending && FUserTable->Active()) CallGuarded([this] { ShowRowLabels(); });
    throw;
  }
  if (FRowLabelsPending) ShowRowLabels();
}
