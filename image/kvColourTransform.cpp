// LittleCMS behind one call. Each conversion has a context of its own, so
// the library's complaints about one damaged profile reach the reason for
// that picture and never another thread's, nor stderr.
#include "image/kvColourTransform.h"

#include <lcms2.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "image/kvSrgb.h"

namespace Korvell {

struct kvColourTransform::Parts {
    cmsContext context = nullptr;
    cmsHTRANSFORM transform = nullptr;
    kvPixels pixels = kvPixels::RGB;
    // A grey profile: each grey level's sRGB colour, read from the first
    // channel of the RGB the decoders made of it.
    bool grey = false;
    uint8_t greyLevels[256][3] = {};
    // A matrix-shaper profile (every camera's and phone's) done here, as
    // LittleCMS would, in a third of its time: each channel's curve from a
    // table, one matrix to sRGB's linear primaries, sRGB's curve from a table.
    bool shaper = false;
    float linear[3][256] = {};
    float matrix[9] = {};
    const uint8_t* encode = nullptr; // sRGB's table
    ~Parts()
    {
        if (transform) cmsDeleteTransform(transform);
        if (context) cmsDeleteContext(context);
    }
};

namespace {

void keepError(cmsContext context, cmsUInt32Number, const char* text)
{
    auto* why = static_cast<std::string*>(cmsGetContextUserData(context));
    if (why && why->empty() && text) *why = text;
}

cmsToneCurve* curveFor(cmsContext context, kvTransfer transfer)
{
    switch (transfer) {
    case kvTransfer::LINEAR: return cmsBuildGamma(context, 1.0);
    case kvTransfer::GAMMA22: return cmsBuildGamma(context, 2.2);
    case kvTransfer::GAMMA28: return cmsBuildGamma(context, 2.8);
    default: {
        const cmsFloat64Number srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
        return cmsBuildParametricToneCurve(context, 4, srgb);
    }
    }
}

cmsHPROFILE openProfile(cmsContext context, const kvColourTag& tag)
{
    if (tag.kind == kvColourTag::ICC)
        return cmsOpenProfileFromMemTHR(context, tag.icc.data(), static_cast<cmsUInt32Number>(tag.icc.size()));
    const double* p = tag.xy;
    const cmsCIExyY white = {p[6], p[7], 1.0};
    const cmsCIExyYTRIPLE primaries = {{p[0], p[1], 1.0}, {p[2], p[3], 1.0}, {p[4], p[5], 1.0}};
    cmsToneCurve* curve = curveFor(context, tag.transfer);
    if (!curve) return nullptr;
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfileTHR(context, &white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return profile;
}

const char* spaceName(cmsColorSpaceSignature space)
{
    switch (space) {
    case cmsSigRgbData: return "RGB";
    case cmsSigCmykData: return "CMYK";
    case cmsSigGrayData: return "grey";
    case cmsSigLabData: return "Lab";
    default: return "another colour space's";
    }
}

// Whether the conversion leaves every colour of a 17-step grid within one
// step of itself: an sRGB profile by another maker.
bool leavesSrgbAlone(const kvColourTransform::Parts& parts)
{
    const int n = 17, bpp = parts.pixels == kvPixels::RGBA ? 4 : 3;
    std::vector<uint8_t> grid(static_cast<size_t>(n * n * n * bpp), 255), out(grid.size());
    size_t at = 0;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b, at += static_cast<size_t>(bpp)) {
                grid[at] = static_cast<uint8_t>(std::min(255, r * 16));
                grid[at + 1] = static_cast<uint8_t>(std::min(255, g * 16));
                grid[at + 2] = static_cast<uint8_t>(std::min(255, b * 16));
            }
    out = grid;
    kvColourTransform::applyTo(parts, out.data(), n * n * n, 1, 0);
    for (size_t i = 0; i < grid.size(); ++i)
        if (std::abs(grid[i] - out[i]) > 1) return false;
    return true;
}

// The colorants of a matrix-shaper profile as a matrix (columns red,
// green, blue) from its RGB to the connection space's XYZ.
bool colorants(cmsHPROFILE p, double m[9])
{
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(p, tags[c]));
        if (!xyz) return false;
        m[c] = xyz->X;
        m[3 + c] = xyz->Y;
        m[6 + c] = xyz->Z;
    }
    return true;
}

