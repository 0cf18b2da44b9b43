// libwebp and libheif.
#include "image/kvPictureFormats.h"

#include <libheif/heif.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "image/kvColourTag.h"
#include "image/kvPictureInfo.h"
#include "image/kvResample.h"
#include "image/kvTexture.h"
#include "image/kvToneMap.h"

namespace Korvell {

namespace {

bool fail(std::string* reason, const std::string& why)
{
    if (reason) *reason = why;
    return false;
}

} // namespace

bool decodeWebp(const std::vector<uint8_t>& bytes, const kvPictureInfo& info, const kvDecodePlan& plan,
                kvTexture& into, std::string* reason)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK)
        return fail(reason, info.complete ? "cannot be decoded: not a WebP stream" : "truncated");
    if (features.width != info.width || features.height != info.height)
        return fail(reason, "cannot be decoded: inconsistent sizes");
    // An animation is decoded onto its canvas, with alpha; its first frame
    // is the picture.
    const int bpp = features.has_alpha || features.has_animation ? 4 : 3;
    if (!into.createBuffer(plan.width, plan.height, bpp * 8, plan.bufferWidth, plan.bufferHeight))
        return fail(reason, "cannot be decoded: out of memory");
    const size_t pitch = static_cast<size_t>(into.getBufferWidth()) * bpp;
    if (features.has_animation) {
        WebPData data = {bytes.data(), bytes.size()};
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) return fail(reason, "cannot be decoded: no decoder");
        options.color_mode = MODE_RGBA;
        options.use_threads = 0;
        std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> decoder(WebPAnimDecoderNew(&data, &options),
                                                                              WebPAnimDecoderDelete);
        uint8_t* frame = nullptr;
        int timestamp = 0;
        if (!decoder || !WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp) || !frame)
            return fail(reason, info.complete ? "cannot be decoded: a damaged animation" : "truncated");
        reduceInto(frame, features.width, features.height, static_cast<size_t>(features.width) * 4, 4, into);
        return true;
    }
    if (plan.denominator == 1) {
        const uint8_t* done = bpp == 4 ? WebPDecodeRGBAInto(bytes.data(), bytes.size(), into.getPixels(),
                                                            into.bufferBytes(), static_cast<int>(pitch))
                                       : WebPDecodeRGBInto(bytes.data(), bytes.size(), into.getPixels(),
                                                           into.bufferBytes(), static_cast<int>(pitch));
        return done ? true : fail(reason, info.complete ? "cannot be decoded: a damaged WebP" : "truncated");
    }
    int w = 0, h = 0;
    std::unique_ptr<uint8_t, void (*)(void*)> whole(bpp == 4 ? WebPDecodeRGBA(bytes.data(), bytes.size(), &w, &h)
                                                             : WebPDecodeRGB(bytes.data(), bytes.size(), &w, &h),
                                                    WebPFree);
    if (!whole || w != features.width || h != features.height)
        return fail(reason, info.complete ? "cannot be decoded: a damaged WebP" : "truncated");
    reduceInto(whole.get(), w, h, static_cast<size_t>(w) * bpp, bpp, into);
    return true;
}

namespace {

// An ICC profile when the file has one (a camera's), else the nclx code
// points (a phone's Display P3).
kvColourTag heifColourTag(const heif_image_handle* handle)
{
    kvColourTag tag;
    const size_t iccBytes = heif_image_handle_get_raw_color_profile_size(handle);
    if (iccBytes > 0 && iccBytes <= kMaxProfileBytes) {
        tag.icc.resize(iccBytes);
        if (heif_image_handle_get_raw_color_profile(handle, tag.icc.data()).code == heif_error_Ok) {
            tag.kind = kvColourTag::ICC;
            return tag;
        }
        tag.icc.clear();
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx) {
        tag = tagFromCodePoints(nclx->color_primaries, nclx->transfer_characteristics);
        heif_nclx_color_profile_free(nclx);
    }
    return tag;
}

// An HDR still (PQ or HLG by its nclx) at its own bit depth, tone-mapped
// as a clip's frames are, then reduced into the texture.
bool decodeHdr(const heif_image_handle* handle, const kvColourTag& colour, bool alpha, int w, int h, kvTexture& into,
               std::string* reason)
{
    heif_image* image = nullptr;
    heif_error e = heif_decode_image(handle, &image, heif_colorspace_RGB,
                                     alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE,
                                     nullptr);
    std::unique_ptr<heif_image, void (*)(const heif_image*)> owner(image, heif_image_release);
    if (e.code != heif_error_Ok) return fail(reason, std::string("cannot be decoded: ") + e.message);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    const int depth = heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved);
    if (!plane || depth < 8 || depth > 16 || heif_image_get_width(image, heif_channel_interleaved) != w
        || heif_image_get_height(image, heif_channel_interleaved) != h)
        return fail(reason, "cannot be decoded: no picture in it");
    double peak = 0;
    if (heif_image_has_content_light_level(image)) {
        heif_content_light_level light;
        heif_image_get_content_light_level(image, &light);
        peak = light.max_content_light_level;
    }
    const kvToneMap map(colour.primariesCode, colour.transferCode, peak);
    const int channels = alpha ? 4 : 3, bpp = alpha ? 4 : 3;
    std::vector<uint16_t> wide(static_cast<size_t>(w) * 4);
    std::vector<uint8_t> shown(static_cast<size_t>(w) * 4), whole(static_cast<size_t>(w) * h * bpp);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = plane + static_cast<size_t>(y) * stride;
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) {
                // Little-endian samples of `depth` bits, widened to 16.
                const unsigned v = c < channels ? row[(x * channels + c) * 2] | (row[(x * channels + c) * 2 + 1] << 8)
                                                : (1u << depth) - 1;
                wide[static_cast<size_t>(x) * 4 + c] = static_cast<uint16_t>((v << (16 - depth)) | (v >> (2 * depth - 16)));
            }
        map.convertRow(wide.data(), shown.data(), w);
        uint8_t* out = whole.data() + static_cast<size_t>(y) * w * bpp;
        for (int x = 0; x < w; ++x) {
            std::memcpy(out + x * bpp, &shown[static_cast<size_t>(x) * 4], 3);
            if (alpha) out[x * 4 + 3] = static_cast<uint8_t>(wide[static_cast<size_t>(x) * 4 + 3] >> 8);
        }
    }
    reduceInto(whole.data(), w, h, static_cast<size_t>(w) * bpp, bpp, into);
    return true;
}

} // namespace

