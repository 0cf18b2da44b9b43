// Choosing the decoder of a music file.
#include "app/kvMusicTrack.h"

#include <cmath>

#include "app/kvEncoderModule.h"
#include "base/kvQuote.h"
#include "sound/kvSoundFile.h"

namespace Korvell {

std::unique_ptr<kvTrackReader> openMusicTrack(const std::string& file, std::string* reason)
{
    std::string why;
    std::unique_ptr<kvSoundFile> sound = kvSoundFile::open(file, &why);
    if (sound) return std::unique_ptr<kvTrackReader>(sound.release());
    // Only what libsndfile could read but not decode goes on: a missing
    // file, a folder or a FIFO is that whatever reads it.
    if (why.compare(0, 17, "cannot be decoded") != 0) {
        if (reason) *reason = why;
        return nullptr;
    }
    std::string other;
    std::unique_ptr<kvTrackReader> track = openTrackInModule(file, &other);
    // FFmpeg's reason when it knew the file for what it is, else libsndfile's.
    const bool known = other.compare(0, 17, "cannot be decoded") == 0 && other.find("FFmpeg reads either") == std::string::npos;
    if (!track && reason) *reason = known ? other : why;
    return track;
}

std::vector<kvVoice> openClipVoices(const kvMusic& music, const std::function<void(const std::string& line)>& report)
{
    std::vector<kvVoice> voices;
    for (const kvClipSound& clip : music.clips) {
        std::string why;
        kvVoice v;
        v.reader = openTrackInModule(clip.file, &why);
        if (!v.reader) {
            if (report) report("the sound of the clip " + quoted(clip.file) + " cannot be played: " + why);
            continue;
        }
        v.start = std::llround(clip.start * kOutputRate);
        v.from = std::llround(clip.from * kOutputRate);
        v.frames = std::llround(clip.seconds * kOutputRate);
        v.volume = clip.volume;
        v.duck = clip.duck;
        voices.push_back(std::move(v));
    }
    return voices;
}

} // namespace Korvell