bool invert(const double m[9], double out[9])
{
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6])
                       + m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (std::fabs(det) < 1e-9) return false;
    out[0] = (m[4] * m[8] - m[5] * m[7]) / det;
    out[1] = (m[2] * m[7] - m[1] * m[8]) / det;
    out[2] = (m[1] * m[5] - m[2] * m[4]) / det;
    out[3] = (m[5] * m[6] - m[3] * m[8]) / det;
    out[4] = (m[0] * m[8] - m[2] * m[6]) / det;
    out[5] = (m[2] * m[3] - m[0] * m[5]) / det;
    out[6] = (m[3] * m[7] - m[4] * m[6]) / det;
    out[7] = (m[1] * m[6] - m[0] * m[7]) / det;
    out[8] = (m[0] * m[4] - m[1] * m[3]) / det;
    return true;
}

// The tables and matrix of a matrix-shaper profile whose black is black
// (so black-point compensation changes nothing); false for any other.
bool makeShaper(cmsHPROFILE profile, cmsHPROFILE srgb, kvColourTransform::Parts& parts)
{
    if (!cmsIsMatrixShaper(profile) || cmsGetColorSpace(profile) != cmsSigRgbData) return false;
    double from[9], to[9], back[9];
    if (!colorants(profile, from) || !colorants(srgb, to) || !invert(to, back)) return false;
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
        if (!curve || cmsEvalToneCurveFloat(curve, 0.0f) > 1e-4f) return false;
        for (int v = 0; v < 256; ++v) parts.linear[c][v] = cmsEvalToneCurveFloat(curve, v / 255.0f);
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            parts.matrix[r * 3 + c] =
                static_cast<float>(back[r * 3] * from[c] + back[r * 3 + 1] * from[3 + c] + back[r * 3 + 2] * from[6 + c]);
    parts.encode = srgbEncodeTable();
    parts.shaper = true;
    return true;
}

// One row through the tables and the matrix, a block of pixels at a time:
// the lookups one by one, the arithmetic four pixels at once.
template <int bpp>
void shapeRow(const kvColourTransform::Parts& parts, uint8_t* row, int width)
{
    const int kBlock = 64;
    alignas(16) float lin[3][kBlock] = {}; // a short last block reads past n: zeros
    alignas(16) int32_t step[3][kBlock];
    const float* m = parts.matrix;
    for (int x0 = 0; x0 < width; x0 += kBlock) {
        const int n = std::min(kBlock, width - x0);
        uint8_t* p = row + static_cast<size_t>(x0) * bpp;
        for (int i = 0; i < n; ++i) {
            lin[0][i] = parts.linear[0][p[i * bpp]];
            lin[1][i] = parts.linear[1][p[i * bpp + 1]];
            lin[2][i] = parts.linear[2][p[i * bpp + 2]];
        }
#ifdef __SSE2__
        const __m128 zero = _mm_setzero_ps(), top = _mm_set1_ps(kSrgbSteps - 1);
        for (int i = 0; i < n; i += 4) {
            const __m128 r = _mm_load_ps(&lin[0][i]), g = _mm_load_ps(&lin[1][i]), b = _mm_load_ps(&lin[2][i]);
            for (int c = 0; c < 3; ++c) {
                __m128 v = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(m[c * 3]), r), _mm_mul_ps(_mm_set1_ps(m[c * 3 + 1]), g)),
                                      _mm_mul_ps(_mm_set1_ps(m[c * 3 + 2]), b));
                v = _mm_min_ps(_mm_max_ps(_mm_mul_ps(v, top), zero), top);
                _mm_store_si128(reinterpret_cast<__m128i*>(&step[c][i]), _mm_cvtps_epi32(v));
            }
        }
