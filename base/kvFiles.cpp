// Files opened with O_NONBLOCK and checked with fstat on the descriptor.
#include "base/kvFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Korvell {

std::string diskPath(const std::string& name)
{
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

namespace {

bool fail(std::string* reason, const std::string& why)
{
    if (reason) *reason = why;
    return false;
}

std::string sizeLimit(long long bytes)
{
    return bytes >= (1ll << 30) && bytes % (1ll << 30) == 0 ? std::to_string(bytes >> 30) + " GiB"
                                                              : std::to_string(bytes >> 20) + " MB";
}

} // namespace

int openRegularFile(const std::string& path, long long maxBytes, long long* size, std::string* reason,
                    double* modified)
{
    if (path.empty()) {
        fail(reason, "no such file");
        return -1;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        fail(reason, errno == ENOENT || errno == ENOTDIR ? std::string("no such file")
                                                         : std::string("cannot be opened: ") + std::strerror(errno));
        return -1;
    }
    struct stat st;
    std::string why;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        why = "not a file";
    else if (st.st_size > maxBytes)
        why = "larger than " + sizeLimit(maxBytes);
    // Reads of a regular file never wait on O_NONBLOCK's account, but the
    // flag is a promise nobody else expects. None of the other flags
    // F_SETFL changes was asked for, so they need not be read first.
    else if (fcntl(fd, F_SETFL, 0) != 0)
        why = std::string("cannot be opened: ") + std::strerror(errno);
    if (!why.empty()) {
        close(fd);
        fail(reason, why);
        return -1;
    }
    if (size) *size = static_cast<long long>(st.st_size);
    if (modified) *modified = static_cast<double>(st.st_mtim.tv_sec) + 1e-9 * static_cast<double>(st.st_mtim.tv_nsec);
    return fd;
}

bool readRegularFile(const std::string& path, long long maxBytes, std::vector<uint8_t>& bytes, std::string* reason)
{
    bytes.clear();
    long long size = 0;
    const int fd = openRegularFile(path, maxBytes, &size, reason);
    if (fd < 0) return false;
    std::string why;
    if (size == 0) {
        why = "empty";
    } else {
        try {
            bytes.resize(static_cast<size_t>(size));
            size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
            if (done != bytes.size()) why = "cannot be read";
        } catch (const std::exception&) {
            why = "cannot be read (out of memory)";
        }
    }
    close(fd);
    if (!why.empty()) {
        bytes.clear();
        return fail(reason, why);
    }
    return true;
}

FILE* openLogFile(const std::string& path, std::string* reason)
{
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            fail(reason, "it is a symbolic link");
            return nullptr;
        }
        if (!S_ISREG(st.st_mode)) {
            fail(reason, "it is not a regular file");
            return nullptr;
        }
    }
    // Whatever the name became since: no link followed, no FIFO waited on,
    // and nothing emptied before it is known to be a regular file.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        fail(reason, errno == ELOOP ? std::string("it is a symbolic link") : std::string(std::strerror(errno)));
        return nullptr;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        fail(reason, "it is not a regular file");
        return nullptr;
    }
    if (ftruncate(fd, 0) != 0 || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        fail(reason, std::strerror(errno));
        close(fd);
        return nullptr;
    }
    FILE* f = fdopen(fd, "w");
    if (!f) {
        fail(reason, std::strerror(errno));
        close(fd);
    }
    return f;
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    if (a.empty() || b.empty() || stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string absolutePath(const std::string& path)
{
    if (path.empty() || path[0] == '/') return path;
    char buffer[4096];
    return std::string(getcwd(buffer, sizeof buffer) ? buffer : ".") + "/" + path;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string realFolder(const std::string& folder)
{
    char* real = realpath(folder.c_str(), nullptr);
    if (!real) return absolutePath(folder);
    std::string r = real;
    std::free(real);
    return r;
}

namespace {
std::vector<std::string> partsOf(const std::string& path)
{
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= path.size()) {
        const size_t slash = std::min(path.find('/', at), path.size());
        const std::string part = path.substr(at, slash - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = slash + 1;
    }
    return parts;
}
} // namespace

std::string relativePath(const std::string& path, const std::string& folder)
{
    const std::vector<std::string> p = partsOf(path), f = partsOf(folder);
    size_t common = 0;
    while (common < p.size() && common < f.size() && p[common] == f[common]) ++common;
    std::string out;
    for (size_t i = common; i < f.size(); ++i) out += "../";
    for (size_t i = common; i < p.size(); ++i) out += p[i] + (i + 1 < p.size() ? "/" : "");
    return out;
}

std::string enterScriptFolder(const std::string& script)
{
    const size_t slash = script.rfind('/');
    if (slash == std::string::npos || chdir(script.substr(0, slash + 1).c_str()) != 0) return script;
    return script.substr(slash + 1);
}

} // namespace Korvell
