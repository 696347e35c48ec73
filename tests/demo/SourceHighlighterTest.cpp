// The source view's scanner and highlighting, for the brace-comment keyword
// table and for the C++ definition.
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include "DemoTestSupport.h"
#include "SourceHighlighter.h"

namespace {

// The runs as "K:word" / "C:text" over the scanned text.
QStringList Runs(const std::string& Text, const TLanguageDefinition& Language) {
  QStringList Result;
  for (const TSourceRun& Run : ScanSource(Text, Language))
    Result << QString::fromLatin1(Run.Kind == TSourceRun::rkKeyword ? "K:" : "C:") +
                  QString::fromStdString(Text.substr(static_cast<size_t>(Run.Start), static_cast<size_t>(Run.Length)));
  return Result;
}

struct TCharStyle {
  bool Bold;
  bool Italic;
  QColor Colour;
};

// The style of the character at document position Position.
TCharStyle StyleAt(QTextEdit& View, int Position) {
  QTextCursor Cursor(View.document());
  Cursor.setPosition(Position + 1);  // the format of the character before the cursor
  const QTextCharFormat F = Cursor.charFormat();
  return {F.fontWeight() >= QFont::Bold, F.fontItalic(), F.foreground().color()};
}

int Find(QTextEdit& View, const QString& Text) { return View.toPlainText().indexOf(Text); }

}  // namespace

class TestSourceHighlighter : public QObject {
  Q_OBJECT

private slots:
  void KeywordTableHasItsThirtyFourWords() {
    QCOMPARE(BraceCommentDefinition().Keywords.size(), size_t(34));
    QVERIFY(BraceCommentDefinition().IsKeyword("packed"));
    QVERIFY(!BraceCommentDefinition().IsKeyword("PACK"));
  }

  void KeywordsWholeWordsAnyCaseWithPunctuation() {
    const auto& P = BraceCommentDefinition();
    QCOMPARE(Runs("Begin x; end.", P), (QStringList{"K:Begin", "K:end"}));
    QCOMPARE(Runs("BEGINNER ending", P), QStringList{});      // a word that begins with a keyword is not one
    QCOMPARE(Runs("if(a)then", P), (QStringList{"K:if", "K:then"}));
    QCOMPARE(Runs("END1 x", P), QStringList{"K:END"});         // digits end a word
    QCOMPARE(Runs("my_var var", P), QStringList{"K:var"});     // "_" is a letter
  }

  void BraceCommentsAndTheConsumedCharacter() {
    const auto& P = BraceCommentDefinition();
    QCOMPARE(Runs("{ begin end } begin", P), (QStringList{"C:{ begin end }", "K:begin"}));
    // The brace right after a word is consumed with it and opens nothing.
    QCOMPARE(Runs("begin{ end }", P), (QStringList{"K:begin", "K:end"}));
    // A comment over several lines is one run; keywords inside stay plain.
    QCOMPARE(Runs("x {line one\r\nbegin two} end\r\n", P), (QStringList{"C:{line one\r\nbegin two}", "K:end"}));
    // Quotes are plain text for this table.
    QCOMPARE(Runs("'begin'", P), QStringList{"K:begin"});
  }

  void UnclosedBraceStopsAtTheEnd() {
    const auto& P = BraceCommentDefinition();
    QCOMPARE(Runs("end { begin", P), (QStringList{"K:end", "C:{ begin"}));
    QCOMPARE(Runs("{", P), QStringList{});  // the loop runs while position < length
    QCOMPARE(Runs("x{", P), QStringList{});
    QCOMPARE(Runs("xy {", P), QStringList{});  // the word took the blank; the brace is last
    QCOMPARE(Runs("xy  {", P), QStringList{"C:{"});
    QCOMPARE(Runs("", P), QStringList{});
  }

