// Music through SDL2_mixer.
#include "app/kvBassPlay.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/kvFiles.h"

namespace Korvell {

namespace {

// An SDL_RWops over a descriptor, bounded to the size the file had when it
// was opened: a file that grows while it plays is never read past that.
struct BoundedFile {
    int fd;
    Sint64 size;
    Sint64 pos;
};

BoundedFile* fileOf(SDL_RWops* rw) { return static_cast<BoundedFile*>(rw->hidden.unknown.data1); }

Sint64 SDLCALL sizeOf(SDL_RWops* rw) { return fileOf(rw)->size; }

Sint64 SDLCALL seekIn(SDL_RWops* rw, Sint64 offset, int whence)
{
    BoundedFile* f = fileOf(rw);
    const Sint64 from = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? f->pos : f->size;
    const Sint64 to = from + offset;
    if (to < 0) return SDL_SetError("seek before the start");
    f->pos = to;
    return to;
}

size_t SDLCALL readFrom(SDL_RWops* rw, void* into, size_t size, size_t count)
{
    BoundedFile* f = fileOf(rw);
    if (size == 0 || f->pos >= f->size) return 0;
    size_t want = size * count;
    if (count != 0 && want / count != size) return 0;
    want = static_cast<size_t>(std::min<Sint64>(static_cast<Sint64>(want), f->size - f->pos));
    size_t done = 0;
    while (done < want) {
        const ssize_t n = pread(f->fd, static_cast<char*>(into) + done, want - done, static_cast<off_t>(f->pos + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    f->pos += static_cast<Sint64>(done);
    return done / size;
}

size_t SDLCALL writeTo(SDL_RWops*, const void*, size_t, size_t)
{
    SDL_SetError("music is read only");
    return 0;
}

int SDLCALL closeFile(SDL_RWops* rw)
{
    BoundedFile* f = fileOf(rw);
    close(f->fd);
    delete f;
    SDL_FreeRW(rw);
    return 0;
}

SDL_RWops* openBounded(const std::string& file, std::string* reason)
{
    long long size = 0;
    const int fd = openRegularFile(diskPath(file), kMaxMusicBytes, &size, reason);
    if (fd < 0) return nullptr;
    SDL_RWops* rw = SDL_AllocRW();
    if (!rw) {
        close(fd);
        if (reason) *reason = "out of memory";
        return nullptr;
    }
    rw->type = SDL_RWOPS_UNKNOWN;
    rw->size = sizeOf;
    rw->seek = seekIn;
    rw->read = readFrom;
    rw->write = writeTo;
    rw->close = closeFile;
    rw->hidden.unknown.data1 = new BoundedFile{fd, static_cast<Sint64>(size), 0};
    return rw;
}

// The type a file's extension names, for the few kinds SDL_mixer cannot
// tell from their first bytes.
Mix_MusicType typeByName(const std::string& file)
{
    const size_t dot = file.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : file.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (ext == "mp3") return MUS_MP3;
    if (ext == "ogg" || ext == "oga") return MUS_OGG;
    if (ext == "opus") return MUS_OPUS;
    if (ext == "flac") return MUS_FLAC;
    if (ext == "wav") return MUS_WAV;
    if (ext == "mid" || ext == "midi") return MUS_MID;
    if (ext == "mod" || ext == "xm" || ext == "s3m" || ext == "it") return MUS_MOD;
    return MUS_NONE;
}

} // namespace

Mix_Music* kvBassPlay::openTrack(const std::string& file, std::string* reason)
{
    SDL_RWops* rw = openBounded(file, reason);
    if (!rw) return nullptr;
    // SDL_mixer owns the reader from here, and closes it with the track.
    Mix_Music* music = Mix_LoadMUSType_RW(rw, MUS_NONE, 1);
    const Mix_MusicType named = typeByName(file);
    if (!music && named != MUS_NONE && (rw = openBounded(file, reason)) != nullptr)
        music = Mix_LoadMUSType_RW(rw, named, 1);
    if (!music && reason) *reason = std::string("cannot be decoded: ") + Mix_GetError();
    return music;
}

double kvBassPlay::trackSeconds(const std::string& file, std::string* reason)
{
    bool opened = false;
    std::string driver;
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        // SDL reads the driver's name when the subsystem starts.
        const char* was = getenv("SDL_AUDIODRIVER");
        const bool had = was != nullptr;
        if (had) driver = was;
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        opened = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (had)
            setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
        else
            unsetenv("SDL_AUDIODRIVER");
        if (opened && Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            opened = false;
        }
        if (!opened) {
            if (reason) *reason = std::string("no sound output to decode it with: ") + SDL_GetError();
            return -1.0;
        }
    }
    double seconds = -1.0;
    if (Mix_Music* music = openTrack(file, reason)) {
        seconds = std::max(0.0, Mix_MusicDuration(music));
        Mix_FreeMusic(music);
    }
    if (opened) {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    return seconds;
}

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
    // element decides. The one it replaces goes now (SDL_mixer halts it
    // if it plays), so that a show read again a thousand times holds one.
    Mix_Music* music = openTrack(file, nullptr);
    if (stream) Mix_FreeMusic(stream);
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
