// Paradox table files: the input is the whole .DB file.
#include "TableWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const std::filesystem::path Folder = fuzz::ScratchFolder("paradox");
  static TSession Session(nullptr);
  static const bool Ready = (Session.AddStandardAlias("PX", Folder.string(), "PARADOX"), true);
  (void)Ready;
  fuzz::WriteFile(Folder / "FUZZ.DB", Data, Size);
  fuzz::WalkTable(Session, "PX", "FUZZ.DB");
  return 0;
}
