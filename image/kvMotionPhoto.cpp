// Finding a Motion Photo's clip from its XMP.
#include "image/kvMotionPhoto.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/kvExifReader.h"

namespace Korvell {

namespace {

// The value of a property after `from` in the XMP text, written as an
// attribute (name="..." or name='...') or as an element (<name>...</name>);
// "" when it is not there.
std::string property(const std::string& xmp, const std::string& name, size_t from = 0, size_t to = std::string::npos)
{
    const std::string region = xmp.substr(from, to == std::string::npos ? std::string::npos : to - from);
    size_t at = region.find(name + "=");
    if (at != std::string::npos) {
        at += name.size() + 1;
        if (at < region.size() && (region[at] == '"' || region[at] == '\'')) {
            const size_t end = region.find(region[at], at + 1);
            if (end != std::string::npos) return region.substr(at + 1, end - at - 1);
        }
    }
    at = region.find("<" + name + ">");
    if (at == std::string::npos) return std::string();
    at += name.size() + 2;
    const size_t end = region.find("</" + name + ">", at);
    return end == std::string::npos ? std::string() : region.substr(at, end - at);
}

// A whole number of bytes; 0 when the text is not one.
uint64_t bytes(const std::string& text)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::strtoull(text.c_str(), nullptr, 10);
}

} // namespace

bool findMotionPhotoClip(const uint8_t* head, size_t size, uint64_t fileSize, uint64_t* offset, uint64_t* length)
{
    if (size < 4 || head[0] != 0xFF || head[1] != 0xD8) return false;
    // The XMP packet, in its APP1 segment near the start: the segments
    // walked to it, so that only its text is searched.
    static const char kXmpName[] = "http://ns.adobe.com/xap/1.0/";
    uint64_t packet = 0, bytesThere = 0;
    if (findJpegApp1(head, size, 0, 2, fileSize, kXmpName, sizeof kXmpName, &packet, &bytesThere) != kvExifPlace::Found
        || packet >= size)
        return false;
    // (A packet running past the head is searched as far as it goes.)
    const std::string text(reinterpret_cast<const char*>(head + packet),
                           static_cast<size_t>(std::min<uint64_t>(bytesThere, size - packet)));
    const size_t xmpAt = text.find("<x:xmpmeta");
    if (xmpAt == std::string::npos) return false;
    const size_t xmpEnd = text.find("</x:xmpmeta>", xmpAt);
    const std::string xmp = text.substr(xmpAt, xmpEnd == std::string::npos ? std::string::npos : xmpEnd - xmpAt);
    uint64_t clip = 0;
    // The older form: the video's length from the end of the file.
    if (property(xmp, "GCamera:MicroVideo") == "1") clip = bytes(property(xmp, "GCamera:MicroVideoOffset"));
    // The newer: a directory of items, the video's with its length.
    const bool motion = property(xmp, "GCamera:MotionPhoto") == "1" || property(xmp, "Camera:MotionPhoto") == "1";
    if (clip == 0 && (motion || xmp.find("Container:Directory") != std::string::npos)) {
        for (size_t at = xmp.find("MotionPhoto"); at != std::string::npos; at = xmp.find("MotionPhoto", at + 1)) {
            // The video's item: its semantic is MotionPhoto; its length is
            // in the same item, before the next item begins.
            const size_t semantic = xmp.rfind("Item:Semantic", at);
            if (semantic == std::string::npos || at - semantic > 24) continue;
            const size_t itemStart = xmp.rfind("Container:Item", semantic);
            const size_t itemEnd = xmp.find("Container:Item", at);
            clip = bytes(property(xmp, "Item:Length", itemStart == std::string::npos ? 0 : itemStart, itemEnd));
            if (clip) break;
        }
    }
    if (clip == 0 || clip >= fileSize) return false;
    *offset = fileSize - clip;
    *length = clip;
    return true;
}

} // namespace Korvell
