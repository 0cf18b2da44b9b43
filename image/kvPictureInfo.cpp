// Picture kinds, sizes and decode plans.
#include "image/kvPictureInfo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/kvIsoBoxes.h"
#include "image/kvJpegInfo.h"

namespace Korvell {

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

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

uint32_t le24(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | (p[1] << 8) | (p[2] << 16); }

bool setSize(kvPictureInfo& info, uint32_t w, uint32_t h)
{
    if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return false;
    info.width = static_cast<int>(w);
    info.height = static_cast<int>(h);
    return true;
}

// RIFF "WEBP": its first chunk tells the size (VP8X: the canvas, VP8L and
// VP8: the one frame).
kvPictureInfo inspectWebp(const uint8_t* data, size_t size)
{
    kvPictureInfo info;
    info.kind = PICTURE_WEBP;
    if (size < 30) return info;
    const uint8_t* c = data + 12;
    const uint32_t chunk = le32(c + 4);
    bool ok = false;
    if (std::memcmp(c, "VP8X", 4) == 0 && chunk >= 10)
        ok = setSize(info, le24(c + 12) + 1, le24(c + 15) + 1);
    else if (std::memcmp(c, "VP8L", 4) == 0 && chunk >= 5 && c[8] == 0x2F)
        ok = setSize(info, 1 + (le32(c + 9) & 0x3FFF), 1 + ((le32(c + 9) >> 14) & 0x3FFF));
    else if (std::memcmp(c, "VP8 ", 4) == 0 && chunk >= 10 && c[11] == 0x9D && c[12] == 0x01 && c[13] == 0x2A)
        ok = setSize(info, (c[14] | (c[15] << 8)) & 0x3FFF, (c[16] | (c[17] << 8)) & 0x3FFF);
    info.sound = ok;
    info.complete = static_cast<uint64_t>(le32(data + 4)) + 8 <= size;
    return info;
}

// ISO base media boxes: HEIC and AVIF keep their size in an "ispe" property
// and their rotation in "irot", inside meta / iprp / ipco.
struct Boxes {
    const uint8_t* data;
    size_t size;
    bool cut = false;
    int largestW = 0, largestH = 0, rotation = 0;
    // The clean aperture (a coded picture's crop), as width and height.
    int clapW = 0, clapH = 0;

    // The boxes in [from, to); `full` boxes carry 4 bytes of version and
    // flags before their children.
    void walk(size_t from, size_t to, int depth)
    {
        if (depth >= 8) return;
        const bool whole = forEachIsoBox(data, from, to, [&](const uint8_t* type, size_t body, size_t end) {
            if (std::memcmp(type, "meta", 4) == 0) walk(body + 4, end, depth + 1);
            if (std::memcmp(type, "iprp", 4) == 0 || std::memcmp(type, "ipco", 4) == 0) walk(body, end, depth + 1);
            if (std::memcmp(type, "ispe", 4) == 0 && end - body >= 12) {
                const uint32_t w = be32(data + body + 4), h = be32(data + body + 8);
                if (static_cast<uint64_t>(w) * h > static_cast<uint64_t>(largestW) * static_cast<uint64_t>(largestH)
                    && w <= 0x7FFFFFFFu && h <= 0x7FFFFFFFu) {
                    largestW = static_cast<int>(w);
                    largestH = static_cast<int>(h);
                }
            }
            if (std::memcmp(type, "irot", 4) == 0 && end - body >= 1) rotation = data[body] & 3;
            if (std::memcmp(type, "clap", 4) == 0 && end - body >= 16) {
                const uint32_t wd = be32(data + body + 4), hd = be32(data + body + 12);
                clapW = wd ? static_cast<int>(be32(data + body) / wd) : 0;
                clapH = hd ? static_cast<int>(be32(data + body + 8) / hd) : 0;
            }
            return false;
        });
        if (!whole) cut = true;
    }
};

kvPictureInfo inspectHeif(const uint8_t* data, size_t size, kvPictureKind kind)
{
    kvPictureInfo info;
    info.kind = kind;
    Boxes boxes{data, size};
    boxes.walk(0, size, 0);
    info.complete = !boxes.cut;
    // The largest image is the picture (the others are thumbnails, tiles),
    // cropped to its clean aperture.
    int w = boxes.largestW, h = boxes.largestH;
    if (boxes.clapW > 0 && boxes.clapH > 0 && boxes.clapW <= w && boxes.clapH <= h) {
        w = boxes.clapW;
        h = boxes.clapH;
    }
    info.sound = !boxes.cut && setSize(info, static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    // A quarter turn either way swaps the sides as seen (what orientation 6
    // stands for here); the decoder turns the pixels itself.
    if (boxes.rotation % 2 == 1) info.orientation = 6;
    return info;
}

kvPictureKind heifKind(const uint8_t* data, size_t size)
{
    if (size < 16 || std::memcmp(data + 4, "ftyp", 4) != 0) return PICTURE_UNKNOWN;
    const uint32_t length = be32(data);
    // The major brand, then the compatible ones.
    for (size_t at = 8; at + 4 <= std::min<size_t>(size, length); at += at == 8 ? 8 : 4) {
        const uint8_t* b = data + at;
        if (std::memcmp(b, "avif", 4) == 0 || std::memcmp(b, "avis", 4) == 0) return PICTURE_AVIF;
        if (std::memcmp(b, "heic", 4) == 0 || std::memcmp(b, "heix", 4) == 0 || std::memcmp(b, "heim", 4) == 0
            || std::memcmp(b, "heis", 4) == 0 || std::memcmp(b, "hevc", 4) == 0 || std::memcmp(b, "hevx", 4) == 0
            || std::memcmp(b, "mif1", 4) == 0 || std::memcmp(b, "msf1", 4) == 0)
            return PICTURE_HEIC;
    }
    return PICTURE_UNKNOWN;
}

} // namespace

const char* pictureKindName(kvPictureKind kind)
{
    switch (kind) {
    case PICTURE_JPEG: return "JPEG";
    case PICTURE_PNG: return "PNG";
    case PICTURE_WEBP: return "WebP";
    case PICTURE_HEIC: return "HEIC";
    case PICTURE_AVIF: return "AVIF";
    default: return "unknown";
    }
}

kvPictureInfo inspectPicture(const uint8_t* data, size_t size, kvColourTag* colour)
{
    if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) return inspectPng(data, size);
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0)
        return inspectWebp(data, size);
    const kvPictureKind heif = heifKind(data, size);
    if (heif != PICTURE_UNKNOWN) return inspectHeif(data, size, heif);
    kvPictureInfo info;
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) return info;
    const kvJpegInfo jpeg = jpegInspect(data, size, colour);
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
    // PNG is always decoded whole; the others at a scale.
    for (int d = 1; d <= (info.kind == PICTURE_PNG ? 1 : 8); d *= 2) {
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
