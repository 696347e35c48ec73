// The text pages' file loading; see PageText.h.
#include "PageText.h"

#include <QTextDocument>
#include <QTextEdit>

#include "RichTextDocument.h"

bool LoadPageFile(QTextEdit& Edit, const QString& FileName) {
  Edit.clear();
  bool Loaded = false;
  try {
    Loaded = LoadRichTextFile(FileName.toStdString(), *Edit.document());
  } catch (...) {
    Loaded = false;
  }
  if (!Loaded) Edit.clear();
  Edit.moveCursor(QTextCursor::Start);
  return Loaded;
}
