// Loading a text page's file: rich text through the demo's reader, any
// other file as plain text.
#pragma once

#include <string>

class QString;
class QTextDocument;
class QTextEdit;

// Loads FileName (a bare name is looked up in the working folder) into
// Edit. Returns false and leaves Edit empty when the file is missing or
// cannot be read; never throws.
bool LoadPageFile(QTextEdit& Edit, const QString& FileName);
