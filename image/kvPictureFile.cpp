// Reading picture files from the disk or the archive.
#include "image/kvPictureFile.h"

#include "base/kvFiles.h"
#include "image/kvDataFile.h"

namespace Korvell {

namespace {

const long long kMaxFileBytes = 256ll << 20;

bool fail(std::string* reason, const char* why)
{
    if (reason) *reason = why;
    return false;
}

} // namespace

bool readPictureFile(const std::string& name, const kvDataFile* archive, std::vector<uint8_t>& bytes,
                     std::string* reason)
{
    bytes.clear();
    if (archive && archive->isOpen()) {
        if (!archive->hasEntry(name)) return fail(reason, "not in the archive");
        // An entry that claims more than the archive holds is refused
        // before anything of that size is allocated.
        if (!archive->entryFits(name)) return fail(reason, "cannot be read (past the end of the archive)");
        if (archive->entrySize(name) > kMaxFileBytes) return fail(reason, "larger than 256 MB");
        if (archive->entrySize(name) == 0) return fail(reason, "empty");
        if (!archive->readEntry(name, bytes)) return fail(reason, "cannot be read");
        return true;
    }
    // Only regular files: a folder opens too, and a FIFO or a device would
    // block the reader or never end.
    return readRegularFile(diskPath(name), kMaxFileBytes, bytes, reason);
}

} // namespace Korvell
