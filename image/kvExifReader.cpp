// Reading EXIF's date fields by hand: JPEG segments, ISO boxes, TIFF IFDs.
#include "image/kvExifReader.h"

#include <unistd.h>

#include <cstring>
#include <vector>

#include "image/kvIsoBoxes.h"

namespace Korvell {

namespace {

const uint64_t kMostExifBytes = 1u << 20;
const char kExifName[] = "Exif\0"; // with the literal's own NUL: "Exif" and two NULs, all six bytes

// A number of `bytes` (0, 4 or 8) big-endian bytes at p.
uint64_t beN(const uint8_t* p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
    return v;
}

std::string trimmed(const char* p, size_t n)
{
    size_t b = 0, e = n;
    while (e > b && (p[e - 1] == '\0' || p[e - 1] == ' ')) --e;
    while (b < e && p[b] == ' ') ++b;
    // A string ends at its first NUL, as Exiv2 reads it.
    const void* nul = std::memchr(p + b, '\0', e - b);
    if (nul) e = static_cast<size_t>(static_cast<const char*>(nul) - p);
    return std::string(p + b, e - b);
}

struct Tiff {
    const uint8_t* data;
    size_t size;
    bool little;
    uint32_t u16(size_t at) const { return little ? uint32_t(data[at + 1]) << 8 | data[at] : be16(data + at); }
    uint32_t u32(size_t at) const { return little ? u16(at + 2) << 16 | u16(at) : be32(data + at); }

    // The bytes of the entry at `at` (12 bytes: tag, type, count, value):
    // inside it when four or fewer, else where its offset points.
    bool value(size_t at, const uint8_t** bytes, size_t* n) const
    {
        static const uint8_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
        const uint32_t type = u16(at + 2), count = u32(at + 4);
        if (type == 0 || type >= sizeof sizes || count > size) return false;
        const uint64_t length = static_cast<uint64_t>(count) * sizes[type];
        if (length <= 4) {
            *bytes = data + at + 8;
        } else {
            const uint32_t offset = u32(at + 8);
            if (offset > size || length > size - offset) return false;
            *bytes = data + offset;
        }
        *n = static_cast<size_t>(length);
        return true;
    }

