// Page "Benchmark".
#include "LCPerformance.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <optional>

#include "Benchmark.h"
#include "Convert.h"
#include "DemoApplication.h"
#include "Exceptions.h"
#include "PageRegistry.h"

static const bool Registered = RegisterPageClass<TLcPerformanceForm>("TLcPerformanceForm");

namespace {

// Progress repaints closer together than this are skipped: a repaint costs
// about as much as learning a thousand cases.
constexpr int64_t RepaintIntervalMs = 40;

// The text that replaces an edit's value the page refuses.
constexpr int32_t ReplacementClasses = 50;
constexpr int32_t ReplacementDiscreteAttributes = 25;
constexpr int32_t ReplacementFloatAttributes = 25;
constexpr int32_t ReplacementLearnCases = 10000;
constexpr int32_t ReplacementTestCases = 10000;

}  // namespace

TLcPerformanceForm::TLcPerformanceForm(QWidget* Owner)
    : TBasicForm2(Owner), FBenchmark(std::make_unique<TLinearBenchmark>()) {
  FBenchmark->LinearClassifier().SetName("LinearClassifier");
  SetPanelHeights(88, 39);

  auto* Work = new QHBoxLayout(Panel3);
  Work->setContentsMargins(12, 12, 12, 12);
  Work->setSpacing(24);
  auto* Edits = new QGridLayout;
  Edits->setHorizontalSpacing(8);
  using D = TBenchmarkDefaults;
  ClassesEdit = NewEdit(Edits, 0, "ClassesEdit", "Number of classes:", D::Classes);
  DAttributesEdit = NewEdit(Edits, 1, "DAttributesEdit", "Number of discrete attributes:", D::DiscreteAttributes);
  FAttributesEdit = NewEdit(Edits, 2, "FAttributesEdit", "Number of float attributes:", D::FloatAttributes);
  LearnEdit = NewEdit(Edits, 3, "LearnEdit", "Total number of learn examples:", D::LearnCases);
  TestEdit = NewEdit(Edits, 4, "TestEdit", "Total number of test examples:", D::TestCases);
  Edits->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 5, 0);
  Edits->setVerticalSpacing(10);

  auto* Results = new QVBoxLayout;
  CountLabel = new QLabel(QStringLiteral("Count:"), Panel3);
  CountLabel->setObjectName(QStringLiteral("CountLabel"));
  TimeLabel = new QLabel(QStringLiteral("Total time: "), Panel3);
  TimeLabel->setObjectName(QStringLiteral("TimeLabel"));
  CasesPerSecondLabel = new QLabel(QStringLiteral("Cases per second:"), Panel3);
  CasesPerSecondLabel->setObjectName(QStringLiteral("CasesPerSecondLabel"));
  for (QLabel* L : {CountLabel, TimeLabel, CasesPerSecondLabel}) {
    L->setMinimumWidth(220);
    Results->addWidget(L);
  }
  Results->addSpacing(12);

  GroupBox1 = new QGroupBox(QStringLiteral("Computational complexities"), Panel3);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  auto* Box = new QGridLayout(GroupBox1);
  const char* const Lines[][2] = {
      {"Learn one new example: c*O(a)", "Classify one example: c*O(a*m)"},
      {"Learn n new examples: c*O(a*n)", "Classify n examples: c*O(a*n*m)"},
      {"a = number of attributes", "m = number of classes"},
      {"n = number of examples", nullptr},
  };
  for (int Row = 0; Row < 4; ++Row)
    for (int Column = 0; Column < 2; ++Column)
      if (Lines[Row][Column]) Box->addWidget(new QLabel(QString::fromLatin1(Lines[Row][Column]), GroupBox1), Row, Column);
  Results->addWidget(GroupBox1);
  Results->addStretch(1);

  Work->addLayout(Edits);
  Work->addLayout(Results);
  Work->addStretch(1);

  auto* Buttons = new QHBoxLayout(Panel2);
  Buttons->setContentsMargins(12, 6, 12, 6);
  LearnButton = new QPushButton(QStringLiteral("Learn examples"), Panel2);
  LearnButton->setObjectName(QStringLiteral("LearnButton"));
  ClassifyButton = new QPushButton(QStringLiteral("Classify examples"), Panel2);
  ClassifyButton->setObjectName(QStringLiteral("ClassifyButton"));
  Buttons->addWidget(LearnButton);
  Buttons->addWidget(ClassifyButton);
  Buttons->addStretch(1);

  connect(ClassesEdit, &QLineEdit::textChanged, this, Guarded([this](const QString&) { ClassesEditChange(); }));
  connect(DAttributesEdit, &QLineEdit::textChanged, this, Guarded([this](const QString&) { DAttributesEditChange(); }));
  connect(FAttributesEdit, &QLineEdit::textChanged, this, Guarded([this](const QString&) { FAttributesEditChange(); }));
  connect(LearnEdit, &QLineEdit::textChanged, this, Guarded([this](const QString&) { LearnEditChange(); }));
  connect(TestEdit, &QLineEdit::textChanged, this, Guarded([this](const QString&) { TestEditChange(); }));
  connect(LearnButton, &QPushButton::clicked, this, Guarded([this](bool) { LearnButtonClick(); }));
  connect(ClassifyButton, &QPushButton::clicked, this, Guarded([this](bool) { ClassifyButtonClick(); }));
  FBenchmark->SetOnProgress([this](const std::string& Text) { ShowProgress(Text); });

  FormCreate();
}

