// A regular file read through callbacks (libsndfile, libmpg123, FFmpeg):
// a cursor over a descriptor, never past the size the file had when it was
// opened, reads retried on interruption. Owns the descriptor.
#pragma once

#include <string>

namespace Korvell {

class kvBoundedFile {
public:
    kvBoundedFile() {}
    ~kvBoundedFile();
    // A regular file of at most maxBytes, opened without blocking; false
    // with the reason.
    bool open(const std::string& path, long long maxBytes, std::string* reason);
    int descriptor() const { return fd; }
    long long size() const { return length; }
    long long tell() const { return pos; }
    // Bytes read into `into` (0 at the end), -1 on an error.
    long long read(void* into, long long want);
    // SEEK_SET, SEEK_CUR or SEEK_END; the new position, or -1 before the start.
    long long seek(long long offset, int whence);

private:
    kvBoundedFile(const kvBoundedFile&) = delete;
    kvBoundedFile& operator=(const kvBoundedFile&) = delete;
    int fd = -1;
    long long length = 0, pos = 0;
};

} // namespace Korvell
