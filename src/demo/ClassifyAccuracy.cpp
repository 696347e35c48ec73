// Page "Cross test".
#include "ClassifyAccuracy.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegion>
#include <QSpinBox>
#include <QTableView>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "CrossTest.h"
#include "DemoApplication.h"
#include "DemoSession.h"
#include "PageRegistry.h"
#include "SampleDatabase.h"
#include "SampleLayout.h"

static const bool Registered = RegisterPageClass<TAccuracyForm>("TAccuracyForm");

// The cells as last shown, from the cross test's grid: row 0 is the
// horizontal heading, column 0 the vertical one, so both stay in place when
// the grid scrolls (the fixed row and column).
class TResultGridModel : public QAbstractTableModel {
public:
  TResultGridModel(int Rows, QObject* Parent)
      : QAbstractTableModel(Parent),
        FCells(static_cast<size_t>(Rows), std::vector<QString>(TResultGrid::ColCount)) {}

  QString Cell(int Col, int Row) const {
    if (Row < 0 || Row >= static_cast<int>(FCells.size()) || Col < 0 || Col >= TResultGrid::ColCount) return {};
    return FCells[static_cast<size_t>(Row)][static_cast<size_t>(Col)];
  }
  int GridRows() const { return static_cast<int>(FCells.size()); }

  // Takes over Grid's texts; the changed cells (grid coordinates) go to Changed.
  void Sync(const TResultGrid& Grid, std::vector<QPoint>& Changed) {
    for (int Row = 0; Row < GridRows(); ++Row)
      for (int Col = 0; Col < TResultGrid::ColCount; ++Col) {
        QString Text = QString::fromStdString(Grid.Cell(Col, Row));
        QString& Shown = FCells[static_cast<size_t>(Row)][static_cast<size_t>(Col)];
        if (Text == Shown) continue;
        Shown = std::move(Text);
        Changed.emplace_back(Col, Row);
        if (Row == 0 && Col > 0) {
          emit headerDataChanged(Qt::Horizontal, Col - 1, Col - 1);
        } else if (Col == 0 && Row > 0) {
          emit headerDataChanged(Qt::Vertical, Row - 1, Row - 1);
        } else if (Row > 0) {
          const QModelIndex At = index(Row - 1, Col - 1);
          emit dataChanged(At, At, {Qt::DisplayRole});
        }
      }
  }

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override { return Parent.isValid() ? 0 : GridRows() - 1; }
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override {
    return Parent.isValid() ? 0 : TResultGrid::ColCount - 1;
  }
  QVariant data(const QModelIndex& Index, int Role) const override {
    if (!Index.isValid()) return {};
    if (Role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignVCenter | Qt::AlignRight);
    if (Role != Qt::DisplayRole) return {};
    return Cell(Index.column() + 1, Index.row() + 1);
  }
  QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override {
    if (Role == Qt::TextAlignmentRole && Orientation == Qt::Vertical)
      return QVariant::fromValue(Qt::AlignVCenter | Qt::AlignLeft);
    if (Role != Qt::DisplayRole) return {};
    return Orientation == Qt::Horizontal ? Cell(Section + 1, 0) : Cell(0, Section + 1);
  }
  Qt::ItemFlags flags(const QModelIndex& Index) const override {
    return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
  }

private:
  std::vector<std::vector<QString>> FCells;
};

namespace {

QLabel* NewLabel(QWidget* Parent, const char* Name, const char* Text) {
  auto* Label = new QLabel(QString::fromLatin1(Text), Parent);
  if (Name) Label->setObjectName(QString::fromLatin1(Name));
  return Label;
}

QSpinBox* NewSpin(QWidget* Parent, const char* Name, int Min, int Max, int Value) {
  auto* Spin = new QSpinBox(Parent);
  Spin->setObjectName(QString::fromLatin1(Name));
  Spin->setRange(Min, Max);
  Spin->setValue(Value);
  return Spin;
}

}  // namespace

