// Writes rich text for the demo's generated text files, using only what
// RichTextReader reads: a font table, a colour table, paragraphs with
// bullets, indents and tab stops, and runs with bold, italic, underline,
// size, colour and font. Text is UTF-8; characters outside ASCII are written
// as \uN escapes with a "?" fallback, so the file itself is plain ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "RichTextReader.h"

struct TRichTextParagraphStyle {
  TRichTextList List = TRichTextList::rlNone;
  TRichTextAlign Align = TRichTextAlign::raLeft;
  int32_t LeftIndent = 0;         // twips
  int32_t FirstIndent = 0;        // twips
  std::vector<int32_t> TabStops;  // twips
};

class TRichTextWriter {
public:
  // Fonts are the font table in order; TRichTextFormat::Font indexes it and
  // the first is the default. Colours are gathered as they are used.
  explicit TRichTextWriter(std::vector<std::string> Fonts);

  // Starts a paragraph; a paragraph still open is ended first.
  void BeginParagraph(const TRichTextParagraphStyle& Style = {});
  // Text in Format, inside the open paragraph (one is begun when none is).
  void Text(std::string_view Utf8, const TRichTextFormat& Format);
  void EndParagraph(const TRichTextFormat& MarkFormat = {});

  // One paragraph with one run.
  void Paragraph(std::string_view Utf8, const TRichTextFormat& Format, const TRichTextParagraphStyle& Style = {});

  // The whole file: header, tables and the paragraphs written so far.
  std::string Finish();

private:
  std::string FormatWords(const TRichTextFormat& Format);
  int32_t ColorIndex(uint32_t Color);

  std::vector<std::string> FFonts;
  std::vector<uint32_t> FColors;  // entry k is \cf(k + 1); \cf0 is the default
  std::string FBody;
  bool FOpen = false;
};

// Text as rich-text characters: \, { and } escaped, tab and line break as
// control words, other characters beyond ASCII as \uN?. Invalid UTF-8 bytes
// become U+FFFD.
std::string RichTextEscape(std::string_view Utf8);
