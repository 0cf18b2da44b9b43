// The show's one music track, on SDL2_mixer: output opened at 44100 Hz, a
// stream from a file played once from its start, stopped at teardown.
// Without a sound device or a readable file the show simply runs silent.
#pragma once

#include <string>
#include <vector>

typedef struct _Mix_Music Mix_Music;

namespace Korvell {

class kvBassPlay {
public:
    kvBassPlay();
    ~kvBassPlay();

    bool loadStream(const std::string& file);
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
    // Streams replaced by a later load; never played, freed at the end.
    std::vector<Mix_Music*> replaced;
    bool outputOpen;
};

} // namespace Korvell