TAccuracyForm::TAccuracyForm(QWidget* Owner) : TBasicForm2(Owner) {
  SetPanelHeights(97, 64);

  auto* Work = new QVBoxLayout(Panel3);
  Work->setContentsMargins(0, 0, 0, 0);
  ResultGrid = new QTableView(Panel3);
  ResultGrid->setObjectName(QStringLiteral("ResultGrid"));
  ResultGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ResultGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ResultGrid->setWordWrap(false);
  ResultGrid->horizontalHeader()->setDefaultSectionSize(90);
  ResultGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  ResultGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  ResultGrid->verticalHeader()->setDefaultSectionSize(std::max(16, ResultGrid->fontMetrics().height() + 4));
  ResultGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ResultGrid->verticalHeader()->setMinimumWidth(90);
  Work->addWidget(ResultGrid);

  auto* CopyAction = new QAction(QStringLiteral("Copy"), ResultGrid);
  CopyAction->setObjectName(QStringLiteral("CopyAction"));
  CopyAction->setShortcut(QKeySequence::Copy);
  CopyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  ResultGrid->addAction(CopyAction);
  ResultGrid->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(CopyAction, &QAction::triggered, this, Guarded([this](bool) { CopyGrid(); }));

  auto* Buttons = new QVBoxLayout(Panel2);
  Buttons->setContentsMargins(12, 4, 12, 4);
  Buttons->setSpacing(2);
  auto* Settings = new QHBoxLayout;
  Settings->setSpacing(8);
  using L = TCrossTestLimits;
  RunsEdit = NewSpin(Panel2, "RunsEdit", L::MinRuns, L::MaxRuns, L::DefaultRuns);
  KNeighborsEdit = NewSpin(Panel2, "KNeighborsEdit", L::MinNeighbors, L::MaxNeighbors, L::DefaultNeighbors);
  PruningBox = new QCheckBox(QStringLiteral("Prune"), Panel2);
  PruningBox->setObjectName(QStringLiteral("PruningBox"));
  RunButton = new QPushButton(QStringLiteral("Run"), Panel2);
  RunButton->setObjectName(QStringLiteral("RunButton"));
  Settings->addWidget(NewLabel(Panel2, "Label1", "Test runs:"));
  Settings->addWidget(RunsEdit);
  Settings->addSpacing(12);
  Settings->addWidget(NewLabel(Panel2, "Label2", "K Neighbors:"));
  Settings->addWidget(KNeighborsEdit);
  Settings->addSpacing(12);
  Settings->addWidget(PruningBox);
  Settings->addSpacing(12);
  Settings->addWidget(RunButton);
  Settings->addStretch(1);
  auto* Progress = new QHBoxLayout;
  Progress->setSpacing(24);
  TableLabel = NewLabel(Panel2, "TableLabel", "Current database table:");
  SplitLabel = NewLabel(Panel2, "SplitLabel", "Split count:");
  // The run repaints the labels without a layout pass in between: each is
  // as wide as its longest text from the start.
  const QFontMetrics Metrics = TableLabel->fontMetrics();
  TableLabel->setMinimumWidth(Metrics.horizontalAdvance(QStringLiteral("Current database table: WWWWWWWWWWWW.DB")));
  SplitLabel->setMinimumWidth(Metrics.horizontalAdvance(QStringLiteral("Split number: 29 ")));
  Progress->addWidget(TableLabel);
  Progress->addWidget(SplitLabel);
  Progress->addStretch(1);
  Buttons->addLayout(Settings);
  Buttons->addLayout(Progress);

  connect(KNeighborsEdit, &QSpinBox::valueChanged, this, Guarded([this](int) { KNeighborsEditChange(); }));
  connect(RunButton, &QPushButton::clicked, this, Guarded([this](bool) { RunButtonClick(); }));

  FormCreate();
}

TAccuracyForm::~TAccuracyForm() = default;

