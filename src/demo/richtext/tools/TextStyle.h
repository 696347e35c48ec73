// The look of the generated text files, shared by the tools that write
// them: the title colour and fonts of the demo's built text pages, a plain
// body, and a fixed-pitch font for grids and code.
#pragma once

#include <string>
#include <vector>

#include "RichTextWriter.h"

namespace TextStyle {

inline constexpr int32_t Arial = 0;
inline constexpr int32_t Courier = 1;
inline const std::vector<std::string> Fonts = {"Arial", "Courier New"};
inline constexpr uint32_t TitleColor = 0x333399;  // RGB(51,51,153), as the built pages

inline TRichTextFormat Title() {
  TRichTextFormat Format;
  Format.Font = Arial;
  Format.Bold = true;
  Format.HalfPoints = 28;
  Format.HasColor = true;
  Format.Color = TitleColor;
  return Format;
}

inline TRichTextFormat Heading() {
  TRichTextFormat Format = Title();
  Format.HalfPoints = 22;
  return Format;
}

inline TRichTextFormat Body() {
  TRichTextFormat Format;
  Format.Font = Arial;
  Format.HalfPoints = 20;
  return Format;
}

inline TRichTextFormat Strong() {
  TRichTextFormat Format = Body();
  Format.Bold = true;
  return Format;
}

inline TRichTextFormat Fixed() {
  TRichTextFormat Format;
  Format.Font = Courier;
  Format.HalfPoints = 18;
  return Format;
}

inline TRichTextParagraphStyle Bullet() {
  TRichTextParagraphStyle Style;
  Style.List = TRichTextList::rlBullet;
  Style.FirstIndent = 200;  // 10 points, as the built lists
  return Style;
}

}  // namespace TextStyle
