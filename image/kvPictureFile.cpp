// Reading picture files from the disk or the archive.
#include "image/kvPictureFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "image/kvDataFile.h"

namespace Korvell {

namespace {

const long long kMaxFileBytes = 256ll << 20;

bool fail(std::string* reason, const char* why)
{
    if (reason) *reason = why;
    return false;
}

std::string diskPath(const std::string& name)
{
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

} // namespace

bool readPictureFile(const std::string& name, std::vector<uint8_t>& bytes, std::string* reason)
{
    bytes.clear();
    if (isDataFileOpen()) {
        if (!dataFileHasEntry(name)) return fail(reason, "not in the archive");
        // An entry that claims more than the archive holds is refused
        // before anything of that size is allocated.
        if (!dataFileEntryFits(name)) return fail(reason, "cannot be read (past the end of the archive)");
        if (getDataFileEntrySize(name) > kMaxFileBytes) return fail(reason, "larger than 256 MB");
        if (getDataFileEntrySize(name) == 0) return fail(reason, "empty");
        if (!readDataFileEntry(name, bytes)) return fail(reason, "cannot be read");
        return true;
    }
    FILE* f = std::fopen(diskPath(name).c_str(), "rb");
    if (!f) return fail(reason, errno == ENOENT || errno == ENOTDIR ? "no such file" : "cannot be opened");
    // Only regular files: a folder opens too, and claims an absurd size.
    struct stat st;
    const char* why = nullptr;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode))
        why = "not a file";
    else if (st.st_size > kMaxFileBytes)
        why = "larger than 256 MB";
    else if (st.st_size == 0)
        why = "empty";
    if (!why) {
        try {
            bytes.resize(static_cast<size_t>(st.st_size));
            if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) why = "cannot be read";
        } catch (const std::exception&) {
            why = "cannot be read (out of memory)";
        }
    }
    std::fclose(f);
    if (why) {
        bytes.clear();
        return fail(reason, why);
    }
    return true;
}

} // namespace Korvell
