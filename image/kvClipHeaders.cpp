// Reading a clip's headers: ISO media boxes, Matroska's EBML, AVI's RIFF.
#include "image/kvClipHeaders.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/kvIsoBoxes.h"

namespace Korvell {

namespace {

const size_t kHeadBytes = 64 * 1024;
const uint64_t kMaxMoovBytes = 64ull << 20;
const int kMaxBoxes = 100000; // top-level boxes walked at most

uint32_t le32(const uint8_t* p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }

bool is(const uint8_t* p, const char* four) { return std::memcmp(p, four, 4) == 0; }

// A civil UTC time from seconds since 1970, as a photo's date is written.
std::string civil(int64_t seconds)
{
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const int64_t rest = seconds - days * 86400;
    // Days since 1970-01-01 to a date (Howard Hinnant's algorithm).
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 1900 || year > 9999) return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", static_cast<int>(year), static_cast<int>(month),
                  static_cast<int>(day), static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60));
    return text;
}

// "2024-05-06T07:08:09.25+0200" (QuickTime's creation date; the offset as
// +HHMM, +HH:MM or Z) into the photo's fields; false when it is not one.
bool readIsoDate(const std::string& s, kvClipHeaders* out)
{
    int y, mo, d, h, mi, se;
    char sep;
    if (s.size() < 19 || std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &y, &mo, &d, &sep, &h, &mi, &se) != 7)
        return false;
    if (sep != 'T' && sep != ' ') return false;
    char text[32];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", y, mo, d, h, mi, se);
    out->taken = text;
    size_t at = 19;
    out->subSeconds.clear();
    if (at < s.size() && s[at] == '.') {
        for (++at; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at) out->subSeconds += s[at];
    }
    out->offset.clear();
    if (at < s.size() && s[at] == 'Z') out->offset = "+00:00";
    if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
        std::string digits;
        for (size_t k = at + 1; k < s.size() && digits.size() < 4; ++k)
            if (s[k] >= '0' && s[k] <= '9') digits += s[k];
        if (digits.size() == 4) out->offset = std::string(1, s[at]) + digits.substr(0, 2) + ":" + digits.substr(2);
    }
    return true;
}

// ISO media: the boxes inside [p, end), handed to `visit` (type, body).
template <class Visit>
void boxes(const uint8_t* p, const uint8_t* end, int depth, Visit visit)
{
    if (depth >= 16) return;
    forEachIsoBox(p, 0, static_cast<size_t>(end - p), [&](const uint8_t* type, size_t body, size_t to) {
        visit(type, p + body, p + to, depth);
        return false;
    });
}

struct MoovReader {
    kvClipHeaders* out;
    uint32_t timescale = 0;
    uint64_t duration = 0;
    bool sawVideo = false;
    std::vector<std::string> keys;
    int trackWidth = 0, trackHeight = 0, trackTurn = 0;
    std::string handler;

    void readMvhd(const uint8_t* b, const uint8_t* e)
    {
        if (e - b < 4) return;
        const bool v1 = b[0] == 1;
        if ((v1 && e - b < 32) || (!v1 && e - b < 20)) return;
        const uint64_t created = v1 ? be64(b + 4) : be32(b + 4);
        timescale = be32(b + (v1 ? 20 : 12));
        duration = v1 ? be64(b + 24) : be32(b + 16);
        // Seconds since 1904 in UTC; 0 when the recorder did not say.
        if (created > 0 && out->taken.empty()) {
            const int64_t since1970 = static_cast<int64_t>(created) - 2082844800LL;
            out->taken = civil(since1970);
            if (!out->taken.empty()) out->offset = "+00:00";
        }
    }

    void readTkhd(const uint8_t* b, const uint8_t* e)
    {
        if (e - b < 4) return;
        const bool v1 = b[0] == 1;
        const size_t matrixAt = v1 ? 4 + 32 + 8 + 8 : 4 + 20 + 8 + 8;
        if (static_cast<size_t>(e - b) < matrixAt + 36 + 8) return;
        const uint8_t* m = b + matrixAt;
        const int32_t a = static_cast<int32_t>(be32(m)), bb = static_cast<int32_t>(be32(m + 4));
        const int32_t c = static_cast<int32_t>(be32(m + 12)), d = static_cast<int32_t>(be32(m + 16));
        trackTurn = 0;
        if (a == 0 && d == 0 && bb > 0 && c < 0) trackTurn = 90;
        if (a == 0 && d == 0 && bb < 0 && c > 0) trackTurn = 270;
        if (a < 0 && d < 0 && bb == 0 && c == 0) trackTurn = 180;
        trackWidth = static_cast<int>(be32(m + 36) >> 16);
        trackHeight = static_cast<int>(be32(m + 40) >> 16);
    }

