// The benchmark page: the classifier's settings, the edits' replacements,
// the labels and their formats, "Learn first!" and the progress counts.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>

#include "DemoTestSupport.h"
#include "LCPerformance.h"
#include "LinearClassifier.h"

namespace {

struct TOwner {
  QWidget Window;
  QPushButton* Help = new QPushButton("Corvan &Help", &Window);
  TOwner() { Help->setObjectName("btnHelp"); }
};

bool Matches(const QString& Text, const char* Pattern) {
  return QRegularExpression(QString::fromLatin1(Pattern)).match(Text).hasMatch();
}

}  // namespace

class TestLcPerformance : public QObject {
  Q_OBJECT

private slots:
  void FreshPage() {
    TOwner Owner;
    TLcPerformanceForm Page(&Owner.Window);
    QVERIFY(!Owner.Help->isEnabled());
    QVERIFY(Page.RichEdit1->toPlainText().startsWith("This example tests the performance of the \"linear classifier\"."));
    QVERIFY(Page.RichEdit1->toPlainText().contains("(too slow and not real time).Press the \"learn examples\" button"));
    QCOMPARE(Page.CountLabel->text(), QString("Count:"));
    QCOMPARE(Page.TimeLabel->text(), QString("Total time: "));
    QCOMPARE(Page.CasesPerSecondLabel->text(), QString("Cases per second:"));
    QCOMPARE(Page.ClassesEdit->text(), QString("20"));
    QCOMPARE(Page.LearnEdit->text(), QString("200000"));
    QCOMPARE(Page.TestEdit->text(), QString("20000"));
    const TLinearClassifier& C = Page.LinearClassifier();
    QCOMPARE(QString::fromStdString(C.Name()), QString("LinearClassifier"));
    QVERIFY(C.IndexesZeroBased());
    QCOMPARE(C.MissingDiscreteIndex(), -1);
    QCOMPARE(QString::fromStdString(C.MissingFloatValue()), QString("999"));
    QCOMPARE(C.RejectProbability(), 0.01);
    QVERIFY(!C.UsePriorProbability());
    // The page applies the counts it shows.
    QCOMPARE(C.DiscreteAttributeCount(), 15);
    QCOMPARE(C.FloatAttributeCount(), 15);
    QCOMPARE(C.Classes()->Count(), 0);
  }

  void InvalidTextIsReplacedAtOnce() {
    TOwner Owner;
    TLcPerformanceForm Page(&Owner.Window);
    QTest::keyClick(Page.LearnEdit, Qt::Key_X);
    QCOMPARE(Page.LearnEdit->text(), QString("10000"));
    Page.ClassesEdit->clear();
    QCOMPARE(Page.ClassesEdit->text(), QString("50"));
    Page.TestEdit->setText("12.5");
    QCOMPARE(Page.TestEdit->text(), QString("10000"));
    Page.TestEdit->setText("99999999999");  // beyond 32 bits
    QCOMPARE(Page.TestEdit->text(), QString("10000"));
    Page.DAttributesEdit->setText("7");
    QCOMPARE(Page.LinearClassifier().DiscreteAttributeCount(), 7);
    Page.DAttributesEdit->setText("seven");
    QCOMPARE(Page.DAttributesEdit->text(), QString("25"));
    QCOMPARE(Page.LinearClassifier().DiscreteAttributeCount(), 25);
    Page.FAttributesEdit->setText("");
    QCOMPARE(Page.FAttributesEdit->text(), QString("25"));
    QCOMPARE(Page.LinearClassifier().FloatAttributeCount(), 25);
    Page.FAttributesEdit->setText("3");
    QCOMPARE(Page.LinearClassifier().FloatAttributeCount(), 3);
  }

