// The text pages: the built texts with their style, which page is editable,
// and the file pages with a missing, plain or broken file.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextList>

#include "ApplicationsIntro.h"
#include "DataDesc.h"
#include "DemoTestSupport.h"
#include "Intro.h"
#include "IntroClass.h"
#include "IntroDB.h"
#include "LCReference.h"
#include "PageRegistry.h"
#include "QuickS.h"

namespace {

struct TParagraph {
  QString Text;
  bool Bullet;
};

QList<TParagraph> Paragraphs(const QTextEdit& Edit) {
  QList<TParagraph> Result;
  for (QTextBlock B = Edit.document()->begin(); B.isValid(); B = B.next()) Result.push_back({B.text(), B.textList() != nullptr});
  return Result;
}

// The owner a page disables its help button in.
struct TOwner {
  QWidget Window;
  QPushButton* Help = new QPushButton("Corvan &Help", &Window);
  TOwner() { Help->setObjectName("btnHelp"); }
};

void WriteFile(const QString& Name, const QByteArray& Bytes) {
  QFile File(Name);
  QVERIFY(File.open(QIODevice::WriteOnly));
  File.write(Bytes);
}

}  // namespace

class TestTextPages : public QObject {
  Q_OBJECT

private slots:
  void init() {
    FOriginalFolder = QDir::currentPath();
    FWork = std::make_unique<QTemporaryDir>();
    QDir::setCurrent(FWork->path());
  }
  void cleanup() {
    QDir::setCurrent(FOriginalFolder);
    FWork.reset();
  }

  void EveryTopicPageIsRegistered() {
    for (const char* Name : {"TIntroduction", "TApplicationsIntroForm", "TIntroDBForm", "TDataDescForm", "TIntroClassForm",
                             "TLCReferenceForm", "TQuickStartForm", "tlcperformanceform"})
      QVERIFY2(IsPageClassRegistered(Name), Name);
  }

  void IntroductionText() {
    TOwner Owner;
    TIntroduction Page(&Owner.Window);
    QVERIFY(!Owner.Help->isEnabled());
    QCOMPARE(Page.Label1->text(), QString("Welcome to Pellory v 1.0"));
    QVERIFY(!Page.RichEdit1->isReadOnly());
    const auto P = Paragraphs(*Page.RichEdit1);
    QCOMPARE(P[0].Text, QString("Welcome to Pellory - an artificial inteligence tool"));
    QVERIFY(!P[0].Bullet);
    QCOMPARE(P[1].Text, QString());
    QCOMPARE(P[4].Text, QString("All included  algorithms feature incremental learning. Ideal for dynamic systems."));
    for (int I = 2; I <= 10; ++I) QVERIFY2(P[I].Bullet, qPrintable(P[I].Text));
    QCOMPARE(P[9].Text, QString("Plug & play. One button learn and classify"));
    QCOMPARE(P[11].Text, QString());
    QVERIFY(!P[11].Bullet);
    QVERIFY(P[12].Text.startsWith("Navigate through the demo application, to learn more about the Pellory and experience it's"));
    QVERIFY(!P[12].Bullet);

    // The style: colour, 14 point, bold except for the italic closing line.
    QTextCursor Title(Page.RichEdit1->document()->begin());
    Title.movePosition(QTextCursor::NextCharacter);
    QCOMPARE(Title.charFormat().foreground().color(), QColor(51, 51, 153));
    QCOMPARE(Title.charFormat().fontPointSize(), 14.0);
    QVERIFY(Title.charFormat().font().bold());
    QTextCursor Closing(Page.RichEdit1->document()->findBlockByNumber(12));
    Closing.movePosition(QTextCursor::NextCharacter);
    QVERIFY(Closing.charFormat().fontItalic());
    QVERIFY(!Closing.charFormat().font().bold());
    QCOMPARE(Closing.charFormat().foreground().color(), QColor(51, 51, 153));
  }

  void BuiltPagesAreReadOnlyWithTheirLists() {
    TOwner Owner;
    {
      TApplicationsIntroForm Page(&Owner.Window);
      QVERIFY(Page.RichEdit1->isReadOnly());
      const auto P = Paragraphs(*Page.RichEdit1);
      QCOMPARE(P[0].Text, QString("Applications"));
      QCOMPARE(P[2].Text, QString("Decision making in finance. Give a loan, don't give a loan"));
      QCOMPARE(P[8].Text, QString("Predict future from the past expiriences"));
      QVERIFY(P[8].Bullet);
      QCOMPARE(P.size(), 10);  // the caret's paragraph, no closing empty one
      QVERIFY(!P[9].Bullet);
    }
    {
      TIntroDBForm Page(&Owner.Window);
      const auto P = Paragraphs(*Page.RichEdit1);
      QCOMPARE(P[0].Text, QString("Standard database interface"));
      QCOMPARE(P[8].Text, QString("Connects to any TDataset descendant"));
      QCOMPARE(P.size(), 11);  // one empty paragraph after the list
      QVERIFY(!P[9].Bullet && P[9].Text.isEmpty());
    }
    {
      TIntroClassForm Page(&Owner.Window);
      const auto P = Paragraphs(*Page.RichEdit1);
      QCOMPARE(P[0].Text, QString("Classification algorithms"));
      QCOMPARE(P[4].Text, QString("Special new linear-classifier algorithm greatly widens the range of possible applications."));
      QCOMPARE(P[6].Text, QString("Support for discrete and real attributes."));
      QVERIFY(P[6].Bullet);
    }
  }

  void FilePagesStayEmptyWithoutTheirFiles() {
    TOwner Owner;
    TDataDescForm Data(&Owner.Window);
    TLCReferenceForm Reference(&Owner.Window);
    TQuickStartForm Quick(&Owner.Window);
    for (TBasicForm3* Page : {static_cast<TBasicForm3*>(&Data), static_cast<TBasicForm3*>(&Reference),
                              static_cast<TBasicForm3*>(&Quick)}) {
      QVERIFY(Page->RichEdit1->toPlainText().isEmpty());
      QVERIFY(Page->RichEdit1->isReadOnly());
    }
    QVERIFY(!Owner.Help->isEnabled());
  }

  void FilePageShowsPlainTextAndSurvivesBrokenFiles() {
    TOwner Owner;
    WriteFile("QuickStart.rtf", "Just plain words.\nSecond line.\n");
    {
      TQuickStartForm Page(&Owner.Window);
      QVERIFY(Page.RichEdit1->toPlainText().startsWith("Just plain words.\nSecond line."));
    }
    // Broken rich text: the page shows what it can or nothing, silently.
    for (const QByteArray& Broken : {QByteArray("{\\rtf1{{{{"), QByteArray("{\\rtf1\\'"), QByteArray("{\\rtf1}}}}}"),
                                     QByteArray("\0\1\2", 3)}) {
      WriteFile("Description.rtf", Broken);
      TMessageRecorder Recorder;
      TDataDescForm Page(&Owner.Window);
      QVERIFY(Recorder.Messages.isEmpty());
      QVERIFY(!Page.RichEdit1->toPlainText().contains("rtf"));
    }
  }

private:
  std::unique_ptr<QTemporaryDir> FWork;
  QString FOriginalFolder;
};

DEMO_TEST_MAIN(TestTextPages)
#include "TextPagesTest.moc"
