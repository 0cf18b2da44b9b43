// The data file archive: one read-only file holding many pictures, one
// archive at a time, as free functions over state private to this module.
//
// Format (all integers u32 little-endian): an index of records, each opened
// by a 4-byte tag "VFS\0" (nothing), "DAT\0" (name up to its NUL, size,
// offset from the start of the file) or "END\0" (the index ends); entry
// bytes are stored unchanged wherever the offsets say.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Korvell {

enum {
    DATAFILE_TAG_UNKNOWN = 0,
    DATAFILE_TAG_DAT = 1,
    DATAFILE_TAG_END = 2,
    DATAFILE_TAG_VFS = 3
};

bool openDataFile(const std::string& path);
bool isDataFileOpen();
FILE* openDataFileEntry(const std::string& name);
uint32_t getDataFileEntrySize(const std::string& name);
void closeDataFile();
int readDataFileTag();
void readDataFileName(std::string& name);
bool atEndOfDataFile();

// Whether an entry's bytes lie wholly inside the archive file; readers
// check it before trusting a size.
bool dataFileEntryFits(const std::string& name);
bool dataFileHasEntry(const std::string& name);
// Reads an entry's bytes whole at its offset, without moving the shared
// read position (so two threads may read entries at once); false when it
// is absent, reaches past the end, or the read fails.
bool readDataFileEntry(const std::string& name, std::vector<uint8_t>& bytes);
// The names of the open archive's entries in name order, and an entry's
// offset (0 when absent): for listing an archive.
std::vector<std::string> dataFileEntryNames();
uint32_t getDataFileEntryOffset(const std::string& name);

} // namespace Korvell