  void NextWordSteps() {
    const std::string Text = "do{x}";
    int Position = 1, Start = -1, Length = -1;
    QVERIFY(NextWord(Text, Position, BraceCommentDefinition(), {}, Start, Length));
    QCOMPARE(Start, 0);
    QCOMPARE(Length, 2);
    QCOMPARE(Position, 4);  // "do" and the brace after it
    QVERIFY(!NextWord(Text, Position, BraceCommentDefinition(), {}, Start, Length));
    QCOMPARE(Length, 1);  // "x"
    QVERIFY(!NextWord(Text, Position, BraceCommentDefinition(), {}, Start, Length));
    QCOMPARE(Length, 0);  // end of text
  }

  void CppDefinition_() {
    const auto& C = CppDefinition();
    QCOMPARE(Runs("int32_t x; int y;", C), QStringList{"K:int"});  // digits inside identifiers
    QCOMPARE(Runs("If if", C), QStringList{"K:if"});                // exact case
    QCOMPARE(Runs("return 1; // if not\r\nelse", C), (QStringList{"K:return", "C:// if not", "K:else"}));
    QCOMPARE(Runs("a /* if\r\n while */ for", C), (QStringList{"C:/* if\r\n while */", "K:for"}));
    // Comment markers inside literals open nothing.
    QCOMPARE(Runs("s = \"/* not */ // no\"; '\"'; return", C), QStringList{"K:return"});
    QCOMPARE(Runs("\"a\\\"/*\" do", C), QStringList{"K:do"});
    // Braces are code here.
    QCOMPARE(Runs("{ while }", C), QStringList{"K:while"});
    QCOMPARE(Runs("x /* open", C), QStringList{"C:/* open"});
  }

  void HighlightFormatsTheView() {
    QTextEdit View;
    View.setPlainText("unit A;\n{ a comment\nover begin lines }\nbegin{x} END1\n");
    HighlightSource(View, BraceCommentDefinition());
    QVERIFY(StyleAt(View, Find(View, "unit")).Bold);
    const int Comment = Find(View, "{ a comment");
    const int CommentEnd = Find(View, "lines }") + 6;
    for (int P = Comment; P <= CommentEnd; ++P) {
      if (View.toPlainText()[P] == QChar('\n')) continue;
      const TCharStyle S = StyleAt(View, P);
      QVERIFY2(S.Italic && !S.Bold && S.Colour == QColor(0, 0, 128), qPrintable(QString::number(P)));
    }
    QVERIFY(!StyleAt(View, CommentEnd + 1).Italic);
    const int Begin = View.toPlainText().lastIndexOf("begin");
    QVERIFY(StyleAt(View, Begin).Bold);
    QVERIFY(StyleAt(View, Begin + 4).Bold);
    QVERIFY(!StyleAt(View, Begin + 5).Bold);  // the brace
    QVERIFY(!StyleAt(View, Begin + 5).Italic);
    QVERIFY(StyleAt(View, Find(View, "END1")).Bold);
    QVERIFY(!StyleAt(View, Find(View, "END1") + 3).Bold);
    QVERIFY(!StyleAt(View, Find(View, "A;")).Bold);
    QVERIFY(!View.textCursor().hasSelection());
    QCOMPARE(View.textCursor().position(), 0);
  }

  void HighlightPositionsAfterManyLines() {
    // Every line break counts two characters in the scan, one in the view.
    QTextEdit View;
    QString Text;
    for (int I = 0; I < 50; ++I) Text += "x\n";
    Text += "int y; // note\nreturn;";
    View.setPlainText(Text);
    HighlightSource(View, CppDefinition());
    const int Int = Find(View, "int");
    QVERIFY(StyleAt(View, Int).Bold && StyleAt(View, Int + 2).Bold && !StyleAt(View, Int + 3).Bold);
    QVERIFY(!StyleAt(View, Int - 2).Bold);  // the "x" of the line before
    QVERIFY(StyleAt(View, Find(View, "// note")).Italic);
    QVERIFY(StyleAt(View, Find(View, "note") + 3).Italic);
    QVERIFY(!StyleAt(View, Find(View, "return")).Italic);
    QVERIFY(StyleAt(View, Find(View, "return") + 5).Bold);
  }
};

DEMO_TEST_MAIN(TestSourceHighlighter)
#include "SourceHighlighterTest.moc"