  void LearnThenClassifyWithTheirFormats() {
    TMessageRecorder Recorder;
    TOwner Owner;
    TLcPerformanceForm Page(&Owner.Window);
    Page.ClassesEdit->setText("5");
    Page.LearnEdit->setText("2500");
    Page.TestEdit->setText("1200");
    QStringList Progress;
    connect(&Page, &TLcPerformanceForm::ProgressShown, [&Progress](const QString& T) { Progress << T; });
    QTest::mouseClick(Page.LearnButton, Qt::LeftButton);
    QVERIFY(Recorder.Messages.isEmpty());
    QCOMPARE(Progress, (QStringList{"Learned cases = 0", "Learned cases = 1000", "Learned cases = 2000"}));
    QCOMPARE(Page.CountLabel->text(), QString("Learned cases = 2500"));
    QVERIFY2(Matches(Page.TimeLabel->text(), "^Time: \\d\\d:\\d\\d:\\d\\d:\\d{2,3}$"), qPrintable(Page.TimeLabel->text()));
    QVERIFY2(Matches(Page.CasesPerSecondLabel->text(), "^(\\d+|more than \\d+) Cases/second$"),
             qPrintable(Page.CasesPerSecondLabel->text()));
    QCOMPARE(Page.LinearClassifier().Classes()->Count(), 5);

    Progress.clear();
    QTest::mouseClick(Page.ClassifyButton, Qt::LeftButton);
    QVERIFY(Recorder.Messages.isEmpty());
    QCOMPARE(Progress, (QStringList{"Classified cases = 0", "Classified cases = 1000"}));
    QCOMPARE(Page.CountLabel->text(), QString("Classified cases = 1200"));
    QVERIFY2(Matches(Page.TimeLabel->text(), "^Time: \\d\\d:\\d\\d:\\d\\d:\\d{3}$"), qPrintable(Page.TimeLabel->text()));

    // The count is shown as typed.
    Page.LearnEdit->setText("0100");
    QTest::mouseClick(Page.LearnButton, Qt::LeftButton);
    QCOMPARE(Page.CountLabel->text(), QString("Learned cases = 0100"));
  }

  void ClassifyingBeforeLearningOrAfterAClassChange() {
    TMessageRecorder Recorder;
    TOwner Owner;
    TLcPerformanceForm Page(&Owner.Window);
    QTest::mouseClick(Page.ClassifyButton, Qt::LeftButton);
    QCOMPARE(Recorder.Messages, QStringList{"Learn first!"});
    QCOMPARE(Page.CountLabel->text(), QString("Count:"));  // no label changes
    QCOMPARE(Page.TimeLabel->text(), QString("Total time: "));

    Page.LearnEdit->setText("3000");
    QTest::mouseClick(Page.LearnButton, Qt::LeftButton);
    Page.ClassesEdit->setText("21");
    const QString Shown = Page.TimeLabel->text();
    QTest::mouseClick(Page.ClassifyButton, Qt::LeftButton);
    QCOMPARE(Recorder.Messages.size(), 2);
    QCOMPARE(Recorder.Messages[1], QString("Learn first!"));
    QCOMPARE(Page.TimeLabel->text(), Shown);
  }

  void LearningNothingLeavesNoClasses() {
    TMessageRecorder Recorder;
    TOwner Owner;
    TLcPerformanceForm Page(&Owner.Window);
    Page.LearnEdit->setText("0");
    QTest::mouseClick(Page.LearnButton, Qt::LeftButton);
    QCOMPARE(Page.CountLabel->text(), QString("Learned cases = 0"));
    QCOMPARE(Page.LinearClassifier().Classes()->Count(), 0);
    QTest::mouseClick(Page.ClassifyButton, Qt::LeftButton);
    QCOMPARE(Recorder.Messages, QStringList{"Learn first!"});
    // With a class count of 0 there is nothing to learn first... but no
    // class to draw either: the measurement refuses, clearly.
    Page.ClassesEdit->setText("0");
    QTest::mouseClick(Page.LearnButton, Qt::LeftButton);
    QCOMPARE(Recorder.Messages.last(), QString("Number of classes must be at least 1"));
    QTest::mouseClick(Page.ClassifyButton, Qt::LeftButton);
    QCOMPARE(Page.CountLabel->text(), QString("Classified cases = 20000"));
  }
};

DEMO_TEST_MAIN(TestLcPerformance)
#include "LCPerformanceTest.moc"
