// libFuzzer target: the rich-text reader, then the QTextDocument fill, on
// arbitrary bytes. Beyond crashes and sanitizer reports it checks what the
// reader promises: bounded sizes, valid font positions, output no larger
// than the input allows.
#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "RichTextDocument.h"
#include "RichTextReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Fonts in a QTextDocument need a GUI application; one for the whole run.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication App(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);
  const TRichTextDocument Text = ReadRichText(Bytes);
  size_t Output = 0;
  if (Text.Paragraphs.size() > Size) __builtin_trap();
  for (const TRichTextParagraph& Paragraph : Text.Paragraphs) {
    if (Paragraph.TabStops.size() > MaxTabStops) __builtin_trap();
    for (const TRichTextRun& Run : Paragraph.Runs) {
      Output += Run.Text.size();
      if (Run.Format.HalfPoints < MinHalfPoints || Run.Format.HalfPoints > MaxHalfPoints) __builtin_trap();
      if (Run.Format.Font < -1 || Run.Format.Font >= static_cast<int32_t>(Text.Fonts.size())) __builtin_trap();
    }
  }
  // Every output byte comes from at most four input bytes' worth of escape.
  if (Output > 4 * Size) __builtin_trap();

  // What the loader does with the structure, on one document for the whole
  // run (clearing it is part of the fill), filled even from a partial read.
  // Reading a second time through LoadRichText would only halve the rate;
  // its own contract is tested in the demo's suite.
  static QTextDocument Document;
  FillTextDocument(Text, Document);
  return 0;
}
