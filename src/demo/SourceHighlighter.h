// The source view's highlighting: keywords bold, comments italic navy.
//
// The scanner works on the view's text with every line followed by "\r\n"
// (a line break counts as two characters), with 1-based positions, one word
// per NextWord step:
//  1. Skip to the next letter ("A".."Z", "a".."z", "_"). A comment opener of
//     the definition found on the way formats the comment through its closer
//     (inclusive; a line comment through the end of its line) and the skip
//     goes on after it. A comment without its closer runs to the end of the
//     text; nothing is read past the end.
//  2. Take the letters from there as the word (with DigitsInWords, digits
//     after the first letter too).
//  3. A non-empty word is reported with whether it is a keyword, and the
//     character after it is consumed unexamined: "begin{" is a word, and
//     that brace opens no comment.
// Keywords match whole words only; case-insensitively unless the
// definition says otherwise.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QTextEdit;

struct TCommentMarker {
  std::string Open;
  // Empty: the comment ends with its line (before the "\r\n").
  std::string Close;
};

struct TLanguageDefinition {
  std::vector<std::string> Keywords;  // upper case unless CaseSensitive
  std::vector<TCommentMarker> Comments;
  // Quoted text skipped unformatted (backslash escapes one character), so a
  // comment opener inside a string opens nothing. Empty: quotes are plain.
  std::string StringQuotes;
  bool CaseSensitive = false;
  bool DigitsInWords = false;

  bool IsKeyword(std::string_view Word) const;
};

// The 34-word keyword table with brace comments: keywords match in any
// letter case, digits end a word, quotes are plain text.
const TLanguageDefinition& BraceCommentDefinition();
// The demo's C++ sources: C++ keywords (exact case), "//" and "/* */"
// comments, string and character literals, identifiers with digits.
const TLanguageDefinition& CppDefinition();

// A formatted stretch of the scanned text: Start is the 0-based offset in
// the "\r\n" text (the view's selection start), Length in characters.
struct TSourceRun {
  enum TKind { rkKeyword, rkComment };
  TKind Kind;
  int Start;
  int Length;
};

// One scanning step from Position (1-based; advanced past the word and its
// following character). Comments passed on the way go to OnComment. Returns
// true when the word found is a keyword; WordStart/WordLength (0-based start)
// describe the word, WordLength 0 at the end of the text.
bool NextWord(std::string_view Text, int& Position, const TLanguageDefinition& Language,
              const std::function<void(const TSourceRun&)>& OnComment, int& WordStart, int& WordLength);

// Every formatted run of Text in scanning order: the loop "while Position <
// length: NextWord", keywords and comments.
std::vector<TSourceRun> ScanSource(std::string_view Text, const TLanguageDefinition& Language);

// Formats the whole text of View: keywords bold only, comments italic only
// in navy, RGB(0,0,128); then collapses the selection to the start.
void HighlightSource(QTextEdit& View, const TLanguageDefinition& Language);
