// The subtitle lines of a show as SubRip cues: each line with the span in
// which the show draws it (its share of its slide's time between the
// quiet delays), from the video's first frame at `start` show seconds.
#pragma once

#include <string>
#include <vector>

namespace Korvell {

class kvPlayer;

struct kvCue {
    double from = 0.0;
    double to = 0.0;
    std::string text; // UTF-8
};

std::vector<kvCue> subtitleCues(const kvPlayer& player, double start);
// "00:01:02,500" for 62.5 s.
std::string srtTime(double seconds);
// False when the file cannot be written.
bool writeSrt(const std::string& path, const std::vector<kvCue>& cues);

} // namespace Korvell
