// Colour tags read from PNG and WebP chunks and from nclx code points.
#include "image/kvColourTag.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/kvIsoBoxes.h"

namespace Korvell {

namespace {

struct Primaries {
    int code;
    double xy[8];
};

// ISO/IEC 23091-2's colour primaries: red, green, blue, white.
const Primaries kPrimaries[] = {
    {1, {0.640, 0.330, 0.300, 0.600, 0.150, 0.060, 0.3127, 0.3290}},  // BT.709, sRGB
    {4, {0.670, 0.330, 0.210, 0.710, 0.140, 0.080, 0.310, 0.316}},    // BT.470 M
    {5, {0.640, 0.330, 0.290, 0.600, 0.150, 0.060, 0.3127, 0.3290}},  // BT.601 625
    {6, {0.630, 0.340, 0.310, 0.595, 0.155, 0.070, 0.3127, 0.3290}},  // BT.601 525
    {7, {0.630, 0.340, 0.310, 0.595, 0.155, 0.070, 0.3127, 0.3290}},  // SMPTE 240M
    {9, {0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290}},  // BT.2020
    {11, {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.314, 0.351}},   // DCI-P3
    {12, {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290}}, // Display P3
    {22, {0.630, 0.340, 0.295, 0.605, 0.155, 0.077, 0.3127, 0.3290}}, // EBU 3213
};

// A zlib stream inflated, no larger than kMaxProfileBytes.
bool inflateProfile(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    out.resize(64 << 10);
    int status = Z_OK;
    while (status == Z_OK) {
        if (z.total_out == out.size()) {
            if (out.size() >= kMaxProfileBytes) break;
            out.resize(std::min(out.size() * 2, kMaxProfileBytes));
        }
        z.next_out = out.data() + z.total_out;
        z.avail_out = static_cast<uInt>(out.size() - z.total_out);
        status = inflate(&z, Z_NO_FLUSH);
    }
    out.resize(z.total_out);
    inflateEnd(&z);
    return status == Z_STREAM_END;
}

} // namespace

std::string kvColourTag::key() const
{
    switch (kind) {
    case ICC: return "i" + std::string(icc.begin(), icc.end());
    case PRIMARIES: {
        std::string k = "p" + std::to_string(static_cast<int>(transfer));
        for (double v : xy) k += " " + std::to_string(v);
        return k;
    }
    default: return kind == SRGB ? "s" : "u";
    }
}

kvColourTag tagFromCodePoints(int primaries, int transfer)
{
    kvColourTag tag;
    const Primaries* found = nullptr;
    for (const Primaries& p : kPrimaries)
        if (p.code == primaries) found = &p;
    if (!found) return tag;
    switch (transfer) {
    case 8: tag.transfer = kvTransfer::LINEAR; break;
    case 4: tag.transfer = kvTransfer::GAMMA22; break;
    case 5: tag.transfer = kvTransfer::GAMMA28; break;
    case 16: tag.transfer = kvTransfer::PQ; break;
    case 18: tag.transfer = kvTransfer::HLG; break;
    default: tag.transfer = kvTransfer::SRGB; break; // sRGB, BT.709's family, unspecified
    }
    if (primaries == 1 && tag.transfer == kvTransfer::SRGB) {
        tag.kind = kvColourTag::SRGB;
        return tag;
    }
    tag.kind = kvColourTag::PRIMARIES;
    std::memcpy(tag.xy, found->xy, sizeof tag.xy);
    tag.primariesCode = primaries;
    tag.transferCode = transfer;
    return tag;
}

kvColourTag pngColourTag(const uint8_t* data, size_t size)
{
    kvColourTag tag;
    bool chrm = false;
    double xy[8] = {};
    for (size_t at = 8; at + 12 <= size;) {
        const uint32_t length = be32(data + at);
        const uint8_t* type = data + at + 4;
        const uint8_t* body = data + at + 8;
        if (length > size - at - 12) break;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) break;
        if (std::memcmp(type, "sRGB", 4) == 0) {
            tag.kind = kvColourTag::SRGB;
            return tag;
        }
        if (std::memcmp(type, "iCCP", 4) == 0) {
            // A name of 1 to 79 bytes, its end, the method (0: zlib), the stream.
            const void* end = std::memchr(body, 0, std::min<size_t>(length, 80));
            const size_t name = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - body) : length;
            if (name + 2 > length || body[name + 1] != 0
                || !inflateProfile(body + name + 2, length - name - 2, tag.icc)) {
                tag.icc.clear();
                tag.problem = "its colour profile cannot be read (a damaged iCCP chunk)";
                return tag;
            }
            tag.kind = kvColourTag::ICC;
            return tag;
        }
        if (std::memcmp(type, "cHRM", 4) == 0 && length == 32) {
            // White first in the file, then red, green, blue; 1/100000 units.
            for (int i = 0; i < 8; ++i) xy[(i + 6) % 8] = be32(body + 4 * i) / 100000.0;
            chrm = true;
        }
        at += 12 + length;
    }
    if (chrm) {
        // The curve is sRGB's by now: libpng has applied any gAMA.
        static const double srgb[8] = {0.640, 0.330, 0.300, 0.600, 0.150, 0.060, 0.3127, 0.3290};
        bool same = true;
        for (int i = 0; i < 8; ++i) same = same && std::fabs(xy[i] - srgb[i]) < 0.001;
        bool sane = true;
        for (int i = 0; i < 8; ++i) sane = sane && xy[i] > 0.0 && xy[i] < 1.0;
        if (!same && sane) {
            tag.kind = kvColourTag::PRIMARIES;
            std::memcpy(tag.xy, xy, sizeof xy);
        }
    }
    return tag;
}

kvColourTag webpColourTag(const uint8_t* data, size_t size)
{
    kvColourTag tag;
    // RIFF, its size, "WEBP", then chunks padded to even lengths; the ICCP
    // chunk follows VP8X.
    for (size_t at = 12; at + 8 <= size;) {
        const uint32_t length = le32(data + at + 4);
        if (length > size - at - 8) break;
        if (std::memcmp(data + at, "ICCP", 4) == 0) {
            if (length > kMaxProfileBytes) {
                tag.problem = "its colour profile cannot be read (larger than 16 MiB)";
                return tag;
            }
            tag.kind = kvColourTag::ICC;
            tag.icc.assign(data + at + 8, data + at + 8 + length);
            return tag;
        }
        if (std::memcmp(data + at, "VP8 ", 4) == 0 || std::memcmp(data + at, "VP8L", 4) == 0) break;
        at += 8 + length + (length & 1);
    }
    return tag;
}

} // namespace Korvell