#else
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c) {
                const float v = (m[c * 3] * lin[0][i] + m[c * 3 + 1] * lin[1][i] + m[c * 3 + 2] * lin[2][i]) * (kSrgbSteps - 1);
                step[c][i] = static_cast<int32_t>(std::lround(std::min(std::max(v, 0.0f), kSrgbSteps - 1.0f)));
            }
#endif
        for (int i = 0; i < n; ++i) {
            p[i * bpp] = parts.encode[step[0][i]];
            p[i * bpp + 1] = parts.encode[step[1][i]];
            p[i * bpp + 2] = parts.encode[step[2][i]];
        }
    }
}

// What a tag comes to: a conversion, nothing to do, or a reason.
struct Made {
    std::shared_ptr<const kvColourTransform> transform;
    std::string why;
};

} // namespace

kvColourTransform::kvColourTransform(Parts* p) : parts(p) {}
kvColourTransform::~kvColourTransform() = default;

std::shared_ptr<const kvColourTransform> kvColourTransform::forTag(const kvColourTag& tag, kvPixels pixels,
                                                                   std::string* why)
{
    if (!tag.needsConversion() || tag.isHdr()) return nullptr;
    // The last few conversions, the latest first.
    static std::mutex mutex;
    static std::list<std::pair<std::string, Made>> kept;
    const std::string key = tag.key() + static_cast<char>('0' + static_cast<int>(pixels));
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = kept.begin(); it != kept.end(); ++it)
            if (it->first == key) {
                kept.splice(kept.begin(), kept, it);
                if (why) *why = it->second.why;
                return it->second.transform;
            }
    }

    Made made;
    std::unique_ptr<Parts> parts(new Parts());
    parts->pixels = pixels;
    std::string complaint;
    parts->context = cmsCreateContext(nullptr, &complaint);
    if (parts->context) cmsSetLogErrorHandlerTHR(parts->context, keepError);
    cmsHPROFILE profile = parts->context ? openProfile(parts->context, tag) : nullptr;
    cmsHPROFILE srgb = parts->context ? cmsCreate_sRGBProfileTHR(parts->context) : nullptr;
    const cmsColorSpaceSignature space = profile ? cmsGetColorSpace(profile) : cmsSigRgbData;
    const cmsProfileClassSignature kind = profile ? cmsGetDeviceClass(profile) : cmsSigInputClass;
    const bool cmyk = pixels == kvPixels::CMYK_INVERTED;
    const cmsUInt32Number flags = cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE;
    if (!profile || !srgb) {
        made.why = "its colour profile cannot be read";
    } else if (kind == cmsSigLinkClass || kind == cmsSigAbstractClass || kind == cmsSigNamedColorClass) {
        made.why = "its colour profile does not describe a picture's colours";
    } else if (cmyk ? space != cmsSigCmykData : space != cmsSigRgbData && space != cmsSigGrayData) {
        made.why = std::string("its colour profile is for ") + spaceName(space) + " pixels, and the picture's are "
                   + (cmyk ? "CMYK" : "RGB");
    } else if (space == cmsSigGrayData) {
        cmsHTRANSFORM t = cmsCreateTransformTHR(parts->context, profile, TYPE_GRAY_8, srgb, TYPE_RGB_8,
                                                INTENT_RELATIVE_COLORIMETRIC, flags);
        if (t) {
            uint8_t levels[256];
            for (int i = 0; i < 256; ++i) levels[i] = static_cast<uint8_t>(i);
            cmsDoTransform(t, levels, parts->greyLevels, 256);
            cmsDeleteTransform(t);
            parts->grey = true;
        } else {
            made.why = "its colour profile cannot be used";
        }
    } else if (!cmyk && makeShaper(profile, srgb, *parts)) {
        // Checked against sRGB below, as LittleCMS's conversion would be.
    } else {
        const cmsUInt32Number in = cmyk ? TYPE_CMYK_8_REV : pixels == kvPixels::RGBA ? TYPE_RGBA_8 : TYPE_RGB_8;
        const cmsUInt32Number out = pixels == kvPixels::RGBA ? TYPE_RGBA_8 : TYPE_RGB_8;
        parts->transform = cmsCreateTransformTHR(parts->context, profile, in, srgb, out,
                                                 INTENT_RELATIVE_COLORIMETRIC,
                                                 flags | (pixels == kvPixels::RGBA ? cmsFLAGS_COPY_ALPHA : 0));
        if (!parts->transform) made.why = "its colour profile cannot be used";
    }
    if (profile) cmsCloseProfile(profile);
    if (srgb) cmsCloseProfile(srgb);
    if (!made.why.empty() && !complaint.empty()) made.why += " (" + complaint + ")";
    // The complaint string goes with this call: nothing may report to it later.
    if (parts->context) cmsSetLogErrorHandlerTHR(parts->context, nullptr);
    const bool alone = made.why.empty() && (parts->transform || parts->shaper) && !cmyk && leavesSrgbAlone(*parts);
    if (made.why.empty() && !alone) made.transform.reset(new kvColourTransform(parts.release()));

    std::lock_guard<std::mutex> lock(mutex);
    kept.emplace_front(key, made);
    if (kept.size() > 8) kept.pop_back();
    if (why) *why = made.why;
    return made.transform;
}

