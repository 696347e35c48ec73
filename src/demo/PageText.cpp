// The text pages' file loading; see PageText.h.
#include "PageText.h"

#include <QFile>
#include <QTextDocument>
#include <QTextEdit>

#if defined(PELLORY_DEMO_RICHTEXT) && __has_include("RichTextDocument.h")
#include "RichTextDocument.h"
#elif defined(PELLORY_DEMO_RICHTEXT)
#include "RichTextReader.h"
#else
namespace {

// Until the rich-text reader joins the build: plain text shows as it is,
// rich text stays unread (the page stays empty, as for a broken file).
bool LoadRichTextFile(const std::string& Path, QTextDocument& Document) {
  Document.clear();
  QFile File(QString::fromStdString(Path));
  if (!File.open(QIODevice::ReadOnly)) return false;
  const QByteArray Bytes = File.read(64 * 1024 * 1024);
  if (Bytes.startsWith("{\\rtf")) return false;
  Document.setPlainText(QString::fromUtf8(Bytes));
  return true;
}

}  // namespace
#endif

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
