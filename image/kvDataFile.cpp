// Archive reader. The index is read once into a map; entries are read
// straight from the open file at their offsets.
#include "image/kvDataFile.h"

#include <unistd.h>

#include <cstring>
#include <mutex>

#include "base/kvFiles.h"

namespace Korvell {

namespace {

bool readU32(FILE* f, uint32_t& value)
{
    uint8_t b[4];
    if (fread(b, 1, 4, f) != 4) return false;
    value = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16)
            | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

enum Tag { TAG_UNKNOWN, TAG_DAT, TAG_END, TAG_VFS };

Tag readTag(FILE* f)
{
    char tag[4];
    if (fread(tag, 1, 4, f) != 4 || std::memchr(tag, 0, 4) == nullptr) return TAG_UNKNOWN;
    if (std::strcmp(tag, "DAT") == 0) return TAG_DAT;
    if (std::strcmp(tag, "END") == 0) return TAG_END;
    if (std::strcmp(tag, "VFS") == 0) return TAG_VFS;
    return TAG_UNKNOWN;
}

bool pread(int fd, uint8_t* into, size_t length, uint64_t at)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, into + done, length - done, static_cast<off_t>(at + done));
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

kvDataFile::~kvDataFile() { close(); }

bool kvDataFile::open(const std::string& path)
{
    std::unique_lock<std::shared_mutex> hold(lock);
    if (opened) return false;
    // Only a regular file: a FIFO or a device would block or never end.
    long long size = 0;
    const int fd = openRegularFile(path, 16ll << 30, &size, nullptr);
    if (fd < 0) return false;
    file = fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return false;
    }
    fileSize = static_cast<uint64_t>(size);
    entries.clear();
    opened = readIndex();
    if (!opened) {
        fclose(file);
        file = nullptr;
        entries.clear();
    }
    return opened;
}

bool kvDataFile::readIndex()
{
    for (;;) {
        const long at = ftell(file);
        if (at < 0 || static_cast<uint64_t>(at) >= fileSize) return false; // no END
        switch (readTag(file)) {
        case TAG_DAT: {
            std::string name;
            for (int c; (c = fgetc(file)) != EOF && c != 0;) name += static_cast<char>(c);
            Entry e;
            if (!readU32(file, e.size) || !readU32(file, e.offset)) return false;
            entries[name] = e;
            break;
        }
        case TAG_END: return true;
        case TAG_VFS: break;
        default: return false;
        }
    }
}

bool kvDataFile::isOpen() const
{
    std::shared_lock<std::shared_mutex> hold(lock);
    return opened;
}

void kvDataFile::close()
{
    std::unique_lock<std::shared_mutex> hold(lock);
    if (file) fclose(file);
    file = nullptr;
    opened = false;
    entries.clear();
}

const kvDataFile::Entry* kvDataFile::find(const std::string& name) const
{
    if (!opened) return nullptr;
    auto it = entries.find(name);
    return it == entries.end() ? nullptr : &it->second;
}

bool kvDataFile::hasEntry(const std::string& name) const
{
    std::shared_lock<std::shared_mutex> hold(lock);
    return find(name) != nullptr;
}

bool kvDataFile::entryFits(const std::string& name) const
{
    std::shared_lock<std::shared_mutex> hold(lock);
    const Entry* e = find(name);
    return e && fits(*e);
}

uint32_t kvDataFile::entrySize(const std::string& name) const
{
    std::shared_lock<std::shared_mutex> hold(lock);
    const Entry* e = find(name);
    return e ? e->size : 0;
}

uint32_t kvDataFile::entryOffset(const std::string& name) const
{
    std::shared_lock<std::shared_mutex> hold(lock);
    const Entry* e = find(name);
    return e ? e->offset : 0;
}

bool kvDataFile::readEntry(const std::string& name, std::vector<uint8_t>& bytes) const
{
    std::shared_lock<std::shared_mutex> hold(lock);
    const Entry* e = find(name);
    if (!e || !fits(*e)) return false;
    bytes.resize(e->size);
    return pread(fileno(file), bytes.data(), e->size, e->offset);
}

bool kvDataFile::readEntryPart(const std::string& name, uint32_t at, uint32_t length, uint8_t* into) const
{
    std::shared_lock<std::shared_mutex> hold(lock);
    const Entry* e = find(name);
    if (!e || !fits(*e) || static_cast<uint64_t>(at) + length > e->size) return false;
    return pread(fileno(file), into, length, static_cast<uint64_t>(e->offset) + at);
}

std::vector<std::string> kvDataFile::entryNames() const
{
    std::shared_lock<std::shared_mutex> hold(lock);
    std::vector<std::string> names;
    if (!opened) return names;
    for (const auto& e : entries) names.push_back(e.first);
    return names;
}

} // namespace Korvell