TLcPerformanceForm::~TLcPerformanceForm() = default;

TLinearClassifier& TLcPerformanceForm::LinearClassifier() { return FBenchmark->LinearClassifier(); }

QLineEdit* TLcPerformanceForm::NewEdit(QGridLayout* Grid, int Row, const char* Name, const char* Label,
                                       int32_t Initial) {
  auto* Edit = new QLineEdit(QString::number(Initial), Panel3);
  Edit->setObjectName(QString::fromLatin1(Name));
  Edit->setFixedWidth(90);
  Grid->addWidget(new QLabel(QString::fromLatin1(Label), Panel3), Row, 0);
  Grid->addWidget(Edit, Row, 1);
  return Edit;
}

void TLcPerformanceForm::FormCreate() {
  RichEdit1->setPlainText(QStringLiteral(
      "This example tests the performance of the \"linear classifier\". The speed of learning and "
      "classification is high enough to make use of clustering algorithms uneccessary (too slow and not "
      "real time).Press the \"learn examples\" button to measure the speed of learming. Press the "
      "\"classify examples\" button to measure the speed of classifying. You can also change the learn "
      "and classify parameters to see how the algorithm scales."));
  DisableOwnerHelp(Owner());
  // The classifier starts with what the edits show, so the first run
  // measures the shown problem (the component's stored 25 + 25 would not).
  DAttributesEditChange();
  FAttributesEditChange();
}

std::optional<int32_t> TLcPerformanceForm::NumberOrReplace(QLineEdit* Edit, int32_t Replacement) {
  const std::optional<int32_t> Number = TryStrToInt(Edit->text().toStdString());
  if (!Number) Edit->setText(QString::number(Replacement));
  return Number;
}

void TLcPerformanceForm::ClassesEditChange() { NumberOrReplace(ClassesEdit, ReplacementClasses); }

void TLcPerformanceForm::DAttributesEditChange() {
  if (const auto N = NumberOrReplace(DAttributesEdit, ReplacementDiscreteAttributes))
    LinearClassifier().SetDiscreteAttributeCount(*N);
}

void TLcPerformanceForm::FAttributesEditChange() {
  if (const auto N = NumberOrReplace(FAttributesEdit, ReplacementFloatAttributes))
    LinearClassifier().SetFloatAttributeCount(*N);
}

void TLcPerformanceForm::LearnEditChange() { NumberOrReplace(LearnEdit, ReplacementLearnCases); }

void TLcPerformanceForm::TestEditChange() { NumberOrReplace(TestEdit, ReplacementTestCases); }

void TLcPerformanceForm::ShowProgress(const std::string& Text) {
  CountLabel->setText(QString::fromStdString(Text));
  emit ProgressShown(CountLabel->text());
  if (FSinceRepaint.isValid() && FSinceRepaint.elapsed() < RepaintIntervalMs) return;
  FSinceRepaint.start();
  CountLabel->repaint();
}

void TLcPerformanceForm::ShowRun(const std::function<TBenchmarkRun()>& Measure, const char* Prefix,
                                 const QLineEdit* CountEdit) {
  TimeLabel->clear();
  CasesPerSecondLabel->clear();
  TimeLabel->repaint();
  CasesPerSecondLabel->repaint();
  FSinceRepaint.invalidate();  // the run's first progress text is painted
  const TBenchmarkRun Run = Measure();
  TimeLabel->setText(QString::fromStdString(Run.TimeText));
  CountLabel->setText(QString::fromLatin1(Prefix) + CountEdit->text());
  CasesPerSecondLabel->setText(QString::fromStdString(Run.RateText));
}

void TLcPerformanceForm::LearnButtonClick() {
  ShowRun([this] {
    return FBenchmark->Learn(StrToInt(ClassesEdit->text().toStdString()), StrToInt(LearnEdit->text().toStdString()));
  }, TLinearBenchmark::LearnedPrefix, LearnEdit);
}

void TLcPerformanceForm::ClassifyButtonClick() {
  // Refused before the results are cleared: they still belong to the model.
  const int32_t Classes = StrToInt(ClassesEdit->text().toStdString());
  FBenchmark->CheckLearned(Classes);
  ShowRun([&] { return FBenchmark->Classify(Classes, StrToInt(TestEdit->text().toStdString())); },
          TLinearBenchmark::ClassifiedPrefix, TestEdit);
}
