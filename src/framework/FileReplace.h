// Replacing a file whole without ever losing it. The new content goes into a
// temporary folder beside the target (same file system, same file name, as
// some writers record the name in the file), is flushed to disk, and only
// then renamed over the target in one step. Any failure removes the
// temporary and leaves the target exactly as it was: the old file stays
// readable while the new one is written, and a full disk or a size limit
// costs the new file, never the old one.
#pragma once

#include <functional>
#include <string>

class TStream;

// Write receives the temporary's name, writes the whole file there and
// closes it; then it is flushed and renamed over FileName. A symbolic link
// at FileName is followed (the link stays, its target is replaced). The new
// file takes the permissions of the one it replaces (a new one: 0666 less
// the umask). Errors: EFCreateError naming FileName when the temporary
// cannot be made or the rename fails, EWriteError naming FileName when the
// flush fails; an exception from Write passes through. After any error the
// temporary is gone and FileName is unchanged.
void ReplaceFile(const std::string& FileName, const std::function<void(const std::string& TemporaryName)>& Write);

// The same for writers of a stream: Write writes the whole content to the
// stream it is given. A write that the system refuses (disk full, file size
// limit) raises EWriteError naming FileName and the system's reason.
void ReplaceFileWithStream(const std::string& FileName, const std::function<void(TStream&)>& Write);
