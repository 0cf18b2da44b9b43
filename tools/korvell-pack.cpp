// korvell-pack: builds, lists and unpacks Korvell data file archives.
// The player only reads archives; this is the tool that writes them.
//
//   korvell-pack create ARCHIVE ENTRY...   ENTRY is NAME=FILE or FILE
//   korvell-pack list ARCHIVE
//   korvell-pack extract ARCHIVE NAME OUTFILE
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "base/kvFiles.h"
#include "base/kvPartialFile.h"
#include "base/kvQuote.h"
#include "image/kvDataFile.h"
#include "image/kvPictureInfo.h"

using namespace Korvell;

namespace {

const char* const kUsage =
    "Usage:\n"
    "  korvell-pack create ARCHIVE ENTRY...\n"
    "      Writes a new archive. ENTRY is NAME=FILE, stored under NAME exactly\n"
    "      (for example 'credits\\back.jpg=out/back.jpg'), or FILE, stored under\n"
    "      the path as given. Names must be unique and contain no NUL byte.\n"
    "  korvell-pack list ARCHIVE\n"
    "      One line per entry: name, size and offset in bytes.\n"
    "  korvell-pack extract ARCHIVE NAME OUTFILE\n"
    "      Writes the entry's bytes, unchanged, to OUTFILE.\n"
    "  korvell-pack --help\n"
    "\n"
    "An archive is an index of records (\"VFS\", then one \"DAT\" record per entry\n"
    "with its name, size and offset, then \"END\") followed by the entries' bytes.\n"
    "Sizes and offsets are 32-bit, so an archive holds at most 4 GiB.\n";

int fail(const std::string& message)
{
    std::fprintf(stderr, "korvell-pack: %s\n", message.c_str());
    return 1;
}

struct Entry {
    std::string name;
    std::string file;
    uint64_t size = 0;
};

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Where an output is written: a link is written through to its target; a
// folder, a device or a FIFO is refused, and so is a link to nothing.
bool outputTarget(const std::string& path, std::string& target)
{
    target = path;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return true; // a new file
    if (S_ISLNK(st.st_mode)) {
        char* real = realpath(path.c_str(), nullptr);
        if (!real) return fail("'" + path + "' is a link to nothing: not written") && false;
        target = real;
        std::free(real);
        if (stat(target.c_str(), &st) != 0) return fail("cannot write '" + path + "'") && false;
    }
    if (S_ISDIR(st.st_mode)) return fail("'" + path + "' is a folder: name a file in it") && false;
    if (!S_ISREG(st.st_mode)) return fail("'" + path + "' is not a regular file: not written") && false;
    return true;
}

// Copies `size` bytes of a regular file into out.
bool copyInto(FILE* out, const std::string& path, uint64_t size)
{
    const int fd = openRegularFile(path, 1ll << 40, nullptr, nullptr);
    FILE* in = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (!in) {
        if (fd >= 0) close(fd);
        return false;
    }
    std::vector<char> buffer(1 << 16);
    uint64_t left = size;
    while (left > 0) {
        size_t want = left < buffer.size() ? static_cast<size_t>(left) : buffer.size();
        size_t got = std::fread(buffer.data(), 1, want, in);
        if (got != want || std::fwrite(buffer.data(), 1, got, out) != got) {
            std::fclose(in);
            return false;
        }
        left -= got;
    }
    std::fclose(in);
    return true;
}

// What an existing file named as the archive to create is, by its first
// bytes: "" for an archive (or an empty file), which may be replaced.
std::string notAnArchive(const std::string& path)
{
    std::vector<uint8_t> head(64 << 10);
    const int fd = openRegularFile(path, 1ll << 40, nullptr, nullptr);
    if (fd < 0) return std::string();
    const ssize_t n = pread(fd, head.data(), head.size(), 0);
    close(fd);
    if (n <= 0) return std::string();
    head.resize(static_cast<size_t>(n));
    for (const char* tag : {"VFS", "DAT", "END"})
        if (head.size() >= 4 && std::memcmp(head.data(), tag, 4) == 0) return std::string();
    if (inspectPicture(head.data(), head.size()).kind != PICTURE_UNKNOWN)
        return "is a picture, not an archive (was the archive's name forgotten?)";
    return "exists and is not a Korvell archive";
}

// Writes through a partial file beside the target, renamed when whole;
// on any failure only the partial file goes.
bool writeOutput(const std::string& target, const std::function<bool(FILE*)>& write, std::string* why)
{
    kvPartialFile partial;
    if (!partial.begin(target, why)) return false;
    const int fd = partial.releaseDescriptor();
    FILE* out = fdopen(fd, "wb");
    if (!out) {
        *why = std::strerror(errno);
        close(fd);
        return false;
    }
    errno = 0;
    bool ok = write(out) && std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    if (!ok && errno != 0) *why = std::strerror(errno);
    if (std::fclose(out) != 0 && ok) {
        ok = false;
        *why = std::strerror(errno);
    }
    return ok && partial.commit(why);
}

int create(const std::string& archive, const std::vector<std::string>& args)
{
    if (args.empty()) return fail("create needs at least one entry (see --help)");
    std::vector<Entry> entries;
    std::set<std::string> names;
    for (const std::string& arg : args) {
        Entry e;
        size_t eq = arg.find('=');
        if (eq == std::string::npos) {
            e.name = e.file = arg;
        } else {
            e.name = arg.substr(0, eq);
            e.file = arg.substr(eq + 1);
        }
        if (e.name.empty()) return fail("empty entry name in '" + arg + "'");
        if (!names.insert(e.name).second) return fail("duplicate entry name '" + e.name + "'");
        std::string why;
        long long size = 0;
        const int fd = openRegularFile(e.file, 1ll << 40, &size, &why);
        if (fd < 0) return fail("cannot read '" + e.file + "': " + why);
        close(fd);
        e.size = static_cast<uint64_t>(size);
        if (sameFile(e.file, archive)) return fail("'" + archive + "' is one of the entries: it is not written over");
        entries.push_back(e);
    }
    std::string target;
    if (!outputTarget(archive, target)) return 1;
    const std::string what = notAnArchive(target);
    if (!what.empty()) return fail("'" + archive + "' " + what + ": not replaced");

    std::vector<uint8_t> index;
    index.insert(index.end(), {'V', 'F', 'S', 0});
    uint64_t indexSize = 4 + 4;
    for (const Entry& e : entries) indexSize += 4 + e.name.size() + 1 + 8;
    uint64_t offset = indexSize;
    for (const Entry& e : entries) {
        if (offset + e.size > 0xFFFFFFFFull) return fail("the entries do not fit in 4 GiB");
        index.insert(index.end(), {'D', 'A', 'T', 0});
        index.insert(index.end(), e.name.begin(), e.name.end());
        index.push_back(0);
        putU32(index, static_cast<uint32_t>(e.size));
        putU32(index, static_cast<uint32_t>(offset));
        offset += e.size;
    }
    index.insert(index.end(), {'E', 'N', 'D', 0});

    // A failure never leaves a half-written archive, nor touches an older
    // one.
    std::string why = "a write failed";
    const bool ok = writeOutput(target, [&](FILE* out) {
        errno = 0;
        bool good = std::fwrite(index.data(), 1, index.size(), out) == index.size();
        for (size_t i = 0; good && i < entries.size(); ++i) good = copyInto(out, entries[i].file, entries[i].size);
        return good;
    }, &why);
    if (!ok) return fail("cannot write '" + archive + "': " + why);
    std::printf("%s: %zu entries, %llu bytes\n", archive.c_str(), entries.size(),
                static_cast<unsigned long long>(offset));
    return 0;
}

bool openArchive(kvDataFile& archive, const std::string& path)
{
    if (archive.open(path)) return true;
    fail("'" + path + "' is not a readable Korvell archive");
    return false;
}

int list(const std::string& path)
{
    kvDataFile archive;
    if (!openArchive(archive, path)) return 1;
    for (const std::string& name : archive.entryNames())
        std::printf("%s\t%u\t%u\n", quoted(name).c_str(), archive.entrySize(name), archive.entryOffset(name));
    return 0;
}

int extract(const std::string& path, const std::string& name, const std::string& outFile)
{
    if (sameFile(path, outFile)) return fail("'" + outFile + "' is the archive: it is not written over");
    std::string target;
    if (!outputTarget(outFile, target)) return 1;
    kvDataFile archive;
    if (!openArchive(archive, path)) return 1;
    if (!archive.hasEntry(name)) return fail("no entry named " + quoted(name) + " in '" + path + "'");
    if (!archive.entryFits(name)) return fail("entry " + quoted(name) + " reaches past the end of '" + path + "'");
    std::string why = "a write failed";
    if (!writeOutput(target, [&](FILE* out) {
            std::vector<uint8_t> buffer(1 << 16);
            const uint32_t size = archive.entrySize(name);
            for (uint32_t done = 0; done < size;) {
                const uint32_t n = std::min<uint32_t>(size - done, static_cast<uint32_t>(buffer.size()));
                if (!archive.readEntryPart(name, done, n, buffer.data())) {
                    why = "the archive cannot be read";
                    errno = 0;
                    return false;
                }
                if (std::fwrite(buffer.data(), 1, n, out) != n) return false;
                done += n;
            }
            return true;
        }, &why))
        return fail("extracting " + quoted(name) + " failed: " + why);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    // A mistake gets one line and where to look, not the whole usage.
    auto usage = [](const std::string& why) {
        std::fprintf(stderr, "korvell-pack: %s\nTry 'korvell-pack --help'.\n", why.c_str());
        return 2;
    };
    if (args.empty()) return usage("no command given (create, list or extract)");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args[0] == "create" && args.size() >= 2)
        return create(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    if (args[0] == "list" && args.size() == 2) return list(args[1]);
    if (args[0] == "extract" && args.size() == 4) return extract(args[1], args[2], args[3]);
    if (args[0] == "create") return usage("create takes ARCHIVE and then its entries");
    if (args[0] == "list") return usage("list takes one ARCHIVE");
    if (args[0] == "extract") return usage("extract takes ARCHIVE NAME OUTFILE");
    return usage("unknown command '" + args[0] + "' (create, list or extract)");
}
