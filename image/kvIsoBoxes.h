// ISO base media boxes (MP4, MOV, HEIF, AVIF): big-endian numbers and the
// walk over a run of boxes, shared by the picture, clip and EXIF readers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvell {

inline uint32_t be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
inline uint32_t be32(const uint8_t* p) { return be16(p) << 16 | be16(p + 2); }
inline uint64_t be64(const uint8_t* p) { return uint64_t(be32(p)) << 32 | be32(p + 4); }
// RIFF's (WebP's) are little-endian.
inline uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// A box's size and header length from its first `n` bytes (8, or 16 for a
// 64-bit size), `room` bytes left where it stands (a size of 0 runs to
// the end of them); false when it cannot be a box there.
inline bool isoBoxSize(const uint8_t* h, size_t n, uint64_t room, uint64_t* size, size_t* header)
{
    if (n < 8) return false;
    *size = be32(h);
    *header = 8;
    if (*size == 1) {
        if (n < 16) return false;
        *size = be64(h + 8);
        *header = 16;
    } else if (*size == 0) {
        *size = room;
    }
    return *size >= *header && *size <= room;
}

// The boxes in [from, to) of `data`, each handed to visit(type, body, end)
// (offsets into data) until it returns true; false when a box runs past
// `to` (its end not known).
template <class Visit>
bool forEachIsoBox(const uint8_t* data, size_t from, size_t to, Visit visit)
{
    while (from + 8 <= to) {
        uint64_t size = 0;
        size_t header = 0;
        if (!isoBoxSize(data + from, to - from, to - from, &size, &header)) return false;
        const size_t end = from + static_cast<size_t>(size);
        if (visit(data + from + 4, from + header, end)) return true;
        from = end;
    }
    return true;
}

} // namespace Korvell
