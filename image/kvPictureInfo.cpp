// Picture kinds, sizes and decode plans.
#include "image/kvPictureInfo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/kvJpegInfo.h"

namespace Korvell {

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t be32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) | (p[2] << 8) | p[3];
}

kvPictureInfo inspectPng(const uint8_t* data, size_t size)
{
    kvPictureInfo info;
    info.kind = PICTURE_PNG;
    // The signature, then the IHDR chunk: length 13, "IHDR", width, height.
    if (size < 33 || be32(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0) return info;
    const uint32_t w = be32(data + 16), h = be32(data + 20);
    if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return info;
    info.width = static_cast<int>(w);
    info.height = static_cast<int>(h);
    info.sound = true;
    info.complete = size >= 45 && std::memcmp(data + size - 8, "IEND", 4) == 0;
    return info;
}

} // namespace

kvPictureInfo inspectPicture(const uint8_t* data, size_t size)
{
    if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) return inspectPng(data, size);
    kvPictureInfo info;
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) return info;
    const kvJpegInfo jpeg = jpegInspect(data, size);
    info.kind = PICTURE_JPEG;
    info.sound = jpeg.sound && jpeg.width > 0 && jpeg.height > 0;
    info.complete = jpeg.complete;
    info.width = jpeg.width;
    info.height = jpeg.height;
    info.orientation = jpeg.orientation;
    return info;
}

int bufferSide(int n)
{
    int side = 2;
    while (side < n && side < (1 << 30)) side *= 2;
    return side;
}

bool planDecode(const kvPictureInfo& info, int neededWidth, int neededHeight, int maxSide, kvDecodePlan& plan)
{
    const int w = info.shownWidth(), h = info.shownHeight();
    if (w <= 0 || h <= 0) return false;
    const int bufW = bufferSide(w), bufH = bufferSide(h);
    const bool full = neededWidth <= 0 && neededHeight <= 0;
    bool found = false;
    // Largest first: the smallest denominator that fits in maxSide, then
    // the largest one that still shows enough.
    for (int d = 1; d <= (info.kind == PICTURE_JPEG ? 8 : 1); d *= 2) {
        if (bufW / d < 2 || bufH / d < 2) break;
        if (bufW / d > maxSide || bufH / d > maxSide) continue;
        const int sw = std::max(1, static_cast<int>(std::lround(static_cast<double>(w) / d)));
        const int sh = std::max(1, static_cast<int>(std::lround(static_cast<double>(h) / d)));
        if (found && (full || sw < neededWidth || sh < neededHeight)) break;
        plan.denominator = d;
        plan.width = sw;
        plan.height = sh;
        plan.bufferWidth = bufW / d;
        plan.bufferHeight = bufH / d;
        found = true;
    }
    return found;
}

} // namespace Korvell
