// One walk over the marker segments tells soundness and size. It steps
// from marker to marker as the decoder's own reader does: bytes between
// segments that are not a marker (padding some cameras write, a stuffed
// FF 00) are skipped, and markers without a segment (TEM, RST) are passed
// over, before the first scan as inside it.
#include "image/kvJpegInfo.h"

namespace Korvell {

namespace {

bool isFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

} // namespace

kvJpegInfo jpegInspect(const uint8_t* data, size_t size)
{
    kvJpegInfo w;
    bool frame = false;
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return w;
    bool scan = false;
    size_t pos = 2;
    while (pos + 1 < size) {
        if (data[pos] != 0xFF) { // entropy-coded data or stray bytes
            ++pos;
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
        if (marker == 0xD9) break; // end of image
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
        pos += 2 + length;
    }
    w.sound = frame && scan;
    return w;
}

} // namespace Korvell
