// TurboJPEG, libpng, libwebp and libheif behind one call. A picture is
// inspected first, so that nothing the decoders would hang on or need
// gigabytes for reaches them; then a JPEG is decoded straight into the
// power-of-two buffer when it is upright, or through a scratch buffer when
// it must be turned or is CMYK.
#include "image/kvPictureDecoder.h"

#include <png.h>
#include <turbojpeg.h>

#include <cstring>
#include <memory>

#include "image/kvColourTag.h"
#include "image/kvColourTransform.h"
#include "image/kvPictureFile.h"
#include "image/kvPictureFormats.h"
#include "image/kvPictureInfo.h"
#include "image/kvTexture.h"

namespace Korvell {

namespace {

bool fail(std::string* reason, const std::string& why)
{
    if (reason) *reason = why;
    return false;
}

// A profile passed over is said (the picture still shows, as stored).
void noteColour(const kvColourTag& colour, const std::string& why, std::string* note)
{
    const std::string& said = colour.problem.empty() ? why : colour.problem;
    if (note && !said.empty()) *note = said + ", so its colours show as stored";
}

// The decoded picture's colours, in place, to sRGB.
void convertColour(const kvColourTag& colour, kvTexture& into, std::string* note)
{
    std::string why;
    auto transform = kvColourTransform::forTag(colour, into.getBytesPerPixel() == 4 ? kvPixels::RGBA : kvPixels::RGB,
                                               &why);
    if (transform)
        transform->apply(into.getPixels(), into.getWidth(), into.getHeight(),
                         static_cast<size_t>(into.getBufferWidth()) * into.getBytesPerPixel());
    else
        noteColour(colour, why, note);
}

// The stored pixel (sx, sy) that shows at (x, y) under an EXIF orientation;
// w and h are the stored sizes.
void sourceOf(int orientation, int x, int y, int w, int h, int& sx, int& sy)
{
    switch (orientation) {
    case 2: sx = w - 1 - x; sy = y; break;
    case 3: sx = w - 1 - x; sy = h - 1 - y; break;
    case 4: sx = x; sy = h - 1 - y; break;
    case 5: sx = y; sy = x; break;
    case 6: sx = y; sy = h - 1 - x; break;
    case 7: sx = w - 1 - y; sy = h - 1 - x; break;
    case 8: sx = w - 1 - y; sy = x; break;
    default: sx = x; sy = y; break;
    }
}

struct TjHandle {
    tjhandle h = tjInitDecompress();
    ~TjHandle()
    {
        if (h) tjDestroy(h);
    }
};

// A CMYK JPEG's own profile, or Adobe's inverted CMYK taken simply.
bool cmykToRgb(const kvColourTag& colour, const uint8_t* cmyk, int w, int h, std::unique_ptr<uint8_t[]>& rgb,
               std::string* reason)
{
    rgb.reset(new (std::nothrow) uint8_t[static_cast<size_t>(w) * h * 3]);
    if (!rgb) return fail(reason, "cannot be decoded: out of memory");
    std::string why;
    auto transform = kvColourTransform::forTag(colour, kvPixels::CMYK_INVERTED, &why);
    if (transform) {
        transform->apply(cmyk, static_cast<size_t>(w) * 4, rgb.get(), static_cast<size_t>(w) * 3, w, h);
        return true;
    }
    noteColour(colour, why, reason);
    const size_t n = static_cast<size_t>(w) * h;
    for (size_t i = 0; i < n; ++i, cmyk += 4)
        for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = static_cast<uint8_t>(cmyk[c] * cmyk[3] / 255);
    return true;
}

bool decodeJpeg(const std::vector<uint8_t>& bytes, const kvPictureInfo& info, const kvDecodePlan& plan,
                kvTexture& into, kvColourTag& colour, std::string* reason)
{
    TjHandle tj;
    if (!tj.h) return fail(reason, "cannot be decoded: no decoder");
    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    // A warning (stray bytes before a marker) still reads the header.
    if (tjDecompressHeader3(tj.h, bytes.data(), bytes.size(), &w, &h, &subsamp, &colorspace) != 0
        && tjGetErrorCode(tj.h) != TJERR_WARNING)
        return fail(reason, info.complete ? std::string("cannot be decoded: ") + tjGetErrorStr2(tj.h) : "truncated");
    // The frame header the inspector read is the one the decoder reads.
    if (w != info.width || h != info.height) return fail(reason, "cannot be decoded: inconsistent frame headers");
    const tjscalingfactor factor = {1, plan.denominator};
    const int dw = TJSCALED(w, factor), dh = TJSCALED(h, factor);
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    const bool direct = !cmyk && info.orientation == 1;
    const int format = cmyk ? TJPF_CMYK : TJPF_RGB;
    const int ps = tjPixelSize[format];

    uint8_t* out = into.getPixels();
    const int pitch = into.getBufferWidth() * 3;
    std::unique_ptr<uint8_t[]> scratch;
    if (!direct) {
        scratch.reset(new (std::nothrow) uint8_t[static_cast<size_t>(dw) * dh * ps]);
        if (!scratch) return fail(reason, "cannot be decoded: out of memory");
    }
    const int flags = TJFLAG_LIMITSCANS;
    if (tjDecompress2(tj.h, bytes.data(), bytes.size(), direct ? out : scratch.get(), dw, direct ? pitch : dw * ps, dh,
                      format, flags)
        != 0) {
        // Warnings (stray bytes, a cut-short scan) leave a whole picture;
        // a file without its end marker is a cut one.
        if (!info.complete) return fail(reason, "truncated");
        if (tjGetErrorCode(tj.h) != TJERR_WARNING)
            return fail(reason, std::string("cannot be decoded: ") + tjGetErrorStr2(tj.h));
    }
    if (direct) return true;

    // CMYK made RGB in its own colours; then turned into place.
    std::unique_ptr<uint8_t[]> rgb;
    if (cmyk) {
        if (!cmykToRgb(colour, scratch.get(), dw, dh, rgb, reason)) return false;
        colour = kvColourTag(); // done
        scratch = std::move(rgb);
    }
    const bool turned = info.quarterTurned();
    const int sw = turned ? dh : dw, sh = turned ? dw : dh;
    for (int y = 0; y < sh; ++y) {
        uint8_t* row = out + static_cast<size_t>(y) * pitch;
        for (int x = 0; x < sw; ++x) {
            int sx, sy;
            sourceOf(info.orientation, x, y, dw, dh, sx, sy);
            std::memcpy(row + x * 3, scratch.get() + (static_cast<size_t>(sy) * dw + sx) * 3, 3);
        }
    }
    return true;
}

bool decodePng(const std::vector<uint8_t>& bytes, const kvPictureInfo& info, const kvDecodePlan& plan,
               kvTexture& into, std::string* reason)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return fail(reason, info.complete ? std::string("cannot be decoded: ") + image.message : "truncated");
    // Alpha (an alpha channel, or a transparent colour) keeps a fourth byte.
    const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    if (!into.createBuffer(plan.width, plan.height, alpha ? 32 : 24, plan.bufferWidth, plan.bufferHeight)) {
        png_image_free(&image);
        return fail(reason, "cannot be decoded: out of memory");
    }
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    const png_int_32 stride = into.getBufferWidth() * into.getBytesPerPixel();
    if (image.width != static_cast<png_uint_32>(info.width) || image.height != static_cast<png_uint_32>(info.height)
        || !png_image_finish_read(&image, nullptr, into.getPixels(), stride, nullptr)) {
        std::string why = info.complete ? std::string("cannot be decoded: ") + image.message : "truncated";
        png_image_free(&image);
        return fail(reason, why);
    }
    return true;
}

} // namespace