    // QuickTime's keys and items (moov/meta, or udta/meta).
    void readKeys(const uint8_t* b, const uint8_t* e)
    {
        if (e - b < 8) return;
        const uint32_t count = be32(b + 4);
        const uint8_t* p = b + 8;
        for (uint32_t i = 0; i < count && e - p >= 8; ++i) {
            const uint32_t size = be32(p);
            if (size < 8 || size > static_cast<uint32_t>(e - p)) return;
            keys.emplace_back(reinterpret_cast<const char*>(p + 8), size - 8);
            p += size;
        }
    }

    void readItems(const uint8_t* b, const uint8_t* e)
    {
        boxes(b, e, 0, [this](const uint8_t* type, const uint8_t* body, const uint8_t* end, int) {
            const uint32_t index = be32(type);
            if (index == 0 || index > keys.size()) return;
            const std::string& key = keys[index - 1];
            boxes(body, end, 0, [&](const uint8_t* t, const uint8_t* db, const uint8_t* de, int) {
                if (!is(t, "data") || de - db < 8) return;
                const std::string value(reinterpret_cast<const char*>(db + 8), static_cast<size_t>(de - db - 8));
                if (key == "com.apple.quicktime.creationdate") {
                    kvClipHeaders dated = *out;
                    if (readIsoDate(value, &dated)) {
                        out->taken = dated.taken;
                        out->subSeconds = dated.subSeconds;
                        out->offset = dated.offset;
                    }
                } else if (key == "com.apple.quicktime.content.identifier") {
                    out->contentId = value;
                }
            });
        });
    }

    void visit(const uint8_t* type, const uint8_t* b, const uint8_t* e, int depth)
    {
        if (is(type, "mvhd")) readMvhd(b, e);
        if (is(type, "tkhd")) readTkhd(b, e);
        // The media's handler (mdia's), not QuickTime's data handler in minf.
        if (is(type, "hdlr") && e - b >= 12 && handler.empty()) handler.assign(reinterpret_cast<const char*>(b + 8), 4);
        if (is(type, "keys")) readKeys(b, e);
        if (is(type, "ilst")) readItems(b, e);
        if (is(type, "trak")) {
            handler.clear();
            trackWidth = trackHeight = trackTurn = 0;
            boxes(b, e, depth + 1, [this](const uint8_t* t, const uint8_t* tb, const uint8_t* te, int d) { visit(t, tb, te, d); });
            if (handler == "soun") out->sound = true;
            if (handler == "vide" && !sawVideo && trackWidth > 0 && trackHeight > 0) {
                sawVideo = true;
                out->width = trackTurn % 180 ? trackHeight : trackWidth;
                out->height = trackTurn % 180 ? trackWidth : trackHeight;
            }
            return;
        }
        if (is(type, "mdia") || is(type, "minf") || is(type, "udta") || is(type, "edts"))
            boxes(b, e, depth + 1, [this](const uint8_t* t, const uint8_t* tb, const uint8_t* te, int d) { visit(t, tb, te, d); });
        if (is(type, "meta")) {
            // QuickTime's meta holds boxes at once; ISO's (a full box) after
            // four bytes of version and flags.
            const uint8_t* inner = (e - b >= 12 && be32(b) == 0 && !is(b + 4, "hdlr")) ? b + 4 : b;
            boxes(inner, e, depth + 1, [this](const uint8_t* t, const uint8_t* tb, const uint8_t* te, int d) { visit(t, tb, te, d); });
        }
    }
};

bool readIso(const kvReadAt& readAt, uint64_t fileSize, kvClipHeaders* out)
{
    uint64_t at = 0;
    for (int n = 0; n < kMaxBoxes && at + 8 <= fileSize; ++n) {
        uint8_t h[16];
        const size_t want = static_cast<size_t>(std::min<uint64_t>(16, fileSize - at));
        if (!readAt(at, want, h)) return false;
        uint64_t size = 0;
        size_t header = 0;
        if (!isoBoxSize(h, want, fileSize - at, &size, &header)) return false;
        if (is(h + 4, "moov")) {
            if (size > kMaxMoovBytes) return false;
            std::vector<uint8_t> moov(static_cast<size_t>(size - header));
            if (!moov.empty() && !readAt(at + header, moov.size(), moov.data())) return false;
            MoovReader r;
            r.out = out;
            boxes(moov.data(), moov.data() + moov.size(), 0,
                  [&r](const uint8_t* t, const uint8_t* b, const uint8_t* e, int d) { r.visit(t, b, e, d); });
            if (r.timescale > 0) out->seconds = static_cast<double>(r.duration) / r.timescale;
            out->video = r.sawVideo;
            return true;
        }
        at += size;
    }
    return false;
}

