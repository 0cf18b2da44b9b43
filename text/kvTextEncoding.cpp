// UTF-8 to Windows-1250 for the Polish letters. Only the second byte of a
// pair led by C3, C4 or C5 decides (84 also looks at the first), so a few
// non-Polish letters land on Polish ones and others are dropped; scripts
// are written in Polish or English, where this holds.
#include "text/kvTextEncoding.h"

namespace Korvell {

namespace {
// Windows-1250, 0x80 to 0xFF (0 where the code page assigns nothing).
const unsigned short kHighHalf[128] = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021, 0,      0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};

} // namespace

unsigned cp1250ToUnicode(unsigned char code) { return code < 0x80 ? code : kHighHalf[code - 0x80]; }

std::string cp1250ToUtf8(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        const unsigned u = cp1250ToUnicode(c);
        if (u == 0) continue;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string utf8ToCp1250(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead != 0xC3 && lead != 0xC4 && lead != 0xC5) {
            out += static_cast<char>(lead);
            continue;
        }
        if (i + 1 >= text.size()) break; // a cut-off pair yields nothing
        const unsigned char second = static_cast<unsigned char>(text[++i]);
        int mapped = -1;
        switch (second) {
        case 0x85: mapped = 0xB9; break; // ą
        case 0x87: mapped = 0xE6; break; // ć
        case 0x99: mapped = 0xEA; break; // ę
        case 0x82: mapped = 0xB3; break; // ł
        case 0xB3: mapped = 0xF3; break; // ó
        case 0x9B: mapped = 0x9C; break; // ś
        case 0xBA: mapped = 0x9F; break; // ź
        case 0xBC: mapped = 0xBF; break; // ż
        case 0x86: mapped = 0xC6; break; // Ć
        case 0x98: mapped = 0xCA; break; // Ę
        case 0x93: mapped = 0xD3; break; // Ó
        case 0x9A: mapped = 0x8C; break; // Ś
        case 0x81: mapped = 0xA3; break; // Ł
        case 0xBB: mapped = 0xAF; break; // Ż
        case 0xB9: mapped = 0x8F; break; // Ź
        case 0x83: mapped = 0xD1; break; // Ń
        case 0x84: mapped = lead == 0xC4 ? 0xA5 : lead == 0xC5 ? 0xF1 : -1; break; // Ą, ń
        default: break;
        }
        if (mapped >= 0) out += static_cast<char>(mapped);
    }
    return out;
}

} // namespace Korvell
