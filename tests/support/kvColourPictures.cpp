// Patch pictures written with the same libraries Korvell reads them with,
// the colour descriptions put where each format keeps them.
#include "support/kvColourPictures.h"

#include <lcms2.h>
#include <libheif/heif.h>
#include <png.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <webp/encode.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace Korvell {

namespace {

void put32le(std::vector<uint8_t>& v, uint32_t n)
{
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(n >> (8 * i)));
}

std::vector<uint8_t> pixelsOf(const std::vector<kvPatch>& patches, int bpp, int* w)
{
    *w = kPatchSide * static_cast<int>(patches.size());
    std::vector<uint8_t> px(static_cast<size_t>(*w) * kPatchSide * bpp);
    for (int y = 0; y < kPatchSide; ++y)
        for (int x = 0; x < *w; ++x)
            std::memcpy(&px[(static_cast<size_t>(y) * *w + x) * bpp], patches[x / kPatchSide].c, bpp);
    return px;
}

std::vector<uint8_t> jpeg(const std::vector<kvPatch>& patches, const std::vector<uint8_t>& icc, int components)
{
    int w = 0;
    const std::vector<uint8_t> px = pixelsOf(patches, components, &w);
    const int format = components == 1 ? TJPF_GRAY : components == 4 ? TJPF_CMYK : TJPF_RGB;
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, px.data(), w, 0, kPatchSide, format, &out, &size,
                components == 1 ? TJSAMP_GRAY : TJSAMP_444, 100, 0);
    std::vector<uint8_t> file(out, out + size);
    tjFree(out);
    tjDestroy(tj);
    return withIccProfile(file, icc);
}

void appendPng(png_structp png, png_bytep data, png_size_t n)
{
    auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    v->insert(v->end(), data, data + n);
}

std::vector<uint8_t> png(const std::vector<kvPatch>& patches, const std::vector<uint8_t>& icc)
{
    int w = 0;
    std::vector<uint8_t> px = pixelsOf(patches, 3, &w), file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &file, appendPng, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), kPatchSide, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!icc.empty()) png_set_iCCP(png, info, "profile", 0, icc.data(), static_cast<png_uint_32>(icc.size()));
    png_write_info(png, info);
    for (int y = 0; y < kPatchSide; ++y) png_write_row(png, &px[static_cast<size_t>(y) * w * 3]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return file;
}

