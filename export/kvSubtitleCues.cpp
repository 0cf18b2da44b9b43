// Subtitle cues from the player's slides, as the subtitle display times them.
#include "export/kvSubtitleCues.h"

#include <cmath>
#include <cstdio>

#include "player/kvPlayer.h"

namespace Korvell {

std::vector<kvCue> subtitleCues(const kvPlayer& player, double start)
{
    std::vector<kvCue> cues;
    if (player.getFonts().empty()) return cues; // no font: nothing is drawn
    const int count = player.getItemCount();
    // The slides that are shown: all but the last (a lone slide is shown).
    const int shown = count >= 2 ? count - 1 : count;
    const double delay = player.getSubtitleDelay();
    for (int k = 0; k < shown; ++k) {
        const kvPlayerItem* item = player.getItem(static_cast<unsigned>(k));
        if (item->lines.empty()) continue;
        const double begin = k > 0 ? player.getItem(static_cast<unsigned>(k - 1))->endTime : 0.0;
        const double span = item->endTime - begin;
        const double perLine = (span - 2.0 * delay) / static_cast<double>(item->lines.size());
        if (!(perLine > 0.0)) continue;
        for (size_t i = 0; i < item->lines.size(); ++i) {
            kvCue cue;
            cue.from = begin + delay + static_cast<double>(i) * perLine - start;
            cue.to = cue.from + perLine;
            if (cue.to <= 0.0) continue;
            if (cue.from < 0.0) cue.from = 0.0;
            cue.text = item->lines[i];
            cues.push_back(cue);
        }
    }
    return cues;
}

std::string srtTime(double seconds)
{
    const long long ms = std::llround(seconds * 1000.0);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}

bool writeSrt(const std::string& path, const std::vector<kvCue>& cues)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    int n = 0;
    for (const kvCue& c : cues)
        std::fprintf(f, "%d\n%s --> %s\n%s\n\n", ++n, srtTime(c.from).c_str(), srtTime(c.to).c_str(), c.text.c_str());
    return std::fclose(f) == 0;
}

} // namespace Korvell
