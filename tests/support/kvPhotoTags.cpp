// Test pictures with metadata, written through Exiv2.
#include "support/kvPhotoTags.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>

#include <cstring>

namespace Korvell {

namespace {
void fill(Exiv2::ExifData& exif, Exiv2::XmpData& xmp, const kvPhotoTags& t)
{
    if (!t.taken.empty()) exif["Exif.Photo.DateTimeOriginal"] = t.taken;
    if (!t.subSeconds.empty()) exif["Exif.Photo.SubSecTimeOriginal"] = t.subSeconds;
    if (!t.offset.empty()) exif["Exif.Photo.OffsetTimeOriginal"] = t.offset;
    if (!t.exifDescription.empty()) exif["Exif.Image.ImageDescription"] = t.exifDescription;
    if (!t.xmpDescription.empty()) xmp["Xmp.dc.description"] = "lang=x-default " + t.xmpDescription;
    if (!t.appleContentId.empty()) {
        // "Apple iOS", version 1, big-endian; one entry: tag 0x11, ASCII,
        // the identifier and its NUL after them, at offset 32.
        std::string note("Apple iOS\0\0\1MM\0\1", 16);
        const uint32_t count = static_cast<uint32_t>(t.appleContentId.size() + 1);
        const uint8_t entry[12] = {0, 0x11, 0, 2, uint8_t(count >> 24), uint8_t(count >> 16), uint8_t(count >> 8),
                                   uint8_t(count), 0, 0, 0, 32};
        note.append(reinterpret_cast<const char*>(entry), 12);
        note.append(4, '\0'); // no next IFD
        note += t.appleContentId;
        note += '\0';
        Exiv2::DataValue value(Exiv2::undefined);
        value.read(reinterpret_cast<const Exiv2::byte*>(note.data()), static_cast<long>(note.size()));
        exif.add(Exiv2::ExifKey("Exif.Photo.MakerNote"), &value);
    }
}
} // namespace

bool writePhotoTags(const std::string& path, const kvPhotoTags& t)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
        image->readMetadata();
        fill(image->exifData(), image->xmpData(), t);
        if (!t.iptcCaption.empty()) image->iptcData()["Iptc.Application2.Caption"] = t.iptcCaption;
        image->writeMetadata();
        return true;
    } catch (...) {
        return false;
    }
}

bool writeTaggedHeif(const std::string& path, bool avif, const kvPhotoTags& tags)
{
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    fill(exif, xmp, tags);
    Exiv2::Blob tiff;
    Exiv2::ExifParser::encode(tiff, Exiv2::littleEndian, exif);
    std::string packet;
    if (!xmp.empty() && Exiv2::XmpParser::encode(packet, xmp) != 0) return false;

    heif_context* ctx = heif_context_alloc();
    heif_image* image = nullptr;
    heif_encoder* encoder = nullptr;
    heif_image_handle* handle = nullptr;
    bool ok = heif_image_create(64, 48, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code == heif_error_Ok
              && heif_image_add_plane(image, heif_channel_interleaved, 64, 48, 8).code == heif_error_Ok;
    if (ok) {
        int stride = 0;
        uint8_t* p = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) std::memcpy(p + y * stride + x * 3, "\xC0\x40\x20", 3);
    }
    ok = ok && heif_context_get_encoder_for_format(ctx, avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder)
                       .code == heif_error_Ok;
    ok = ok && heif_context_encode_image(ctx, image, encoder, nullptr, &handle).code == heif_error_Ok;
    if (ok && !tiff.empty())
        ok = heif_context_add_exif_metadata(ctx, handle, tiff.data(), static_cast<int>(tiff.size())).code == heif_error_Ok;
    if (ok && !packet.empty())
        ok = heif_context_add_XMP_metadata(ctx, handle, packet.data(), static_cast<int>(packet.size())).code == heif_error_Ok;
    ok = ok && heif_context_write_to_file(ctx, path.c_str()).code == heif_error_Ok;
    if (handle) heif_image_handle_release(handle);
    if (encoder) heif_encoder_release(encoder);
    if (image) heif_image_release(image);
    heif_context_free(ctx);
    return ok;
}

} // namespace Korvell

#pragma GCC diagnostic pop
