// The show's music, live: the playlist mixed at 48000 Hz into an SDL audio
// device, at the position the show's clock says. The device's thread reads
// the mix; it and the show's thread meet under one mutex, held briefly by
// either (the mix of one buffer, or a change). Without a sound device or a readable track the show runs silent.
#pragma once

#include <SDL_audio.h>

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sound/kvPlaylist.h"

namespace Korvell {

class kvMixer;

class kvBassPlay {
public:
    kvBassPlay();
    ~kvBassPlay();

    // Replaces the music with the script's (stopped until played). A track
    // that cannot be played is told to `report`, `again` when it was told
    // before in this program run; the others play. False when none can.
    bool load(const kvMusic& music, const std::function<void(const std::string& line, bool again)>& report);
    // Where the show ends, credits included: the music fades out before it.
    void setEnd(double seconds);

    void playFrom(double seconds);
    void stop();
    // Space pauses the show and its music; the credits resume it.
    void pause();
    void resume();
    // Called each frame with the show's time: after a jump of the clock
    // (Next, Previous, a reload) the music moves there; a drift below a
    // quarter of a second is let be, so the sound never stutters.
    void follow(double seconds);

    // What the last load told (its unplayable tracks), for a log written anew.
    const std::vector<std::string>& problems() const { return told; }
    bool isOutputOpen() const { return device != 0; }
    bool hasStream() const { return mixer != nullptr; }
    // Started and not paused.
    bool isPlaying() const;
    // The music's position in seconds (what the device plays next).
    double position() const;

private:
    kvBassPlay(const kvBassPlay&) = delete;
    kvBassPlay& operator=(const kvBassPlay&) = delete;
    static void SDLCALL fill(void* self, Uint8* stream, int bytes);

    SDL_AudioDeviceID device = 0;
    mutable std::mutex guard; // over what follows
    std::unique_ptr<kvMixer> mixer;
    long long at = 0;      // output frames; the device's thread moves it on
    bool started = false;  // by playFrom, until stop
    bool playing = false;  // started and not paused
    std::set<std::string> reported;
    std::vector<std::string> told;
};

} // namespace Korvell