// Matroska: an element's id and size at p (EBML variable-length numbers).
bool ebml(const uint8_t*& p, const uint8_t* end, uint32_t* id, uint64_t* size)
{
    if (p >= end) return false;
    int idLength = 1;
    while (idLength <= 4 && !(p[0] & (0x80 >> (idLength - 1)))) ++idLength;
    if (idLength > 4 || end - p < idLength) return false;
    *id = 0;
    for (int i = 0; i < idLength; ++i) *id = *id << 8 | p[i];
    p += idLength;
    if (p >= end) return false;
    int sizeLength = 1;
    while (sizeLength <= 8 && !(p[0] & (0x80 >> (sizeLength - 1)))) ++sizeLength;
    if (sizeLength > 8 || end - p < sizeLength) return false;
    uint64_t v = p[0] & (0xFF >> sizeLength);
    bool unknown = v == (0xFFu >> sizeLength);
    for (int i = 1; i < sizeLength; ++i) {
        unknown = unknown && p[i] == 0xFF;
        v = v << 8 | p[i];
    }
    p += sizeLength;
    // An unknown size runs to the end of what holds it.
    *size = unknown ? static_cast<uint64_t>(end - p) : v;
    return true;
}

uint64_t ebmlUnsigned(const uint8_t* p, uint64_t n)
{
    uint64_t v = 0;
    for (uint64_t i = 0; i < n && i < 8; ++i) v = v << 8 | p[i];
    return v;
}

