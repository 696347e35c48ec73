// The rich-text writer: a body of paragraphs built as the caller goes, and
// the header with the tables it needs put in front when the file is done.
#include "RichTextWriter.h"

#include <algorithm>

namespace {

// One code point from Text at I (advanced); U+FFFD for a byte that does not
// start a valid sequence.
uint32_t DecodeUtf8(std::string_view Text, size_t& I) {
  const auto Lead = static_cast<unsigned char>(Text[I]);
  if (Lead < 0x80) {
    ++I;
    return Lead;
  }
  const size_t Length = Lead >= 0xC2 && Lead <= 0xDF ? 2 : Lead >= 0xE0 && Lead <= 0xEF ? 3 : Lead >= 0xF0 && Lead <= 0xF4 ? 4 : 0;
  if (Length == 0 || Text.size() - I < Length) {
    ++I;
    return 0xFFFD;
  }
  uint32_t Code = Lead & (Length == 2 ? 0x1F : Length == 3 ? 0x0F : 0x07);
  for (size_t K = 1; K < Length; ++K) {
    const auto Next = static_cast<unsigned char>(Text[I + K]);
    if ((Next & 0xC0) != 0x80) {
      ++I;
      return 0xFFFD;
    }
    Code = (Code << 6) | (Next & 0x3F);
  }
  I += Length;
  if ((Length == 3 && Code < 0x800) || (Length == 4 && (Code < 0x10000 || Code > 0x10FFFF)) ||
      (Code >= 0xD800 && Code <= 0xDFFF))
    return 0xFFFD;
  return Code;
}

void AppendUnicode(std::string& Out, uint32_t Code) {
  // \u takes a signed 16-bit number.
  const auto Unit = [&](uint32_t Value) {
    Out += "\\u" + std::to_string(Value > 0x7FFF ? static_cast<int32_t>(Value) - 0x10000 : static_cast<int32_t>(Value)) + "?";
  };
  if (Code > 0xFFFF) {
    Code -= 0x10000;
    Unit(0xD800 + (Code >> 10));
    Unit(0xDC00 + (Code & 0x3FF));
  } else {
    Unit(Code);
  }
}

}  // namespace

std::string RichTextEscape(std::string_view Utf8) {
  std::string Out;
  Out.reserve(Utf8.size());
  size_t I = 0;
  while (I < Utf8.size()) {
    const uint32_t Code = DecodeUtf8(Utf8, I);
    if (Code == '\\' || Code == '{' || Code == '}') {
      Out += '\\';
      Out += static_cast<char>(Code);
    } else if (Code == '\t') {
      Out += "\\tab ";
    } else if (Code == '\n') {
      Out += "\\line ";
    } else if (Code >= 0x20 && Code < 0x7F) {
      Out += static_cast<char>(Code);
    } else if (Code >= 0x80) {
      AppendUnicode(Out, Code);
    }  // other control characters have no place in a text
  }
  return Out;
}

TRichTextWriter::TRichTextWriter(std::vector<std::string> Fonts) : FFonts(std::move(Fonts)) {
  if (FFonts.empty()) FFonts.push_back("Arial");
}

int32_t TRichTextWriter::ColorIndex(uint32_t Color) {
  const auto Found = std::find(FColors.begin(), FColors.end(), Color);
  if (Found != FColors.end()) return static_cast<int32_t>(Found - FColors.begin()) + 1;
  FColors.push_back(Color);
  return static_cast<int32_t>(FColors.size());
}

std::string TRichTextWriter::FormatWords(const TRichTextFormat& Format) {
  std::string Words = "\\plain";
  if (Format.Font >= 0 && static_cast<size_t>(Format.Font) < FFonts.size()) Words += "\\f" + std::to_string(Format.Font);
  Words += "\\fs" + std::to_string(Format.HalfPoints);
  if (Format.Bold) Words += "\\b";
  if (Format.Italic) Words += "\\i";
  if (Format.Underline) Words += "\\ul";
  if (Format.HasColor) Words += "\\cf" + std::to_string(ColorIndex(Format.Color & 0xFFFFFF));
  return Words + " ";
}

void TRichTextWriter::BeginParagraph(const TRichTextParagraphStyle& Style) {
  if (FOpen) EndParagraph();
  FBody += "\\pard";
  if (Style.List != TRichTextList::rlNone) {
    // The list text for readers without numbering, then the numbering itself.
    if (Style.List == TRichTextList::rlBullet)
      FBody += "{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnindent0{\\pntxtb\\'b7}}";
    else
      FBody += "{\\*\\pn\\pnlvlbody\\pndec\\pnstart1\\pnindent0}";
  }
  switch (Style.Align) {
    case TRichTextAlign::raCenter:
      FBody += "\\qc";
      break;
    case TRichTextAlign::raRight:
      FBody += "\\qr";
      break;
    case TRichTextAlign::raJustify:
      FBody += "\\qj";
      break;
    default:
      break;
  }
  if (Style.LeftIndent) FBody += "\\li" + std::to_string(Style.LeftIndent);
  if (Style.FirstIndent) FBody += "\\fi" + std::to_string(Style.FirstIndent);
  for (const int32_t Stop : Style.TabStops) FBody += "\\tx" + std::to_string(Stop);
  FBody += "\n";
  FOpen = true;
}

void TRichTextWriter::Text(std::string_view Utf8, const TRichTextFormat& Format) {
  if (!FOpen) BeginParagraph();
  // Appended piece by piece: "{" + temporary trips a false GCC 12 warning.
  FBody += '{';
  FBody += FormatWords(Format);
  FBody += RichTextEscape(Utf8);
  FBody += '}';
}

void TRichTextWriter::EndParagraph(const TRichTextFormat& MarkFormat) {
  if (!FOpen) BeginParagraph();
  FBody += '{';
  FBody += FormatWords(MarkFormat);
  FBody += "\\par}\n";
  FOpen = false;
}

void TRichTextWriter::Paragraph(std::string_view Utf8, const TRichTextFormat& Format,
                                const TRichTextParagraphStyle& Style) {
  BeginParagraph(Style);
  if (!Utf8.empty()) Text(Utf8, Format);
  EndParagraph(Format);
}

std::string TRichTextWriter::Finish() {
  if (FOpen) EndParagraph();
  std::string Out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
  for (size_t F = 0; F < FFonts.size(); ++F) Out += "{\\f" + std::to_string(F) + " " + RichTextEscape(FFonts[F]) + ";}";
  Out += "}\n{\\colortbl ;";
  for (const uint32_t Color : FColors)
    Out += "\\red" + std::to_string((Color >> 16) & 0xFF) + "\\green" + std::to_string((Color >> 8) & 0xFF) + "\\blue" +
           std::to_string(Color & 0xFF) + ";";
  Out += "}\n" + FBody + "}\n";
  return Out;
}