void kvColourTransform::apply(uint8_t* rows, int width, int height, size_t pitch) const
{
    // A photo's worth in two halves, the second on a helper that inherits
    // the worker's low priority: the show's own frames still come first.
    static const bool twoCores = std::thread::hardware_concurrency() >= 2;
    if (!twoCores || static_cast<int64_t>(width) * height < (1 << 20)) {
        applyTo(*parts, rows, width, height, pitch);
        return;
    }
    const int half = height / 2;
    std::thread helper;
    try {
        helper = std::thread(
            [&]() { applyTo(*parts, rows + static_cast<size_t>(half) * pitch, width, height - half, pitch); });
    } catch (const std::system_error&) { // no thread to be had: all here
        applyTo(*parts, rows, width, height, pitch);
        return;
    }
    applyTo(*parts, rows, width, half, pitch);
    helper.join();
}

void kvColourTransform::applyTo(const Parts& parts, uint8_t* rows, int width, int height, size_t pitch)
{
    const int bpp = parts.pixels == kvPixels::RGBA ? 4 : 3;
    if (parts.grey) {
        for (int y = 0; y < height; ++y) {
            uint8_t* p = rows + static_cast<size_t>(y) * pitch;
            for (int x = 0; x < width; ++x, p += bpp) std::memcpy(p, parts.greyLevels[p[0]], 3);
        }
        return;
    }
    if (parts.shaper) {
        for (int y = 0; y < height; ++y) {
            uint8_t* row = rows + static_cast<size_t>(y) * pitch;
            bpp == 4 ? shapeRow<4>(parts, row, width) : shapeRow<3>(parts, row, width);
        }
        return;
    }
    cmsDoTransformLineStride(parts.transform, rows, rows, static_cast<cmsUInt32Number>(width),
                             static_cast<cmsUInt32Number>(height), static_cast<cmsUInt32Number>(pitch),
                             static_cast<cmsUInt32Number>(pitch), 0, 0);
}

void kvColourTransform::apply(const uint8_t* in, size_t inPitch, uint8_t* out, size_t outPitch, int width,
                              int height) const
{
    cmsDoTransformLineStride(parts->transform, in, out, static_cast<cmsUInt32Number>(width),
                             static_cast<cmsUInt32Number>(height), static_cast<cmsUInt32Number>(inPitch),
                             static_cast<cmsUInt32Number>(outPitch), 0, 0);
}

} // namespace Korvell
