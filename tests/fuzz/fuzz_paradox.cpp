// Paradox table files: the input is the whole .DB file, held in memory and
// opened by name through the session like any table.
#include "TableWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const std::filesystem::path Folder = fuzz::ScratchFolder("paradox");
  static fuzz::TMemoryFile Input(Folder / "FUZZ.DB");
  static TSession Session(nullptr);
  static const bool Ready = (Session.AddStandardAlias("PX", Folder.string(), "PARADOX"), true);
  (void)Ready;
  Input.Replace(Data, Size);
  fuzz::WalkTable(Session, "PX", "FUZZ.DB");
  return 0;
}
