// Page "Benchmark" (TLcPerformanceForm): how fast the linear classifier
// learns and classifies synthetic cases. The measurement is the
// Experiments library's, the one `pellory bench` prints, so both give the
// same figures; the page only reads its edits and shows the texts.
#pragma once

#include <QElapsedTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Basic2.h"

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TLinearBenchmark;
class TLinearClassifier;
struct TBenchmarkRun;

class TLcPerformanceForm : public TBasicForm2 {
  Q_OBJECT
public:
  explicit TLcPerformanceForm(QWidget* Owner);
  ~TLcPerformanceForm() override;

  TLinearClassifier& LinearClassifier();

  QLineEdit* ClassesEdit;
  QLineEdit* DAttributesEdit;
  QLineEdit* FAttributesEdit;
  QLineEdit* LearnEdit;
  QLineEdit* TestEdit;
  QLabel* CountLabel;
  QLabel* TimeLabel;
  QLabel* CasesPerSecondLabel;
  QGroupBox* GroupBox1;
  QPushButton* LearnButton;
  QPushButton* ClassifyButton;

  // The event handlers, callable as the controls call them.
  void ClassesEditChange();
  void DAttributesEditChange();
  void FAttributesEditChange();
  void LearnEditChange();
  void TestEditChange();
  void LearnButtonClick();
  void ClassifyButtonClick();

signals:
  // Every progress text of a run ("Learned cases = 1000"), as it is shown.
  void ProgressShown(const QString& Text);

private:
  void FormCreate();
  QLineEdit* NewEdit(QGridLayout* Grid, int Row, const char* Name, const char* Label, int32_t Initial);
  // The edit's number; an invalid text is replaced by Replacement (which
  // runs the change handler again) and yields nothing.
  std::optional<int32_t> NumberOrReplace(QLineEdit* Edit, int32_t Replacement);
  // Shows a progress text; repaints at most every few hundredths of a
  // second, so the repaint does not cost the measurement.
  void ShowProgress(const std::string& Text);
  // Clears the results, runs Measure and shows its texts, the count as
  // Prefix and the count edit's own text.
  void ShowRun(const std::function<TBenchmarkRun()>& Measure, const char* Prefix, const QLineEdit* CountEdit);

  std::unique_ptr<TLinearBenchmark> FBenchmark;
  QElapsedTimer FSinceRepaint;  // invalid until the first repaint of a run
};
