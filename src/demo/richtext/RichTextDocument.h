// Puts what the rich-text reader read into a QTextDocument: the loading step
// of the text pages that show a file.
//
// Loading fails, silently, for a file that cannot be read (missing, a
// folder, larger than MaxRichTextFile) and for rich text that the reader
// could not read completely (see Error in RichTextReader.h): the document is
// then left empty and the call returns false. Nothing here throws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "RichTextReader.h"

class QTextDocument;

// Larger files are refused rather than read: the demo's texts are a few
// kilobytes, and a huge file would only hold the page up.
inline constexpr size_t MaxRichTextFile = 16u * 1024u * 1024u;

// Replaces the content of Document with Text's paragraphs.
void FillTextDocument(const TRichTextDocument& Text, QTextDocument& Document);

// Reads Bytes (rich or plain text) into Document; false, with Document
// empty, when the text is broken.
bool LoadRichText(std::string_view Bytes, QTextDocument& Document);

// Reads the file at Path into Document; false, with Document empty, when
// the file is missing, unreadable, too large or broken.
bool LoadRichTextFile(const std::string& Path, QTextDocument& Document);
