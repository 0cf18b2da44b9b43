// The music through an SDL audio device.
#include "app/kvBassPlay.h"

#include <SDL.h>

#include <cmath>
#include <cstring>

#include "app/kvMusicTrack.h"
#include "base/kvQuote.h"
#include "sound/kvMixer.h"

namespace Korvell {

namespace {

long long framesAt(double seconds)
{
    if (!(seconds > 0.0)) return 0;
    return std::llround(std::min(seconds, 1e7) * kOutputRate);
}

} // namespace

kvBassPlay::kvBassPlay()
{
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    SDL_AudioSpec want = {};
    want.freq = kOutputRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = fill;
    want.userdata = this;
    SDL_AudioSpec have = {};
    // SDL converts to what the device takes.
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    SDL_PauseAudioDevice(device, 0);
}

kvBassPlay::~kvBassPlay()
{
    if (device) {
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

void SDLCALL kvBassPlay::fill(void* self_, Uint8* stream, int bytes)
{
    kvBassPlay* self = static_cast<kvBassPlay*>(self_);
    const int frames = bytes / static_cast<int>(2 * sizeof(float));
    std::lock_guard<std::mutex> lock(self->guard);
    if (!self->playing || !self->mixer) {
        std::memset(stream, 0, static_cast<size_t>(bytes));
        return;
    }
    self->mixer->mix(self->at, frames, reinterpret_cast<float*>(stream));
    self->at += frames;
}

bool kvBassPlay::load(const kvMusic& music, const std::function<void(const std::string& line, bool again)>& report)
{
    std::unique_ptr<kvMixer> mix;
    std::vector<std::string> fresh;
    bool any = false;
    // Without a sound device nothing plays, but what could not is still told.
    if (!music.empty()) {
        std::vector<std::unique_ptr<kvTrackReader>> readers;
        for (const std::string& track : music.tracks) {
            std::string why;
            std::unique_ptr<kvTrackReader> file = openMusicTrack(track, &why);
            if (!file) {
                fresh.push_back("the music " + quoted(track) + " cannot be played: " + why);
                if (report) report(fresh.back(), !reported.insert(track).second);
            }
            any = any || file != nullptr;
            readers.push_back(std::move(file));
        }
        if (any && device) mix.reset(new kvMixer(std::move(readers), music.crossfade, music.fadeout));
    }
    // The clips' sounds over the music (or alone).
    if (!music.clips.empty() && device) {
        std::vector<kvVoice> voices = openClipVoices(music, [&](const std::string& line) {
            fresh.push_back(line);
            if (report) report(line, !reported.insert(line).second);
        });
        if (!voices.empty() && !mix) mix.reset(new kvMixer({}, 0.0, 0.0));
        for (kvVoice& v : voices) mix->addVoice(std::move(v));
    }
    {
        std::lock_guard<std::mutex> lock(guard);
        mixer.swap(mix);
        started = playing = false;
        at = 0;
    }
    told.swap(fresh);
    return any; // the old mixer goes here, outside the lock
}

void kvBassPlay::setEnd(double seconds)
{
    std::lock_guard<std::mutex> lock(guard);
    if (mixer) mixer->setEnd(seconds);
}

void kvBassPlay::playFrom(double seconds)
{
    std::lock_guard<std::mutex> lock(guard);
    at = framesAt(seconds);
    started = playing = true;
}

void kvBassPlay::stop()
{
    std::lock_guard<std::mutex> lock(guard);
    started = playing = false;
}

void kvBassPlay::pause()
{
    std::lock_guard<std::mutex> lock(guard);
    playing = false;
}

void kvBassPlay::resume()
{
    std::lock_guard<std::mutex> lock(guard);
    playing = started;
}

void kvBassPlay::follow(double seconds)
{
    std::lock_guard<std::mutex> lock(guard);
    const long long want = framesAt(seconds);
    // Paused, the music waits exactly where the show stands.
    if (!playing || std::llabs(want - at) > kOutputRate / 4) at = want;
}

bool kvBassPlay::isPlaying() const
{
    std::lock_guard<std::mutex> lock(guard);
    return playing;
}

double kvBassPlay::position() const
{
    std::lock_guard<std::mutex> lock(guard);
    return static_cast<double>(at) / kOutputRate;
}

} // namespace Korvell