bool decodeHeif(const std::vector<uint8_t>& bytes, const kvPictureInfo& info, const kvDecodePlan& plan,
                kvTexture& into, kvColourTag& colour, std::string* reason)
{
    const std::string kind = pictureKindName(info.kind);
    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    if (!context) return fail(reason, "cannot be decoded: no decoder");
    // The sides the inspector allowed, and no more: a file whose headers
    // lie is refused by the library before it allocates.
    heif_context_set_maximum_image_size_limit(context.get(), kvTexture::getMaxSize() * 8);
    heif_error e = heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(), nullptr);
    if (e.code != heif_error_Ok) return fail(reason, std::string("cannot be decoded: ") + e.message);
    heif_image_handle* handle = nullptr;
    e = heif_context_get_primary_image_handle(context.get(), &handle);
    if (e.code != heif_error_Ok) return fail(reason, std::string("cannot be decoded: ") + e.message);
    std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handleOwner(handle,
                                                                                      heif_image_handle_release);
    // As seen: the file's rotation and crop applied. The inspector's reading
    // of the boxes may differ by a crop it did not see: the decoded size
    // decides, at the planned scale, within the sides it allowed.
    const int w = heif_image_handle_get_width(handle), h = heif_image_handle_get_height(handle);
    if (w <= 0 || h <= 0 || w > info.shownWidth() || h > info.shownHeight())
        return fail(reason, "cannot be decoded: inconsistent sizes");
    kvDecodePlan actual = plan;
    const int d = plan.denominator;
    actual.width = std::max(1, static_cast<int>(std::lround(static_cast<double>(w) / d)));
    actual.height = std::max(1, static_cast<int>(std::lround(static_cast<double>(h) / d)));
    actual.bufferWidth = std::max(2, bufferSide(w) / d);
    actual.bufferHeight = std::max(2, bufferSide(h) / d);
    colour = heifColourTag(handle);
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    if (colour.isHdr()) {
        if (!into.createBuffer(actual.width, actual.height, alpha ? 32 : 24, actual.bufferWidth, actual.bufferHeight))
            return fail(reason, "cannot be decoded: out of memory");
        if (!decodeHdr(handle, colour, alpha, w, h, into, reason)) return false;
        colour = kvColourTag(); // done
        return true;
    }
    heif_image* image = nullptr;
    e = heif_decode_image(handle, &image, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
    std::unique_ptr<heif_image, void (*)(const heif_image*)> imageOwner(image, heif_image_release);
    if (e.code != heif_error_Ok) return fail(reason, "cannot be decoded: " + kind + ": " + e.message);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    if (!plane || heif_image_get_width(image, heif_channel_interleaved) != w
        || heif_image_get_height(image, heif_channel_interleaved) != h)
        return fail(reason, "cannot be decoded: " + kind + ": no picture in it");
    if (!into.createBuffer(actual.width, actual.height, alpha ? 32 : 24, actual.bufferWidth, actual.bufferHeight))
        return fail(reason, "cannot be decoded: out of memory");
    reduceInto(plane, w, h, static_cast<size_t>(stride), alpha ? 4 : 3, into);
    return true;
}

} // namespace Korvell