double ebmlFloat(const uint8_t* p, uint64_t n)
{
    if (n == 4) {
        uint32_t bits = be32(p);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    if (n == 8) {
        uint64_t bits = be64(p);
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    return 0.0;
}

bool readMatroska(const uint8_t* head, size_t n, kvClipHeaders* out)
{
    const uint8_t* p = head;
    const uint8_t* end = head + n;
    uint32_t id;
    uint64_t size;
    // The EBML header, then the segment.
    if (!ebml(p, end, &id, &size) || id != 0x1A45DFA3 || size > static_cast<uint64_t>(end - p)) return false;
    p += size;
    if (!ebml(p, end, &id, &size) || id != 0x18538067) return false;
    const uint8_t* segmentEnd = size < static_cast<uint64_t>(end - p) ? p + size : end;
    uint64_t scale = 1000000;
    double duration = 0.0;
    bool video = false, tracks = false;
    while (p < segmentEnd && ebml(p, segmentEnd, &id, &size)) {
        const uint8_t* body = p;
        const uint8_t* bodyEnd = size < static_cast<uint64_t>(segmentEnd - p) ? p + size : segmentEnd;
        if (id == 0x1549A966) { // Info
            for (const uint8_t* q = body; q < bodyEnd;) {
                uint32_t cid;
                uint64_t cs;
                if (!ebml(q, bodyEnd, &cid, &cs) || cs > static_cast<uint64_t>(bodyEnd - q)) break;
                if (cid == 0x2AD7B1) scale = ebmlUnsigned(q, cs);
                if (cid == 0x4489) duration = ebmlFloat(q, cs);
                if (cid == 0x4461 && cs == 8) {
                    // Nanoseconds since 2001-01-01 in UTC.
                    const int64_t ns = static_cast<int64_t>(be64(q));
                    out->taken = civil(978307200LL + ns / 1000000000LL);
                    if (!out->taken.empty()) out->offset = "+00:00";
                }
                q += cs;
            }
        } else if (id == 0x1654AE6B) { // Tracks
            tracks = true;
            for (const uint8_t* q = body; q < bodyEnd;) {
                uint32_t tid;
                uint64_t ts;
                if (!ebml(q, bodyEnd, &tid, &ts) || ts > static_cast<uint64_t>(bodyEnd - q)) break;
                if (tid == 0xAE) { // one track
                    uint64_t type = 0;
                    int w = 0, h = 0;
                    for (const uint8_t* r = q; r < q + ts;) {
                        uint32_t eid;
                        uint64_t es;
                        if (!ebml(r, q + ts, &eid, &es) || es > static_cast<uint64_t>(q + ts - r)) break;
                        if (eid == 0x83) type = ebmlUnsigned(r, es);
                        if (eid == 0xE0) { // Video
                            for (const uint8_t* v = r; v < r + es;) {
                                uint32_t vid;
                                uint64_t vs;
                                if (!ebml(v, r + es, &vid, &vs) || vs > static_cast<uint64_t>(r + es - v)) break;
                                if (vid == 0xB0) w = static_cast<int>(ebmlUnsigned(v, vs));
                                if (vid == 0xBA) h = static_cast<int>(ebmlUnsigned(v, vs));
                                v += vs;
                            }
                        }
                        r += es;
                    }
                    if (type == 2) out->sound = true;
                    if (type == 1 && !video) {
                        video = true;
                        out->width = w;
                        out->height = h;
                    }
                }
                q += ts;
            }
        } else if (id == 0x1F43B675) { // the first cluster: the headers are behind
            break;
        }
        p = bodyEnd;
    }
    if (duration > 0.0 && std::isfinite(duration)) out->seconds = duration * static_cast<double>(scale) / 1e9;
    out->video = video && out->width > 0 && out->height > 0;
    return tracks;
}

bool readAvi(const uint8_t* head, size_t n, kvClipHeaders* out)
{
    // RIFF 'AVI ', then LIST 'hdrl' with 'avih' and a 'strl' per stream.
    bool video = false, header = false;
    for (size_t at = 12; at + 8 <= n;) {
        const uint32_t size = le32(head + at + 4);
        if (is(head + at, "LIST") && at + 12 <= n && (is(head + at + 8, "hdrl") || is(head + at + 8, "strl"))) {
            at += 12; // into the list
            continue;
        }
        if (is(head + at, "avih") && at + 8 + 40 <= n) {
            header = true;
            const uint8_t* h = head + at + 8;
            const uint32_t microseconds = le32(h), frames = le32(h + 16);
            out->width = static_cast<int>(le32(h + 32));
            out->height = static_cast<int>(le32(h + 36));
            out->seconds = static_cast<double>(microseconds) * frames / 1e6;
        }
        if (is(head + at, "strh") && at + 12 <= n) {
            if (is(head + at + 8, "auds")) out->sound = true;
            if (is(head + at + 8, "vids")) video = true;
        }
        if (is(head + at, "LIST") && at + 12 <= n && is(head + at + 8, "movi")) break;
        at += 8 + size + (size & 1);
    }
    out->video = video && out->width > 0 && out->height > 0;
    return header;
}

} // namespace

kvClipContainer clipKindOf(const uint8_t* h, size_t n)
{
    if (n >= 12 && is(h, "RIFF") && is(h + 8, "AVI ")) return CLIP_AVI;
    if (n >= 4 && h[0] == 0x1A && h[1] == 0x45 && h[2] == 0xDF && h[3] == 0xA3) return CLIP_MATROSKA;
    if (n >= 12) {
        const uint8_t* t = h + 4;
        // A picture in an ISO box file (HEIC, AVIF) is a picture, not a clip.
        if (is(t, "ftyp")) {
            static const char* const pictures[] = {"heic", "heix", "hevc", "heim", "heis", "mif1", "msf1", "avif", "avis"};
            for (const char* brand : pictures)
                if (is(h + 8, brand)) return CLIP_NONE;
            return CLIP_ISO;
        }
        if (is(t, "moov") || is(t, "mdat") || is(t, "wide") || is(t, "free") || is(t, "skip") || is(t, "pnot"))
            return CLIP_ISO;
    }
    return CLIP_NONE;
}

bool readClipHeaders(const kvReadAt& readAt, uint64_t fileSize, kvClipHeaders* out)
{
    *out = kvClipHeaders();
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(fileSize, kHeadBytes)));
    if (head.size() < 12 || !readAt(0, head.size(), head.data())) return false;
    out->kind = clipKindOf(head.data(), head.size());
    switch (out->kind) {
    case CLIP_ISO: return readIso(readAt, fileSize, out);
    case CLIP_MATROSKA: return readMatroska(head.data(), head.size(), out);
    case CLIP_AVI: return readAvi(head.data(), head.size(), out);
    default: return false;
    }
}

} // namespace Korvell
