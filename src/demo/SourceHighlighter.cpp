// Keyword and comment highlighting of the source view; see
// SourceHighlighter.h.
#include "SourceHighlighter.h"

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>
#include <cctype>

namespace {

bool IsLetter(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
bool IsDigit(char C) { return C >= '0' && C <= '9'; }

// Whether Marker starts at the 1-based Position of Text.
bool StartsAt(std::string_view Text, int Position, const std::string& Marker) {
  return !Marker.empty() && Text.substr(static_cast<size_t>(Position - 1)).starts_with(Marker);
}

// The 1-based position of the last character of the comment opened at
// Position: its closer's last character, the character before the line
// break of a line comment, or the end of the text.
int CommentEnd(std::string_view Text, int Position, const TCommentMarker& Marker) {
  const size_t From = static_cast<size_t>(Position - 1) + Marker.Open.size();
  if (Marker.Close.empty()) {
    const size_t Break = Text.find_first_of("\r\n", From);
    return Break == std::string_view::npos ? static_cast<int>(Text.size()) : static_cast<int>(Break);
  }
  const size_t Close = Text.find(Marker.Close, From);
  if (Close == std::string_view::npos) return static_cast<int>(Text.size());
  return static_cast<int>(Close + Marker.Close.size());
}

// The 1-based position of the closing quote of the literal opened at
// Position, or the end of its line when it is not closed there.
int StringEnd(std::string_view Text, int Position) {
  const char Quote = Text[static_cast<size_t>(Position - 1)];
  int P = Position + 1;
  const int Length = static_cast<int>(Text.size());
  while (P <= Length) {
    const char C = Text[static_cast<size_t>(P - 1)];
    if (C == '\\') {
      P += 2;
      continue;
    }
    if (C == Quote) return P;
    if (C == '\r' || C == '\n') return P - 1;
    ++P;
  }
  return Length;
}

std::string Upper(std::string_view Word) {
  std::string Result(Word);
  for (char& C : Result) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  return Result;
}

}  // namespace

bool TLanguageDefinition::IsKeyword(std::string_view Word) const {
  const std::string Key = CaseSensitive ? std::string(Word) : Upper(Word);
  return std::find(Keywords.begin(), Keywords.end(), Key) != Keywords.end();
}

const TLanguageDefinition& BraceCommentDefinition() {
  static const TLanguageDefinition Definition{
      {"UNIT", "INTERFACE", "BEGIN", "IMPLEMENTATION", "PROCEDURE", "INHERITED", "INITIALIZATION", "END", "CLASS",
       "TYPE", "VAR", "PRIVATE", "PUBLIC", "IF", "ELSE", "WHILE", "FOR", "REPEAT", "RECORD", "OBJECT", "FUNCTION",
       "STRING", "CONST", "AND", "NOT", "IN", "DO", "THEN", "WITH", "USES", "TRY", "FINALLY", "EXCEPT", "PACKED"},
      {{"{", "}"}},
      "",
      false,
      false};
  return Definition;
}

const TLanguageDefinition& CppDefinition() {
  static const TLanguageDefinition Definition{
      {"alignas",   "alignof",  "auto",      "bool",     "break",        "case",      "catch",    "char",
       "class",     "const",    "constexpr", "continue", "default",      "delete",    "do",       "double",
       "else",      "enum",     "explicit",  "extern",   "false",        "float",     "for",      "friend",
       "if",        "inline",   "int",       "long",     "namespace",    "new",       "noexcept", "nullptr",
       "operator",  "override", "private",   "protected", "public",      "return",    "short",    "signed",
       "sizeof",    "static",   "static_cast", "struct", "switch",       "template",  "this",     "throw",
       "true",      "try",      "typedef",   "typename", "union",        "unsigned",  "using",    "virtual",
       "void",      "volatile", "while",     "const_cast", "dynamic_cast", "reinterpret_cast", "decltype",
       "final",     "mutable",  "consteval", "constinit", "concept",     "requires",  "co_await", "co_return",
       "co_yield",  "char8_t",  "char16_t",  "char32_t", "wchar_t",      "thread_local", "static_assert",
       "export",    "goto",     "register",  "default"},
      {{"//", ""}, {"/*", "*/"}},
      "\"'",
      true,
      true};
  return Definition;
}

bool NextWord(std::string_view Text, int& Position, const TLanguageDefinition& Language,
              const std::function<void(const TSourceRun&)>& OnComment, int& WordStart, int& WordLength) {
  const int Length = static_cast<int>(Text.size());
  // 1. Skip to a letter; comments and literals on the way.
  while (Position <= Length) {
    const char C = Text[static_cast<size_t>(Position - 1)];
    if (IsLetter(C)) break;
    const TCommentMarker* Opened = nullptr;
    for (const TCommentMarker& Marker : Language.Comments)
      if (StartsAt(Text, Position, Marker.Open)) {
        Opened = &Marker;
        break;
      }
    if (Opened) {
      const int End = CommentEnd(Text, Position, *Opened);
      if (OnComment) OnComment({TSourceRun::rkComment, Position - 1, End - Position + 1});
      // Continue from the comment's last character, passed over below.
      Position = End;
    } else if (Language.StringQuotes.find(C) != std::string::npos) {
      Position = StringEnd(Text, Position);
    }
    ++Position;
  }
  // 2. The word.
  const int Start = Position;
  while (Position <= Length) {
    const char C = Text[static_cast<size_t>(Position - 1)];
    if (IsLetter(C) || (Language.DigitsInWords && Position > Start && IsDigit(C)))
      ++Position;
    else
      break;
  }
  WordStart = Start - 1;
  WordLength = Position - Start;
  if (WordLength == 0) return false;
  // 3. The character after the word goes with it, unexamined.
  const bool Keyword = Language.IsKeyword(Text.substr(static_cast<size_t>(Start - 1), static_cast<size_t>(WordLength)));
  ++Position;
  return Keyword;
}

std::vector<TSourceRun> ScanSource(std::string_view Text, const TLanguageDefinition& Language) {
  std::vector<TSourceRun> Runs;
  const auto AddComment = [&Runs](const TSourceRun& Run) { Runs.push_back(Run); };
  int Position = 1;
  int WordStart = 0;
  int WordLength = 0;
  while (Position < static_cast<int>(Text.size())) {
    if (NextWord(Text, Position, Language, AddComment, WordStart, WordLength))
      Runs.push_back({TSourceRun::rkKeyword, WordStart, WordLength});
  }
  return Runs;
}

void HighlightSource(QTextEdit& View, const TLanguageDefinition& Language) {
  QTextDocument& Document = *View.document();
  // The scanned text: every line followed by "\r\n", as the offsets count
  // it; LineStarts maps a line to its offset there.
  std::string Text;
  std::vector<int> LineStarts;
  for (QTextBlock Block = Document.begin(); Block.isValid(); Block = Block.next()) {
    LineStarts.push_back(static_cast<int>(Text.size()));
    // Non-ASCII characters count as one non-letter each, as in the view.
    const QString Line = Block.text();
    for (const QChar C : Line) Text += C.unicode() < 128 ? static_cast<char>(C.unicode()) : '?';
    Text += "\r\n";
  }
  // A document position: a line break is one character there. An offset on
  // the "\n" of a break lies past the break.
  const auto ToDocument = [&LineStarts, &Text](int Offset) {
    const size_t Line = static_cast<size_t>(std::upper_bound(LineStarts.begin(), LineStarts.end(), Offset) -
                                            LineStarts.begin() - 1);
    const int Column = Offset - LineStarts[Line];
    const int LineLength = (Line + 1 < LineStarts.size() ? LineStarts[Line + 1] : static_cast<int>(Text.size())) - LineStarts[Line] - 2;
    return LineStarts[Line] - static_cast<int>(Line) + std::min(Column, LineLength + 1);
  };

  QTextCharFormat Bold;
  Bold.setFontWeight(QFont::Bold);
  Bold.setFontItalic(false);
  QTextCharFormat Comment;
  Comment.setFontWeight(QFont::Normal);
  Comment.setFontItalic(true);
  Comment.setForeground(QColor(0, 0, 128));

  QTextCursor Cursor(&Document);
  Cursor.beginEditBlock();
  for (const TSourceRun& Run : ScanSource(Text, Language)) {
    const int From = ToDocument(Run.Start);
    const int To = ToDocument(Run.Start + Run.Length);
    Cursor.setPosition(From);
    Cursor.setPosition(std::min(To, Document.characterCount() - 1), QTextCursor::KeepAnchor);
    Cursor.mergeCharFormat(Run.Kind == TSourceRun::rkKeyword ? Bold : Comment);
  }
  Cursor.endEditBlock();
  View.setTextCursor(QTextCursor(&Document));
}
