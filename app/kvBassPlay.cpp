// Music through SDL2_mixer.
#include "app/kvBassPlay.h"

#include <SDL.h>
#include <SDL_mixer.h>

namespace Korvell {

kvBassPlay::kvBassPlay() : stream(nullptr), outputOpen(false)
{
    if (SDL_WasInit(SDL_INIT_AUDIO) || SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        outputOpen = Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) == 0;
        if (!outputOpen) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

kvBassPlay::~kvBassPlay()
{
    if (stream) {
        Mix_HaltMusic();
        Mix_FreeMusic(stream);
        stream = nullptr;
    }
    for (Mix_Music* m : replaced) Mix_FreeMusic(m);
    replaced.clear();
    if (outputOpen) {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        outputOpen = false;
    }
}

bool kvBassPlay::loadStream(const std::string& file)
{
    if (!outputOpen) return false;
    // A later load replaces the stream even when it fails: the last music
    // element decides.
    Mix_Music* music = Mix_LoadMUS(file.c_str());
    if (stream) replaced.push_back(stream);
    stream = music;
    return music != nullptr;
}

void kvBassPlay::play()
{
    if (stream) Mix_PlayMusic(stream, 0);
}

void kvBassPlay::stop()
{
    if (stream) Mix_HaltMusic();
}

void kvBassPlay::pause()
{
    if (stream) Mix_PauseMusic();
}

void kvBassPlay::resume()
{
    if (stream) Mix_ResumeMusic();
}

void kvBassPlay::playFrom(float seconds)
{
    if (!stream) return;
    const double length = Mix_MusicDuration(stream);
    if (seconds > 0.0f && length > 0.0 && seconds >= length) return; // over by then
    Mix_PlayMusic(stream, 0);
    // A track that cannot be set to a time stays silent rather than play
    // from its start under the wrong pictures.
    if (seconds > 0.0f && Mix_SetMusicPosition(static_cast<double>(seconds)) != 0) Mix_HaltMusic();
}

} // namespace Korvell
