// The show's one music track, on SDL2_mixer: output opened at 44100 Hz, a
// stream from a file played once from its start, stopped at teardown.
// Without a sound device or a readable file the show simply runs silent.
// Tracks are read only from regular files, through a reader that never
// reads past the size the file had when it was opened.
#pragma once

#include <string>

typedef struct _Mix_Music Mix_Music;

namespace Korvell {

class kvBassPlay {
public:
    kvBassPlay();
    ~kvBassPlay();

    // A later load replaces (and frees) the stream before it.
    bool loadStream(const std::string& file);
    // A track of a regular file of at most kMaxMusicBytes, opened without
    // blocking ('\\' separates folders too); null with the reason.
    static Mix_Music* openTrack(const std::string& file, std::string* reason);
    // A track's length in seconds (0 when its format does not tell), or
    // -1 with the reason. Needs no sound device: with none open, SDL's
    // silent driver decodes, and goes again afterwards.
    static double trackSeconds(const std::string& file, std::string* reason);
    void play();
    void stop();
    // Beyond the original player: Space pauses the show and its music, and
    // a show started later than 0 s starts its music there too.
    void pause();
    void resume();
    void playFrom(float seconds);

    bool isOutputOpen() const { return outputOpen; }
    bool hasStream() const { return stream != nullptr; }

private:
    kvBassPlay(const kvBassPlay&) = delete;
    kvBassPlay& operator=(const kvBassPlay&) = delete;

    Mix_Music* stream;
    bool outputOpen;
};

} // namespace Korvell
