// O_EXCL names, rename(2) to finish.
#include "base/kvPartialFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Korvell {

kvPartialFile::~kvPartialFile() { abandon(); }

bool kvPartialFile::begin(const std::string& target_, std::string* reason)
{
    abandon();
    target = target_;
    const std::string base = target + ".partial-" + std::to_string(static_cast<long>(getpid()));
    // A name left by an earlier process of the same number is never reused.
    for (int n = 0; n < 100; ++n) {
        const std::string name = n == 0 ? base : base + "-" + std::to_string(n);
        fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            partial = name;
            return true;
        }
        if (errno != EEXIST) break;
    }
    if (reason) *reason = std::strerror(errno);
    return false;
}

void kvPartialFile::closeDescriptor()
{
    if (fd >= 0) close(fd);
    fd = -1;
}

int kvPartialFile::releaseDescriptor()
{
    const int taken = fd;
    fd = -1;
    return taken;
}

bool kvPartialFile::commit(std::string* reason) { return finish(false, reason); }

bool kvPartialFile::commitNew(std::string* reason) { return finish(true, reason); }

bool kvPartialFile::finish(bool onlyNew, std::string* reason)
{
    // Flushed to the disk first: a crash after the rename must not leave
    // an empty file where the old one was.
    const bool synced = fd < 0 || fsync(fd) == 0;
    const bool closed = (fd < 0 || close(fd) == 0) && synced;
    fd = -1;
    bool named = false;
    if (!partial.empty() && closed) {
        if (!onlyNew) {
            named = std::rename(partial.c_str(), target.c_str()) == 0;
        } else {
            // A file that appeared meanwhile is never replaced: a hard link
            // fails when the name exists.
            named = link(partial.c_str(), target.c_str()) == 0;
            if (named) {
                unlink(partial.c_str());
            } else if (errno != EEXIST) {
                // A file system without hard links: checked, then renamed.
                struct stat st;
                if (lstat(target.c_str(), &st) == 0)
                    errno = EEXIST;
                else if (errno == ENOENT)
                    named = std::rename(partial.c_str(), target.c_str()) == 0;
            }
        }
    }
    if (!named) {
        if (reason) *reason = partial.empty() ? "nothing was written" : std::strerror(errno);
        abandon();
        return false;
    }
    partial.clear();
    return true;
}

void kvPartialFile::abandon()
{
    closeDescriptor();
    if (!partial.empty()) unlink(partial.c_str());
    partial.clear();
}

} // namespace Korvell
