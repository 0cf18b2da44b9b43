// Exiv2 behind a plain struct. The file is reached through /proc/self/fd,
// so Exiv2 reads the regular file already opened (never a FIFO swapped in
// under the name), and reads only the headers it needs. A HEIC's or AVIF's
// metadata items are found by libheif, which reads every layout its
// writers use (Exiv2 0.27 misses items in some: a grid's), and decoded by
// Exiv2.
#include "image/kvPhotoMetadata.h"

#include "image/kvExifReader.h"

// Exiv2 0.27's interface hands out std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

#include <libheif/heif.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <mutex>
#include <vector>

namespace Korvell {

namespace {

std::string exifText(const Exiv2::ExifData& exif, const char* key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? std::string() : it->toString();
}

std::string trimmed(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && (std::isspace(static_cast<unsigned char>(s[b])) || s[b] == '\0')) ++b;
    while (e > b && (std::isspace(static_cast<unsigned char>(s[e - 1])) || s[e - 1] == '\0')) --e;
    return s.substr(b, e - b);
}

std::string xmpDescription(const Exiv2::XmpData& xmp)
{
    const auto it = xmp.findKey(Exiv2::XmpKey("Xmp.dc.description"));
    if (it == xmp.end()) return std::string();
    // A language alternative: the default language's text, else the first.
    if (const auto* alt = dynamic_cast<const Exiv2::LangAltValue*>(&it->value())) {
        const auto def = alt->value_.find("x-default");
        if (def != alt->value_.end()) return def->second;
        return alt->value_.empty() ? std::string() : alt->value_.begin()->second;
    }
    return it->toString();
}

std::string makerNoteContentId(const Exiv2::ExifData& exif)
{
    const auto it = exif.findKey(Exiv2::ExifKey("Exif.Photo.MakerNote"));
    if (it == exif.end() || it->size() < 16 || it->size() > (1 << 20)) return std::string();
    std::vector<uint8_t> note(static_cast<size_t>(it->size()));
    it->copy(note.data(), Exiv2::bigEndian);
    return appleContentId(note.data(), note.size());
}

bool isHeif(int fd)
{
    char head[12];
    return pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) && std::memcmp(head + 4, "ftyp", 4) == 0;
}

// The primary image's EXIF and XMP items, decoded; false when there are
// none (or the file is not one libheif reads).
bool readHeifItems(const std::string& path, Exiv2::ExifData& exif, Exiv2::XmpData& xmp)
{
    heif_context* ctx = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    bool found = false;
    if (ctx && heif_context_read_from_file(ctx, path.c_str(), nullptr).code == heif_error_Ok
        && heif_context_get_primary_image_handle(ctx, &handle).code == heif_error_Ok) {
        const int n = heif_image_handle_get_number_of_metadata_blocks(handle, nullptr);
        std::vector<heif_item_id> ids(static_cast<size_t>(n > 0 ? n : 0));
        if (n > 0) heif_image_handle_get_list_of_metadata_block_IDs(handle, nullptr, ids.data(), n);
        for (heif_item_id id : ids) {
            const size_t size = heif_image_handle_get_metadata_size(handle, id);
            if (size < 4 || size > (16u << 20)) continue;
            std::vector<uint8_t> data(size);
            if (heif_image_handle_get_metadata(handle, id, data.data()).code != heif_error_Ok) continue;
            const char* kind = heif_image_handle_get_metadata_type(handle, id);
            const std::string type = kind ? kind : "";
            const char* content = heif_image_handle_get_metadata_content_type(handle, id);
            if (type == "Exif") {
                // A 4-byte offset to the TIFF header comes first.
                const uint32_t skip = (uint32_t(data[0]) << 24) | (uint32_t(data[1]) << 16) | (uint32_t(data[2]) << 8) | data[3];
                if (skip > size - 4) continue;
                Exiv2::ExifParser::decode(exif, data.data() + 4 + skip, static_cast<uint32_t>(size - 4 - skip));
                found = true;
            } else if (type == "mime" && content && std::strcmp(content, "application/rdf+xml") == 0) {
                Exiv2::XmpParser::decode(xmp, std::string(data.begin(), data.end()));
                found = true;
            }
        }
    }
    if (handle) heif_image_handle_release(handle);
    if (ctx) heif_context_free(ctx);
    return found;
}

void setUp()
{
    static std::once_flag once;
    std::call_once(once, []() {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
    });
}

} // namespace

bool isStockCaption(const std::string& text)
{
    std::string upper;
    for (char c : trimmed(text)) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const stock[] = {"OLYMPUS DIGITAL CAMERA", "SONY DSC", "DIGITAL CAMERA", "KODAK CSC",
                                        "DCIM", "DEFAULT", "SAMSUNG", "CAMERA", "IMAGE", "PICTURE",
                                        "SCREENSHOT", "UNTITLED"};
    for (const char* s : stock)
        if (upper == s) return true;
    // "DSC_0042", "IMG_1234": a file name, not a description.
    return upper.empty() || upper.compare(0, 4, "DSC_") == 0 || upper.compare(0, 4, "IMG_") == 0;
}

bool readPhotoMetadata(int fd, kvPhotoMetadata& out)
{
    setUp();
    try {
        const std::string path = "/proc/self/fd/" + std::to_string(fd);
        Exiv2::ExifData heifExif;
        Exiv2::XmpData heifXmp;
        Exiv2::IptcData noIptc;
        Exiv2::Image::AutoPtr image;
        const bool heif = isHeif(fd) && readHeifItems(path, heifExif, heifXmp);
        if (!heif) {
            image = Exiv2::ImageFactory::open(path, false);
            if (!image.get()) return false;
            image->readMetadata();
        }
        const Exiv2::ExifData& exif = heif ? heifExif : image->exifData();
        const Exiv2::XmpData& xmp = heif ? heifXmp : image->xmpData();
        const Exiv2::IptcData& iptc = heif ? noIptc : image->iptcData();
        kvPhotoMetadata m;
        m.taken = trimmed(exifText(exif, "Exif.Photo.DateTimeOriginal"));
        m.subSeconds = trimmed(exifText(exif, "Exif.Photo.SubSecTimeOriginal"));
        m.offset = trimmed(exifText(exif, "Exif.Photo.OffsetTimeOriginal"));
        m.contentId = makerNoteContentId(exif);
        const auto caption = iptc.findKey(Exiv2::IptcKey("Iptc.Application2.Caption"));
        const std::string captions[] = {
            trimmed(xmpDescription(xmp)),
            caption == iptc.end() ? std::string() : trimmed(caption->toString()),
            trimmed(exifText(exif, "Exif.Image.ImageDescription")),
        };
        for (const std::string& c : captions)
            if (!isStockCaption(c)) {
                m.caption = c;
                break;
            }
        out = m;
        return true;
    } catch (...) {
        // Exiv2 throws on files it cannot parse; such a photo has no date.
        return false;
    }
}

} // namespace Korvell

#pragma GCC diagnostic pop