bool decodePicture(const std::vector<uint8_t>& bytes, int neededWidth, int neededHeight, kvTexture& into,
                   std::string* reason)
{
    if (into.getPixels()) return fail(reason, "cannot be decoded: texture in use");
    kvColourTag colour;
    const kvPictureInfo info = inspectPicture(bytes.data(), bytes.size(), &colour);
    if (info.kind == PICTURE_UNKNOWN) return fail(reason, "not a picture Korvell reads (JPEG, PNG, WebP, HEIC, AVIF)");
    if (!info.sound) return fail(reason, info.complete ? "cannot be decoded: damaged headers" : "truncated");
    // The decoder's own buffers follow the stored size, whatever the scale.
    if (static_cast<uint64_t>(info.width) * static_cast<uint64_t>(info.height) > kvTexture::kMaxPixels)
        return fail(reason, "larger than 64 megapixels (" + std::to_string(info.width) + " x "
                                + std::to_string(info.height) + ")");
    kvDecodePlan plan;
    if (!planDecode(info, neededWidth, neededHeight, kvTexture::getMaxSize(), plan))
        return fail(reason, "larger than the largest texture (" + std::to_string(kvTexture::getMaxSize()) + " x "
                                + std::to_string(kvTexture::getMaxSize()) + ")");
    bool ok;
    if (info.kind == PICTURE_JPEG) {
        if (!into.createBuffer(plan.width, plan.height, 24, plan.bufferWidth, plan.bufferHeight))
            return fail(reason, "cannot be decoded: out of memory");
        ok = decodeJpeg(bytes, info, plan, into, colour, reason);
    } else if (info.kind == PICTURE_PNG) {
        colour = pngColourTag(bytes.data(), bytes.size());
        ok = decodePng(bytes, info, plan, into, reason);
    } else if (info.kind == PICTURE_WEBP) {
        colour = webpColourTag(bytes.data(), bytes.size());
        ok = decodeWebp(bytes, info, plan, into, reason);
    } else {
        ok = decodeHeif(bytes, info, plan, into, colour, reason);
    }
    if (!ok) {
        into.release();
        return false;
    }
    convertColour(colour, into, reason);
    into.extendEdges();
    return true;
}

// The file constructor decodes at full size, every pixel of the file: it
// serves tools and tests that read a picture as it is stored.
bool kvTexture::load(const std::string& fileName, const kvDataFile* archive)
{
    std::vector<uint8_t> bytes;
    return readPictureFile(fileName, archive, bytes, nullptr) && decodePicture(bytes, 0, 0, *this, nullptr);
}

kvTexture::kvTexture(const std::string& fileName, const kvDataFile* archive)
    : status(1), width(0), height(0), bufferWidth(0), bufferHeight(0), bytesPerPixel(0), pixels(nullptr),
      modifier(nullptr)
{
    if (load(fileName, archive)) status = 0;
}

} // namespace Korvell