std::vector<uint8_t> webp(const std::vector<kvPatch>& patches, const std::vector<uint8_t>& icc)
{
    int w = 0;
    const std::vector<uint8_t> px = pixelsOf(patches, 3, &w);
    uint8_t* out = nullptr;
    const size_t size = WebPEncodeLosslessRGB(px.data(), w, kPatchSide, w * 3, &out);
    std::vector<uint8_t> lossless(out, out + size);
    WebPFree(out);
    if (icc.empty()) return lossless;
    // RIFF, VP8X (the ICC flag, the canvas), ICCP, then the VP8L chunk.
    std::vector<uint8_t> body = {'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'};
    put32le(body, 10);
    const uint32_t cw = static_cast<uint32_t>(w - 1), ch = kPatchSide - 1;
    const uint8_t vp8x[10] = {0x20, 0, 0, 0, uint8_t(cw), uint8_t(cw >> 8), uint8_t(cw >> 16), uint8_t(ch),
                              uint8_t(ch >> 8), uint8_t(ch >> 16)};
    body.insert(body.end(), vp8x, vp8x + 10);
    body.insert(body.end(), {'I', 'C', 'C', 'P'});
    put32le(body, static_cast<uint32_t>(icc.size()));
    body.insert(body.end(), icc.begin(), icc.end());
    if (icc.size() & 1) body.push_back(0);
    body.insert(body.end(), lossless.begin() + 12, lossless.end());
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    put32le(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::vector<uint8_t> heic(const std::vector<kvPatch>& patches, const std::vector<uint8_t>& icc, int primaries,
                          int transfer)
{
    int w = 0;
    const std::vector<uint8_t> px = pixelsOf(patches, 3, &w);
    heif_context* ctx = heif_context_alloc();
    heif_image* image = nullptr;
    heif_encoder* encoder = nullptr;
    heif_image_handle* handle = nullptr;
    bool ok = heif_image_create(w, kPatchSide, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code
                  == heif_error_Ok
              && heif_image_add_plane(image, heif_channel_interleaved, w, kPatchSide, 8).code == heif_error_Ok;
    if (ok) {
        int stride = 0;
        uint8_t* p = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < kPatchSide; ++y) std::memcpy(p + y * stride, &px[static_cast<size_t>(y) * w * 3], w * 3);
    }
    if (ok && !icc.empty())
        ok = heif_image_set_raw_color_profile(image, "prof", icc.data(), icc.size()).code == heif_error_Ok;
    if (ok && primaries) {
        heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
        nclx->color_primaries = static_cast<heif_color_primaries>(primaries);
        nclx->transfer_characteristics = static_cast<heif_transfer_characteristics>(transfer);
        nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
        nclx->full_range_flag = 1;
        ok = heif_image_set_nclx_color_profile(image, nclx).code == heif_error_Ok;
        heif_nclx_color_profile_free(nclx);
    }
    ok = ok && heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code == heif_error_Ok;
    if (ok) heif_encoder_set_lossless(encoder, 1);
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->macOS_compatibility_workaround_no_nclx_profile = 0; // else no nclx is written
    ok = ok && heif_context_encode_image(ctx, image, encoder, options, &handle).code == heif_error_Ok;
    heif_encoding_options_free(options);
    const std::string path = "/tmp/korvell-patches-" + std::to_string(getpid()) + ".heic";
    ok = ok && heif_context_write_to_file(ctx, path.c_str()).code == heif_error_Ok;
    if (handle) heif_image_handle_release(handle);
    if (encoder) heif_encoder_release(encoder);
    if (image) heif_image_release(image);
    heif_context_free(ctx);
    std::vector<uint8_t> file = readBytes(path);
    std::remove(path.c_str());
    return ok ? file : std::vector<uint8_t>();
}

} // namespace

std::vector<uint8_t> withIccProfile(std::vector<uint8_t> file, const std::vector<uint8_t>& icc)
{
    // The profile in chunks of at most 1000 bytes (real ones split at
    // 65519), after the start marker.
    std::vector<uint8_t> app2;
    const size_t piece = 1000, count = (icc.size() + piece - 1) / piece;
    for (size_t i = 0; i < count; ++i) {
        const size_t n = std::min(piece, icc.size() - i * piece), length = 2 + 14 + n;
        const uint8_t head[4] = {0xFF, 0xE2, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
        app2.insert(app2.end(), head, head + 4);
        const char* name = "ICC_PROFILE";
        app2.insert(app2.end(), name, name + 12);
        app2.push_back(static_cast<uint8_t>(i + 1));
        app2.push_back(static_cast<uint8_t>(count));
        app2.insert(app2.end(), icc.begin() + static_cast<long>(i * piece), icc.begin() + static_cast<long>(i * piece + n));
    }
    file.insert(file.begin() + 2, app2.begin(), app2.end());
    return file;
}

std::vector<uint8_t> patchPicture(kvPatchFormat format, const std::vector<kvPatch>& patches,
                                  const std::vector<uint8_t>& icc, int nclxPrimaries, int nclxTransfer, int components)
{
    switch (format) {
    case kvPatchFormat::JPEG: return jpeg(patches, icc, components);
    case kvPatchFormat::PNG: return png(patches, icc);
    case kvPatchFormat::WEBP: return webp(patches, icc);
    default: return heic(patches, icc, nclxPrimaries, nclxTransfer);
    }
}

const char* patchFormatName(kvPatchFormat format)
{
    static const char* names[] = {"JPEG", "PNG", "WebP", "HEIC"};
    return names[static_cast<int>(format)];
}

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> displayP3Profile()
{
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE p3 = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    const cmsFloat64Number srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &p3, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return bytes;
}

} // namespace Korvell
