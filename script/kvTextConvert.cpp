// UTF-8 to Windows-1250 for the Polish letters. Only the second byte of a
// pair led by C3, C4 or C5 decides (84 also looks at the first), so a few
// non-Polish letters land on Polish ones and others are dropped; scripts
// are written in Polish or English, where this holds.
#include "script/kvHandlers.h"

namespace Korvell {

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