void TAccuracyForm::FormCreate() {
  // The cross test closes its table, finds or adds the sample alias in the
  // owner's session and lists the alias's tables, as the page does.
  // An error here (no sample folder) is shown and the page stays; Run tries
  // again.
  CallGuarded([this] { RequireCrossTest(); });
  // Every table and the time row fit from the start.
  const int Rows = FCrossTest ? FCrossTest->GridRowCount() : TResultGrid().RowCount();
  FGridModel = new TResultGridModel(Rows, this);
  ResultGrid->setModel(FGridModel);

  RichEdit1->setPlainText(QStringLiteral(
      "When you press the learn button an up to 30 cross-run classification tests will be run. K-Neighbours "
      "edit box specifies the k-nearest neighbours to be used for classification by the k-NN algorithm. You "
      "can compare the obtained results with the \"Reference results\", because they were run on the same "
      "data with the same test method. Each table is split up to 30 times in to a learn and test dataset. "
      "Classification accuracy is measured for each split and finally mean and standard deviation over all "
      "splits are estimated. This splits are repeated for each classification algorithm. If you check the "
      "Prune box, the algorithms will first try to determine the best attributes and only those will be "
      "then be used for classification. Examples count denotes the number of examples used for learning. "
      "Prior probability gives the percentage of examples belonging to the majority class. Best attribute "
      "is the classification success, if the algorithm would be looking at only one attribute, which "
      "separates the classes best."));
  DisableOwnerHelp(Owner());
}

QString TAccuracyForm::Cell(int Col, int Row) const { return FGridModel->Cell(Col, Row); }

int TAccuracyForm::GridRowCount() const { return FGridModel->GridRows(); }

QString TAccuracyForm::GridText() const {
  return FCrossTest ? QString::fromStdString(FCrossTest->GridText()) : QString();
}

TCrossTest& TAccuracyForm::RequireCrossTest() {
  if (!FCrossTest) {
    FCrossTest = std::make_unique<TCrossTest>(nullptr, PageSession(Owner(), this), SampleDataFolder());
    FCrossTest->SetKNeighbors(KNeighborsEdit->value());
    FCrossTest->SetOnProgress([this](const TCrossTestProgress& P) { ShowProgress(P); });
  }
  return *FCrossTest;
}

void TAccuracyForm::KNeighborsEditChange() { RequireCrossTest().SetKNeighbors(KNeighborsEdit->value()); }

void TAccuracyForm::CopyGrid() { QGuiApplication::clipboard()->setText(GridText()); }

void TAccuracyForm::RunButtonClick() {
  RequireCrossTest();
  FCrossTest->SetRuns(RunsEdit->value());
  FCrossTest->SetPruning(PruningBox->isChecked());
  try {
    FCrossTest->Run();
  } catch (...) {
    ShowGrid();  // the grid keeps what the run wrote before the error
    throw;
  }
  ShowGrid();
}

void TAccuracyForm::ShowProgress(const TCrossTestProgress& Progress) {
  // The cells of the table before are written by now.
  ShowGrid();
  // The table label changes when a table opens; the later reports of the
  // same table concern the split label only.
  if (Progress.Split < 0 && !Progress.Optimizing) {
    TableLabel->setText(QString::fromStdString(Progress.TableText));
    TableLabel->repaint();
  }
  // Opening a table says nothing about the split; the label keeps its text.
  if (!Progress.SplitText.empty()) {
    SplitLabel->setText(QString::fromStdString(Progress.SplitText));
    SplitLabel->repaint();
  }
}

void TAccuracyForm::ShowGrid() {
  if (!FCrossTest) return;
  std::vector<QPoint> Changed;
  FGridModel->Sync(FCrossTest->ResultGrid(), Changed);
  if (Changed.empty()) return;
  // Columns grow to their texts (never below the default 90).
  QHeaderView* Top = ResultGrid->horizontalHeader();
  const QFontMetrics Metrics = ResultGrid->fontMetrics();
  for (int C = 0; C < FGridModel->columnCount(); ++C) {
    int Wanted = Top->sectionSizeHint(C);
    for (int Row = 1; Row < FGridModel->GridRows(); ++Row)
      Wanted = std::max(Wanted, Metrics.horizontalAdvance(FGridModel->Cell(C + 1, Row)) + 12);
    if (Wanted > ResultGrid->columnWidth(C)) ResultGrid->setColumnWidth(C, Wanted);
  }
  QRegion Cells;
  bool Headings = false;
  for (const QPoint& P : Changed) {
    if (P.x() == 0 || P.y() == 0)
      Headings = true;
    else
      Cells += ResultGrid->visualRect(FGridModel->index(P.y() - 1, P.x() - 1));
  }
  if (!Cells.isEmpty()) ResultGrid->viewport()->repaint(Cells);
  if (Headings) {
    ResultGrid->horizontalHeader()->viewport()->repaint();
    ResultGrid->verticalHeader()->viewport()->repaint();
  }
}
