// korvell-pack: builds, lists and unpacks Korvell data file archives.
// The player only reads archives; this is the tool that writes them.
//
//   korvell-pack create ARCHIVE ENTRY...   ENTRY is NAME=FILE or FILE
//   korvell-pack list ARCHIVE
//   korvell-pack extract ARCHIVE NAME OUTFILE
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "image/kvDataFile.h"

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

bool fileSize(const std::string& path, uint64_t& size)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long end = ok ? std::ftell(f) : -1;
    std::fclose(f);
    if (end < 0) return false;
    size = static_cast<uint64_t>(end);
    return true;
}

bool copyInto(FILE* out, const std::string& path, uint64_t size)
{
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
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
        if (!fileSize(e.file, e.size)) return fail("cannot read '" + e.file + "': " + std::strerror(errno));
        entries.push_back(e);
    }

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

    // Written beside the target and renamed at the end, so a failure never
    // leaves a half-written archive (nor destroys an older one).
    std::string temp = archive + ".partial";
    FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) return fail("cannot write '" + archive + "': " + std::strerror(errno));
    bool ok = std::fwrite(index.data(), 1, index.size(), out) == index.size();
    for (size_t i = 0; ok && i < entries.size(); ++i) ok = copyInto(out, entries[i].file, entries[i].size);
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::remove(temp.c_str());
        return fail("writing '" + archive + "' failed");
    }
    if (std::rename(temp.c_str(), archive.c_str()) != 0) {
        std::remove(temp.c_str());
        return fail("cannot write '" + archive + "': " + std::strerror(errno));
    }
    std::printf("%s: %zu entries, %llu bytes\n", archive.c_str(), entries.size(),
                static_cast<unsigned long long>(offset));
    return 0;
}

bool openArchive(const std::string& archive)
{
    if (openDataFile(archive)) return true;
    fail("'" + archive + "' is not a readable Korvell archive");
    return false;
}

int list(const std::string& archive)
{
    if (!openArchive(archive)) return 1;
    for (const std::string& name : dataFileEntryNames())
        std::printf("%s\t%u\t%u\n", name.c_str(), getDataFileEntrySize(name), getDataFileEntryOffset(name));
    closeDataFile();
    return 0;
}

int extract(const std::string& archive, const std::string& name, const std::string& outFile)
{
    if (!openArchive(archive)) return 1;
    if (!openDataFileEntry(name)) {
        closeDataFile();
        return fail("no entry named '" + name + "' in '" + archive + "'");
    }
    if (!dataFileEntryFits(name)) {
        closeDataFile();
        return fail("entry '" + name + "' reaches past the end of '" + archive + "'");
    }
    uint32_t size = getDataFileEntrySize(name);
    FILE* in = openDataFileEntry(name);
    FILE* out = std::fopen(outFile.c_str(), "wb");
    if (!out) {
        closeDataFile();
        return fail("cannot write '" + outFile + "': " + std::strerror(errno));
    }
    std::vector<char> buffer(1 << 16);
    uint32_t left = size;
    bool ok = true;
    while (ok && left > 0) {
        size_t want = left < buffer.size() ? left : buffer.size();
        ok = std::fread(buffer.data(), 1, want, in) == want && std::fwrite(buffer.data(), 1, want, out) == want;
        left -= static_cast<uint32_t>(want);
    }
    ok = std::fclose(out) == 0 && ok;
    closeDataFile();
    if (!ok) {
        std::remove(outFile.c_str());
        return fail("extracting '" + name + "' failed");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args[0] == "create" && args.size() >= 2)
        return create(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    if (args[0] == "list" && args.size() == 2) return list(args[1]);
    if (args[0] == "extract" && args.size() == 4) return extract(args[1], args[2], args[3]);
    std::fputs(kUsage, stderr);
    return 2;
}
