// Walks the marker segments up to the first start-of-frame.
#include "image/kvJpegInfo.h"

namespace Korvell {

bool jpegDimensions(const uint8_t* data, size_t size, int* width, int* height)
{
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF) return false;
        uint8_t marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        size_t length = (static_cast<size_t>(data[pos + 2]) << 8) | data[pos + 3];
        if (length < 2) return false;
        bool isFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8
                       && marker != 0xCC;
        if (isFrame) {
            if (pos + 9 > size) return false;
            *height = (data[pos + 5] << 8) | data[pos + 6];
            *width = (data[pos + 7] << 8) | data[pos + 8];
            return true;
        }
        if (marker == 0xDA || marker == 0xD9) return false;
        pos += 2 + length;
    }
    return false;
}

bool jpegSegmentsSound(const uint8_t* data, size_t size)
{
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    bool frame = false, scan = false;
    size_t pos = 2;
    while (pos + 1 < size) {
        if (data[pos] != 0xFF) {
            // Entropy-coded data: only markers after a scan header count.
            if (!scan) return false;
            ++pos;
            continue;
        }
        const uint8_t marker = data[pos + 1];
        if (marker == 0x00 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += (marker == 0xFF) ? 1 : 2; // stuffing, fill, restart: no length
            continue;
        }
        if (marker == 0xD9) break; // end of image
        if (marker == 0xD8) return false;
        if (pos + 4 > size) return false;
        const size_t length = (static_cast<size_t>(data[pos + 2]) << 8) | data[pos + 3];
        if (length < 2 || pos + 2 + length > size) return false;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) frame = true;
        if (marker == 0xDA) {
            if (!frame) return false;
            scan = true;
        }
        pos += 2 + length;
    }
    return frame && scan;
}

} // namespace Korvell
