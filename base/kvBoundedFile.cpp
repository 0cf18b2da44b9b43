// Bounded reads of a file.
#include "base/kvBoundedFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "base/kvFiles.h"

namespace Korvell {

kvBoundedFile::~kvBoundedFile()
{
    if (fd >= 0) ::close(fd);
}

bool kvBoundedFile::open(const std::string& path, long long maxBytes, std::string* reason)
{
    fd = openRegularFile(path, maxBytes, &length, reason);
    pos = 0;
    return fd >= 0;
}

long long kvBoundedFile::read(void* into, long long want)
{
    want = std::min(want, std::max(0LL, length - pos));
    long long done = 0;
    while (done < want) {
        const ssize_t n = pread(fd, static_cast<char*>(into) + done, static_cast<size_t>(want - done),
                                static_cast<off_t>(pos + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && done == 0) return -1;
        if (n <= 0) break;
        done += n;
    }
    pos += done;
    return done;
}

long long kvBoundedFile::seek(long long offset, int whence)
{
    const long long from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? pos : length;
    if (from + offset < 0) return -1;
    pos = from + offset;
    return pos;
}

} // namespace Korvell
