// The rich-text reader of the demo's text pages: turns the bytes of a
// rich-text file into a plain structure of paragraphs and runs that any
// toolkit can show. It knows no toolkit; RichTextDocument.h puts the result
// into a QTextDocument.
//
// What it understands: groups, \par, \pard, \plain, \b, \i, \ul, \fs, \cf
// with \colortbl, \f with \fonttbl, \li, \fi, \tx, \ql/\qc/\qr/\qj, \tab, \line,
// bullets (the \pntext and \listtext texts, the \pn paragraph numbering,
// and the \bullet character), \'hh (Windows-1252), \uN with \ucN, and the
// escaped characters. Destinations it does not show (style sheet, document
// information, pictures, headers, any {\* ...} group it does not know) are
// skipped whole, \bin data included.
//
// Contract for hostile input: reading never throws for bad content, never
// recurses, and takes time and memory proportional to the input. Nesting
// deeper than MaxGroupDepth is counted but not stored, numeric parameters
// saturate, sizes are clamped. What cannot be read as written (unclosed
// groups, text after the closing brace, too deep nesting, an escape cut off
// at the end) is named in Error; the paragraphs then hold what was read up
// to that point.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TRichTextFormat {
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  int32_t HalfPoints = 24;  // \fs: the size in half points, 12 pt by default
  bool HasColor = false;    // false: the viewer's default text colour
  uint32_t Color = 0;       // 0xRRGGBB when HasColor
  int32_t Font = -1;        // position in TRichTextDocument::Fonts; -1: the viewer's font

  bool operator==(const TRichTextFormat&) const = default;
};

// A stretch of text in one format; Text is UTF-8, "\t" a tab, "\n" a line
// break inside the paragraph.
struct TRichTextRun {
  std::string Text;
  TRichTextFormat Format;
};

enum class TRichTextList { rlNone, rlBullet, rlNumber };
enum class TRichTextAlign { raLeft, raCenter, raRight, raJustify };

struct TRichTextParagraph {
  std::vector<TRichTextRun> Runs;   // empty for an empty line
  TRichTextFormat MarkFormat;       // format at the paragraph mark: an empty line's height
  TRichTextList List = TRichTextList::rlNone;
  TRichTextAlign Align = TRichTextAlign::raLeft;
  int32_t LeftIndent = 0;   // \li, twips (1/20 pt)
  int32_t FirstIndent = 0;  // \fi, twips, negative for a hanging indent
  std::vector<int32_t> TabStops;  // \tx, twips from the left margin, at most MaxTabStops

  // The runs' texts joined.
  std::string Text() const;
};

struct TRichTextDocument {
  bool Rich = false;                       // false: the bytes were read as plain text
  std::vector<std::string> Fonts;          // font names in font-table order
  std::vector<TRichTextParagraph> Paragraphs;
  std::string Error;                       // empty when read completely
};

// Deepest group nesting that keeps its own formatting; deeper groups share
// the formatting of the deepest kept one.
inline constexpr int32_t MaxGroupDepth = 200;
inline constexpr size_t MaxTabStops = 32;
// \fs is clamped to 1..1638 points (Qt's largest font size).
inline constexpr int32_t MinHalfPoints = 2;
inline constexpr int32_t MaxHalfPoints = 3276;

// Reads Bytes as rich text when they begin with "{\rtf", otherwise as plain
// text: UTF-8 when valid (a byte-order mark dropped), else Windows-1252, one
// paragraph per line. Control characters other than tab are dropped.
TRichTextDocument ReadRichText(std::string_view Bytes);
