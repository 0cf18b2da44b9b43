// The data file archive: one read-only file holding many pictures. Each
// show (and each tool) owns its own; an open archive may be read by two
// threads at once (the show's and the decoding worker).
//
// Format (all integers u32 little-endian): an index of records, each opened
// by a 4-byte tag "VFS\0" (nothing), "DAT\0" (name up to its NUL, size,
// offset from the start of the file) or "END\0" (the index ends); entry
// bytes are stored unchanged wherever the offsets say. A later record of a
// name replaces an earlier one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <shared_mutex>
#include <string>
#include <vector>

namespace Korvell {

class kvDataFile {
public:
    kvDataFile() = default;
    ~kvDataFile();

    // Reads the index of a regular file; false (and closed) when it is not
    // an archive, or when one is open already.
    bool open(const std::string& path);
    bool isOpen() const;
    void close();

    bool hasEntry(const std::string& name) const;
    // Whether an entry's bytes lie wholly inside the file; readers check it
    // before trusting a size.
    bool entryFits(const std::string& name) const;
    // 0 when absent.
    uint32_t entrySize(const std::string& name) const;
    uint32_t entryOffset(const std::string& name) const;
    // Reads an entry whole at its offset, without moving any shared read
    // position; false when it is absent, reaches past the end, or the read
    // fails.
    bool readEntry(const std::string& name, std::vector<uint8_t>& bytes) const;
    // Reads `length` bytes of an entry from `at` (for copying a large one
    // out a piece at a time); false past the entry's end.
    bool readEntryPart(const std::string& name, uint32_t at, uint32_t length, uint8_t* into) const;
    // The entries' names in name order.
    std::vector<std::string> entryNames() const;

private:
    kvDataFile(const kvDataFile&) = delete;
    kvDataFile& operator=(const kvDataFile&) = delete;
    struct Entry {
        uint32_t size;
        uint32_t offset;
    };
    bool readIndex();
    const Entry* find(const std::string& name) const;
    bool fits(const Entry& e) const { return static_cast<uint64_t>(e.offset) + e.size <= fileSize; }

    // Opening and closing take it whole; look-ups and reads share it.
    mutable std::shared_mutex lock;
    FILE* file = nullptr;
    bool opened = false;
    uint64_t fileSize = 0;
    std::map<std::string, Entry> entries;
};

} // namespace Korvell
