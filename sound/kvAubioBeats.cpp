// The beat finder of korvell-beats.so: aubio's beat tracker, and onsets
// where the sound's energy jumps (aubio's own onset detector reports none
// in the version Debian ships), their times merged. Only the module links
// aubio.
#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>

#include "sound/kvBeatFinder.h"

namespace Korvell {

namespace {

const unsigned kWindow = 1024, kHop = 512;
// Onsets: a 256-sample piece at least 8 times (9 dB) the mean energy of
// the eight before it, louder than -45 dBFS, 100 ms after the last.
const int kPiece = 256, kHistory = 8;
const double kRise = 8.0, kFloor = 3.2e-5, kGap = 0.1;

class kvAubioBeats : public kvBeatFinder {
public:
    explicit kvAubioBeats(int rate_)
        : rate(rate_), tempo(new_aubio_tempo("default", kWindow, kHop, static_cast<uint_t>(rate_))), hop(new_fvec(kHop)),
          out(new_fvec(1))
    {
    }
    ~kvAubioBeats() override
    {
        if (tempo) del_aubio_tempo(tempo);
        if (hop) del_fvec(hop);
        if (out) del_fvec(out);
    }
    bool ready() const { return tempo && hop && out; }

    void feed(const float* mono, int frames) override
    {
        for (int i = 0; i < frames; ++i) {
            energy += static_cast<double>(mono[i]) * mono[i];
            if (++inPiece == kPiece) pieceDone();
            hop->data[filled++] = mono[i];
            if (filled < kHop) continue;
            filled = 0;
            aubio_tempo_do(tempo, hop, out);
            if (out->data[0] != 0.0f) found.push_back(aubio_tempo_get_last_s(tempo));
        }
    }

    std::vector<double> beats() const override
    {
        std::vector<double> sorted = found;
        std::sort(sorted.begin(), sorted.end());
        // A beat and an onset at one moment are one time (the earlier).
        std::vector<double> merged;
        for (double t : sorted)
            if (t >= 0.0 && (merged.empty() || t - merged.back() > 0.05)) merged.push_back(t);
        return merged;
    }

private:
    void pieceDone()
    {
        const double mean = energy / kPiece;
        double before = 0.0;
        for (double e : history) before += e;
        before /= kHistory;
        const double at = static_cast<double>(pieces) * kPiece / rate;
        if (history.size() == static_cast<size_t>(kHistory) && mean > kFloor && mean > kRise * before
            && at - lastOnset >= kGap) {
            found.push_back(at);
            lastOnset = at;
        }
        history.push_back(mean);
        if (history.size() > static_cast<size_t>(kHistory)) history.erase(history.begin());
        ++pieces;
        energy = 0.0;
        inPiece = 0;
    }

    int rate;
    aubio_tempo_t* tempo;
    fvec_t* hop;
    fvec_t* out;
    unsigned filled = 0;
    std::vector<double> found;
    double energy = 0.0, lastOnset = -1.0;
    int inPiece = 0;
    long long pieces = 0;
    std::vector<double> history;
};

} // namespace

} // namespace Korvell

extern "C" __attribute__((visibility("default"))) Korvell::kvBeatFinder* korvell_make_beat_finder(int rate)
{
    Korvell::kvAubioBeats* finder = new Korvell::kvAubioBeats(rate);
    if (finder->ready()) return finder;
    delete finder;
    return nullptr;
}
