// One walk over the marker segments tells soundness and size. It steps
// from marker to marker as the decoder's own reader does: bytes between
// segments that are not a marker (padding some cameras write, a stuffed
// FF 00) are skipped, and markers without a segment (TEM, RST) are passed
// over, before the first scan as inside it.
#include "image/kvJpegInfo.h"

#include <cstring>

#include "image/kvColourTag.h"

namespace Korvell {

namespace {

bool isFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

uint32_t read16(const uint8_t* p, bool little) { return little ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1]; }
uint32_t read32(const uint8_t* p, bool little)
{
    return little ? p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24)
                  : (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

} // namespace

int exifOrientation(const uint8_t* payload, size_t size)
{
    // "Exif\0\0", then a TIFF header: byte order, 42, the offset of IFD0.
    if (size < 14 || payload[0] != 'E' || payload[1] != 'x' || payload[2] != 'i' || payload[3] != 'f'
        || payload[4] != 0 || payload[5] != 0)
        return 1;
    const uint8_t* tiff = payload + 6;
    const size_t tiffSize = size - 6;
    bool little;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        little = true;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        little = false;
    else
        return 1;
    if (read16(tiff + 2, little) != 42) return 1;
    const uint32_t ifd = read32(tiff + 4, little);
    if (ifd > tiffSize || tiffSize - ifd < 2) return 1;
    const uint32_t count = read16(tiff + ifd, little);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = ifd + 2 + static_cast<size_t>(i) * 12;
        if (at + 12 > tiffSize) return 1;
        if (read16(tiff + at, little) != 0x0112) continue;
        // A SHORT, held in the first two bytes of the value field.
        if (read16(tiff + at + 2, little) != 3) return 1;
        const uint32_t value = read16(tiff + at + 8, little);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

namespace {

// An ICC profile in up to 255 APP2 chunks, each numbered and counting the
// whole: joined when every chunk is there once.
struct IccChunks {
    const uint8_t* at[256] = {};
    size_t length[256] = {};
    int count = 0;
    bool bad = false;

    void add(const uint8_t* payload, size_t size)
    {
        static const char kName[] = "ICC_PROFILE";
        if (size < 14 || std::memcmp(payload, kName, sizeof kName) != 0) return;
        const int n = payload[12], of = payload[13];
        if (n == 0 || n > of || (count && of != count) || at[n]) {
            bad = true;
            return;
        }
        count = of;
        at[n] = payload + 14;
        length[n] = size - 14;
    }

    void into(kvColourTag& tag) const
    {
        if (!count && !bad) return;
        for (int i = 1; i <= count && !bad; ++i) {
            if (!at[i]) break;
            tag.icc.insert(tag.icc.end(), at[i], at[i] + length[i]);
            if (i == count) {
                tag.kind = kvColourTag::ICC;
                return;
            }
        }
        tag.icc.clear();
        tag.problem = "its colour profile cannot be read (its APP2 chunks are missing or repeated)";
    }
};

} // namespace

kvJpegInfo jpegInspect(const uint8_t* data, size_t size, kvColourTag* colour)
{
    IccChunks icc;
    kvJpegInfo w;
    bool frame = false;
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return w;
    bool scan = false;
    size_t pos = 2;
    while (pos + 1 < size) {
        if (data[pos] != 0xFF) { // entropy-coded data or stray bytes: on to the next 0xFF
            const void* next = std::memchr(data + pos, 0xFF, size - pos);
            if (!next) break;
            pos = static_cast<size_t>(static_cast<const uint8_t*>(next) - data);
            continue;
        }
        const uint8_t marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2; // stuffing, restarts and TEM carry no segment
            continue;
        }
        if (marker == 0xD9) { // end of image
            w.complete = true;
            break;
        }
        if (marker == 0xD8 || pos + 4 > size) return w;
        const size_t length = (static_cast<size_t>(data[pos + 2]) << 8) | data[pos + 3];
        if (length < 2 || pos + 2 + length > size) return w;
        if (isFrameMarker(marker)) {
            if (length < 7) return w;
            const int h = (data[pos + 5] << 8) | data[pos + 6];
            const int wd = (data[pos + 7] << 8) | data[pos + 8];
            if (h > w.height) w.height = h;
            if (wd > w.width) w.width = wd;
            frame = true;
        }
        if (marker == 0xDA) {
            if (!frame) return w;
            scan = true;
        }
        // The first Exif segment, before the first scan, tells the orientation.
        if (marker == 0xE1 && !scan && w.orientation == 1)
            w.orientation = exifOrientation(data + pos + 4, length - 2);
        if (marker == 0xE2 && !scan && colour) icc.add(data + pos + 4, length - 2);
        pos += 2 + length;
    }
    w.sound = frame && scan;
    if (colour) icc.into(*colour);
    return w;
}

} // namespace Korvell
