// Opening the files a show reads and writes without trusting what a name
// points to: what is read must be a regular file (never a FIFO or a
// device that would block or never end), checked without blocking; the
// log follows no link; two names are compared by the file they reach.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Korvell {

// The largest music file Korvell reads (some decoders read a track
// whole): a two-hour uncompressed CD-quality track is 1.2 GiB.
const long long kMaxMusicBytes = 2ll << 30;

// A name from a script as a disk path: '\' separates folders too.
std::string diskPath(const std::string& name);

// Opens a regular file for reading, never blocking on a FIFO or a device
// (checked on the descriptor itself, so the answer is the file's that is
// read). The descriptor, or -1 with the reason ("no such file", "not a
// file", "larger than N MB", "cannot be opened: ..."). `size` gets its
// size, `modified` its modification time (seconds since 1970).
int openRegularFile(const std::string& path, long long maxBytes, long long* size, std::string* reason,
                    double* modified = nullptr);

// The whole of a regular file of at most maxBytes bytes ("empty" when it
// has none); false with the reason.
bool readRegularFile(const std::string& path, long long maxBytes, std::vector<uint8_t>& bytes, std::string* reason);

// Opens a log for writing, emptied first, without following a symbolic
// link and without blocking, and only when it is (or becomes) a regular
// file; null with the reason when it cannot be written.
FILE* openLogFile(const std::string& path, std::string* reason);

// Whether two names reach the same existing file (links and ".." followed,
// hard links alike).
bool sameFile(const std::string& a, const std::string& b);

// A path made absolute against the working folder (nothing resolved).
std::string absolutePath(const std::string& path);

// The folder a path names its file in ("." for none, "/" at the root).
std::string folderOf(const std::string& path);
// A folder's real path (links resolved), absolutePath when it has none.
std::string realFolder(const std::string& folder);

// An absolute path as seen from an absolute folder ("../b/c.jpg"), both
// taken as written (no links resolved).
std::string relativePath(const std::string& path, const std::string& folder);

// Makes a script's folder the working folder, as if Korvell had been
// started there, and gives the script's name from there (the name as
// given when it names no folder, or the folder cannot be entered).
std::string enterScriptFolder(const std::string& script);

} // namespace Korvell