    // Each entry of the IFD at `ifd`, handed to `visit(tag, entry offset)`.
    template <class Visit>
    bool entries(uint32_t ifd, Visit visit) const
    {
        if (ifd > size || size - ifd < 2) return false;
        const uint32_t count = u16(ifd);
        if (count > (size - ifd - 2) / 12) return false;
        for (uint32_t i = 0; i < count; ++i) visit(u16(ifd + 2 + 12 * i), ifd + 2 + 12 * i);
        return true;
    }
};

} // namespace

kvExifPlace findJpegApp1(const uint8_t* bytes, size_t size, uint64_t base, uint64_t at, uint64_t fileSize,
                         const char* name, size_t nameBytes, uint64_t* offset, uint64_t* length)
{
    const uint64_t end = base + size;
    while (at + 4 <= end) {
        const uint8_t* p = bytes + (at - base);
        if (p[0] != 0xFF) return kvExifPlace::Unknown; // not the marker it should be
        const uint8_t marker = p[1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return kvExifPlace::None; // the scan: no EXIF before it
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const uint32_t segment = be16(p + 2);
        if (segment < 2) return kvExifPlace::Unknown;
        if (marker == 0xE1 && segment >= 2 + nameBytes) {
            if (at + 4 + nameBytes > end) break; // its name past the bytes: read on from here
            if (std::memcmp(p + 4, name, nameBytes) == 0) {
                *offset = at + 4 + nameBytes;
                *length = segment - 2 - nameBytes;
                return *offset + *length <= fileSize ? kvExifPlace::Found : kvExifPlace::Unknown;
            }
        }
        at += 2 + segment;
    }
    if (at >= fileSize) return kvExifPlace::Unknown;
    *offset = at;
    return kvExifPlace::Further;
}

namespace {

kvExifPlace findInIso(const uint8_t* head, size_t size, uint64_t fileSize, uint64_t* offset, uint64_t* length)
{
    size_t metaFrom = 0, metaTo = 0;
    forEachIsoBox(head, 0, size, [&](const uint8_t* type, size_t body, size_t end) {
        if (std::memcmp(type, "meta", 4) != 0) return false;
        metaFrom = body + 4; // a full box
        metaTo = end;
        return true;
    });
    if (!metaTo) return kvExifPlace::Unknown; // past the head, or not where it should be
    uint32_t exifItem = 0;
    bool sawItems = false;
    size_t ilocFrom = 0, ilocTo = 0;
    forEachIsoBox(head, metaFrom, metaTo, [&](const uint8_t* type, size_t body, size_t end) {
        if (std::memcmp(type, "iinf", 4) == 0 && end - body >= 6) {
            sawItems = true;
            const size_t first = body + 4 + (head[body] == 0 ? 2 : 4);
            forEachIsoBox(head, first, end, [&](const uint8_t* t, size_t b, size_t e) {
                if (std::memcmp(t, "infe", 4) != 0 || e - b < 4) return false;
                const int version = head[b];
                if (version < 2) return false;
                const size_t idBytes = version == 2 ? 2 : 4;
                if (e - b < 4 + idBytes + 2 + 4) return false;
                const uint32_t id = idBytes == 2 ? be16(head + b + 4) : be32(head + b + 4);
                if (std::memcmp(head + b + 4 + idBytes + 2, "Exif", 4) == 0 && !exifItem) exifItem = id;
                return false;
            });
        }
        if (std::memcmp(type, "iloc", 4) == 0) {
            ilocFrom = body;
            ilocTo = end;
        }
        return false;
    });
    if (!sawItems) return kvExifPlace::Unknown;
    if (!exifItem) return kvExifPlace::None;
    if (ilocTo - ilocFrom < 8) return kvExifPlace::Unknown;
    const int version = head[ilocFrom];
    if (version > 2) return kvExifPlace::Unknown;
    const int offsetSize = head[ilocFrom + 4] >> 4, lengthSize = head[ilocFrom + 4] & 15;
    const int baseSize = head[ilocFrom + 5] >> 4, indexSize = version > 0 ? head[ilocFrom + 5] & 15 : 0;
    for (int s : {offsetSize, lengthSize, baseSize, indexSize})
        if (s != 0 && s != 4 && s != 8) return kvExifPlace::Unknown;
    size_t at = ilocFrom + 6;
    const size_t countBytes = version < 2 ? 2 : 4;
    if (at + countBytes > ilocTo) return kvExifPlace::Unknown;
    const uint32_t items = countBytes == 2 ? be16(head + at) : be32(head + at);
    at += countBytes;
    for (uint32_t i = 0; i < items; ++i) {
        const size_t fixed = countBytes + (version > 0 ? 2 : 0) + 2 + static_cast<size_t>(baseSize) + 2;
        if (at + fixed > ilocTo) return kvExifPlace::Unknown;
        const uint32_t id = countBytes == 2 ? be16(head + at) : be32(head + at);
        at += countBytes;
        const int method = version > 0 ? head[at + 1] & 15 : 0;
        at += version > 0 ? 2 : 0;
        at += 2; // data reference index
        const uint64_t base = beN(head + at, baseSize);
        at += static_cast<size_t>(baseSize);
        const uint32_t extents = be16(head + at);
        at += 2;
        const size_t extentBytes = static_cast<size_t>(indexSize + offsetSize + lengthSize);
        if (extents > (ilocTo - at) / (extentBytes ? extentBytes : 1)) return kvExifPlace::Unknown;
        if (id == exifItem) {
            // One extent in the file itself; anything else is Exiv2's to read.
            if (method != 0 || extents != 1) return kvExifPlace::Unknown;
            const uint64_t start = base + beN(head + at + indexSize, offsetSize);
            const uint64_t bytes = beN(head + at + indexSize + offsetSize, lengthSize);
            if (bytes < 4 + 8 || start > fileSize || bytes > fileSize - start) return kvExifPlace::Unknown;
            *offset = start;
            *length = bytes;
            return kvExifPlace::Found;
        }
        at += extentBytes * extents;
    }
    return kvExifPlace::Unknown;
}

} // namespace

std::string appleContentId(const uint8_t* note, size_t size)
{
    if (size < 16 || size > (1u << 20) || std::memcmp(note, "Apple iOS\0", 10) != 0 || std::memcmp(note + 12, "MM", 2) != 0)
        return std::string();
    const Tiff t{note, size, false};
    std::string id;
    t.entries(14, [&](uint32_t tag, size_t at) {
        const uint8_t* bytes;
        size_t n;
        if (tag == 0x0011 && t.u16(at + 2) == 2 && id.empty() && t.value(at, &bytes, &n) && n <= 256)
            id = trimmed(reinterpret_cast<const char*>(bytes), n);
    });
    return id;
}

bool readExifDate(const uint8_t* tiff, size_t size, kvExifDate* out)
{
    if (size < 8) return false;
    Tiff t{tiff, size, tiff[0] == 'I'};
    if (!((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M')) || t.u16(2) != 42) return false;
    uint32_t exifIfd = 0;
    if (!t.entries(t.u32(4), [&](uint32_t tag, size_t at) {
            if (tag == 0x8769) exifIfd = t.u32(at + 8);
        }))
        return false;
    *out = kvExifDate();
    if (!exifIfd) return true;
    t.entries(exifIfd, [&](uint32_t tag, size_t at) {
        const uint8_t* bytes;
        size_t n;
        if (!t.value(at, &bytes, &n)) return;
        const std::string text = tag == 0x927C ? std::string() : trimmed(reinterpret_cast<const char*>(bytes), n);
        if (tag == 0x9003) out->taken = text;
        if (tag == 0x9291) out->subSeconds = text;
        if (tag == 0x9011) out->offset = text;
        if (tag == 0x927C) out->contentId = appleContentId(bytes, n);
    });
    return true;
}

kvExifPlace findExif(const uint8_t* head, size_t size, uint64_t fileSize, uint64_t* offset, uint64_t* length)
{
    if (size >= 4 && head[0] == 0xFF && head[1] == 0xD8)
        return findJpegApp1(head, size, 0, 2, fileSize, kExifName, sizeof kExifName, offset, length);
    if (size >= 12 && std::memcmp(head + 4, "ftyp", 4) == 0) return findInIso(head, size, fileSize, offset, length);
    return kvExifPlace::Unknown;
}

bool readPhotoDate(int fd, const uint8_t* head, size_t size, uint64_t fileSize, kvExifDate* out)
{
    uint64_t offset = 0, length = 0;
    kvExifPlace place = findExif(head, size, fileSize, &offset, &length);
    // A JPEG whose EXIF comes after long segments (an ICC profile, a
    // thumbnail): on from segment to segment, a few bytes each.
    uint8_t marker[16];
    for (int hops = 0; place == kvExifPlace::Further && hops < 64; ++hops) {
        const ssize_t n = pread(fd, marker, sizeof marker, static_cast<off_t>(offset));
        if (n < 4) return false;
        place = findJpegApp1(marker, static_cast<size_t>(n), offset, offset, fileSize, kExifName, sizeof kExifName,
                             &offset, &length);
    }
    if (place == kvExifPlace::None) {
        *out = kvExifDate();
        return true;
    }
    if (place != kvExifPlace::Found || length > kMostExifBytes) return false;
    std::vector<uint8_t> block;
    const uint8_t* bytes = head + offset;
    if (offset + length > size) {
        block.resize(static_cast<size_t>(length));
        if (pread(fd, block.data(), block.size(), static_cast<off_t>(offset)) != static_cast<ssize_t>(block.size()))
            return false;
        bytes = block.data();
    }
    // A HEIF Exif item begins with the offset of its TIFF header.
    const bool item = head[0] != 0xFF;
    if (item) {
        if (length < 4) return false;
        const uint32_t skip = be32(bytes);
        if (skip > length - 4) return false;
        return readExifDate(bytes + 4 + skip, static_cast<size_t>(length - 4 - skip), out);
    }
    return readExifDate(bytes, static_cast<size_t>(length), out);
}

} // namespace Korvell
