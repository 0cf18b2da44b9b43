// Archive reader. The index is read once into two maps; entries are read
// straight from the open file, which all look-ups share.
#include "image/kvDataFile.h"

#include <unistd.h>

#include "base/kvFiles.h"

#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>

namespace Korvell {

namespace {
// Opening and closing take it whole; look-ups and reads share it (the
// decoding worker reads entries while the show's thread may too).
std::shared_mutex g_lock;
FILE* g_dataFile = nullptr;
bool g_dataFileOpen = false;
std::map<std::string, uint32_t> g_entryOffsets;
std::map<std::string, uint32_t> g_entrySizes;
std::map<std::string, int> g_dataFileTags;

// The archive's size, read once when it is opened (archives are read-only),
// so that a look-up does not seek to the end and back every time.
uint64_t g_dataFileSize = 0;

uint64_t fileSize(FILE* f)
{
    long pos = ftell(f);
    fseek(f, 0, SEEK_END);
    long end = ftell(f);
    fseek(f, pos, SEEK_SET);
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

bool readU32(uint32_t& value)
{
    uint8_t b[4];
    if (fread(b, 1, 4, g_dataFile) != 4) return false;
    value = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8)
            | (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

void closeFile()
{
    if (g_dataFile) fclose(g_dataFile);
    g_dataFile = nullptr;
}
} // namespace

bool atEndOfDataFile()
{
    if (!g_dataFile) return true;
    long pos = ftell(g_dataFile);
    return pos < 0 || static_cast<uint64_t>(pos) >= g_dataFileSize;
}

int readDataFileTag()
{
    char tag[5] = {0, 0, 0, 0, 0};
    if (fread(tag, 1, 4, g_dataFile) != 4) return DATAFILE_TAG_UNKNOWN;
    if (std::memchr(tag, 0, 4) == nullptr) return DATAFILE_TAG_UNKNOWN;
    auto it = g_dataFileTags.find(std::string(tag));
    return it == g_dataFileTags.end() ? DATAFILE_TAG_UNKNOWN : it->second;
}

void readDataFileName(std::string& name)
{
    name.clear();
    if (atEndOfDataFile()) return;
    for (;;) {
        int c = fgetc(g_dataFile);
        if (c == EOF || c == 0) return;
        name += static_cast<char>(c);
        if (atEndOfDataFile()) return;
    }
}

bool openDataFile(const std::string& path)
{
    std::unique_lock<std::shared_mutex> lock(g_lock);
    if (g_dataFileOpen) return false;
    // Only a regular file: a FIFO or a device would block or never end.
    const int fd = openRegularFile(path, 16ll << 30, nullptr, nullptr);
    if (fd < 0) return false;
    g_dataFile = fdopen(fd, "rb");
    if (!g_dataFile) {
        close(fd);
        return false;
    }
    g_dataFileSize = fileSize(g_dataFile);
    g_dataFileTags["VFS"] = DATAFILE_TAG_VFS;
    g_dataFileTags["DAT"] = DATAFILE_TAG_DAT;
    g_dataFileTags["END"] = DATAFILE_TAG_END;
    // Entries of an earlier failed open are not part of this archive.
    g_entryOffsets.clear();
    g_entrySizes.clear();

    while (!atEndOfDataFile()) {
        switch (readDataFileTag()) {
        case DATAFILE_TAG_DAT: {
            std::string name;
            uint32_t size = 0, offset = 0;
            readDataFileName(name);
            if (!readU32(size) || !readU32(offset)) {
                closeFile();
                return false;
            }
            g_entryOffsets[name] = offset;
            g_entrySizes[name] = size;
            break;
        }
        case DATAFILE_TAG_END:
            g_dataFileOpen = true;
            return true;
        case DATAFILE_TAG_VFS:
            break;
        default:
            closeFile();
            return false;
        }
    }
    closeFile();
    return false;
}

bool isDataFileOpen()
{
    std::shared_lock<std::shared_mutex> lock(g_lock);
    return g_dataFileOpen;
}

FILE* openDataFileEntry(const std::string& name)
{
    std::shared_lock<std::shared_mutex> lock(g_lock);
    if (!g_dataFileOpen) return nullptr;
    auto it = g_entryOffsets.find(name);
    if (it == g_entryOffsets.end()) return nullptr;
    if (fseek(g_dataFile, static_cast<long>(it->second), SEEK_SET) != 0) return nullptr;
    return g_dataFile;
}

uint32_t getDataFileEntrySize(const std::string& name)
{
    std::shared_lock<std::shared_mutex> lock(g_lock);
    auto it = g_entrySizes.find(name);
    return it == g_entrySizes.end() ? 0 : it->second;
}

namespace {
bool entryFits(const std::string& name)
{
    if (!g_dataFileOpen) return false;
    auto off = g_entryOffsets.find(name);
    auto size = g_entrySizes.find(name);
    if (off == g_entryOffsets.end() || size == g_entrySizes.end()) return false;
    return static_cast<uint64_t>(off->second) + size->second <= g_dataFileSize;
}
} // namespace

bool dataFileEntryFits(const std::string& name)
{
    std::shared_lock<std::shared_mutex> lock(g_lock);
    return entryFits(name);
}

bool dataFileHasEntry(const std::string& name)
{
    std::shared_lock<std::shared_mutex> lock(g_lock);
    return g_dataFileOpen && g_entryOffsets.count(name) != 0;
}

bool readDataFileEntry(const std::string& name, std::vector<uint8_t>& bytes)
{
    std::shared_lock<std::shared_mutex> lock(g_lock);
    if (!entryFits(name)) return false;
    const uint32_t offset = g_entryOffsets.at(name);
    const uint32_t size = g_entrySizes.at(name);
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fileno(g_dataFile), bytes.data() + done, size - done, static_cast<off_t>(offset + done));
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::vector<std::string> dataFileEntryNames()
{
    std::shared_lock<std::shared_mutex> lock(g_lock);
    std::vector<std::string> names;
    if (!g_dataFileOpen) return names;
    for (const auto& e : g_entryOffsets) names.push_back(e.first);
    return names;
}

uint32_t getDataFileEntryOffset(const std::string& name)
{
    std::shared_lock<std::shared_mutex> lock(g_lock);
    auto it = g_entryOffsets.find(name);
    return it == g_entryOffsets.end() ? 0 : it->second;
}

void closeDataFile()
{
    std::unique_lock<std::shared_mutex> lock(g_lock);
    if (!g_dataFileOpen) return;
    g_entryOffsets.clear();
    g_entrySizes.clear();
    g_dataFileTags.clear();
    closeFile();
    g_dataFileOpen = false;
}

} // namespace Korvell
