// The header of a Paradox table file checked against the file itself, before
// pxlib sees it. pxlib trusts the header: it follows the block chain the
// header starts without bound (a chain that loops hangs it), decrypts what an
// encryption word announces, and prints its complaints to standard error.
// So a file reaches pxlib only when its header describes the file: sizes
// that fit, field sizes that sum to the record size, blocks inside the file,
// and a chain from the first block to the last that visits each block once
// and holds exactly the records the header counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace paradox {

struct TChainBlock {
  uint32_t Number = 0;  // 1-based block number
  int Count = 0;        // records in the block, at least 1
};

struct TTableLayout {
  int RecordSize = 0;
  int64_t HeaderSize = 0;
  int64_t BlockSize = 0;
  std::vector<TChainBlock> Blocks;  // the data blocks in chain order
};

// Reads the header and the block heads of the open file Fd. Raises
// Exception "Table '<FileName>' is damaged: <what>", or "Cannot open table
// '<FileName>': ..." for a file that is not a table or is encrypted.
TTableLayout CheckTableFile(int Fd, const std::string& FileName);

}  // namespace paradox
