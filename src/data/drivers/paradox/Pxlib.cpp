// pxlib documents with an error handler that records the message, so a
// failing call can be reported as an exception naming the file.
#include "Pxlib.h"

#include <mutex>

namespace {

struct TErrorSlot {
  std::string Message;
};

void RecordError(pxdoc_t*, int, const char* Message, void* Data) {
  auto* Slot = static_cast<TErrorSlot*>(Data);
  if (Slot && Message && Slot->Message.empty()) Slot->Message = Message;
}

void BootOnce() {
  static std::once_flag Booted;
  std::call_once(Booted, [] { PX_boot(); });
}

}  // namespace

void TPxDocDeleter::operator()(pxdoc_t* Doc) const {
  auto* Slot = static_cast<TErrorSlot*>(Doc->errorhandler_user_data);
  PX_delete(Doc);
  delete Slot;
}

TPxDocument NewPxDocument() {
  BootOnce();
  auto* Slot = new TErrorSlot;
  pxdoc_t* Doc = PX_new3(RecordError, nullptr, nullptr, nullptr, Slot);
  if (!Doc) {
    delete Slot;
    return nullptr;
  }
  return TPxDocument(Doc);
}

std::string PxLastError(pxdoc_t* Doc) {
  auto* Slot = static_cast<TErrorSlot*>(Doc->errorhandler_user_data);
  if (!Slot || Slot->Message.empty()) return "unknown pxlib error";
  std::string Message = std::move(Slot->Message);
  Slot->Message.clear();
  return Message;
}
