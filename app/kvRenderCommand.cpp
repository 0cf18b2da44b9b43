// `korvell --render FILE`: the show (and the credits) drawn offscreen at a
// stepped clock, read back and encoded. The GL context comes from SDL's
// offscreen video driver on Mesa's EGL: no window, no display needed.
// Nothing the show reads is ever written over, an existing output is
// replaced only when it is what Korvell writes, and every file is written
// under a name of its own and renamed only when it is complete.
#include "app/kvRenderCommand.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/kvBaseGL.h"
#include "app/kvEncoderModule.h"
#include "app/kvMusicTrack.h"
#include "app/kvSignals.h"
#include "base/kvFiles.h"
#include "base/kvPartialFile.h"
#include "base/kvQuote.h"
#include "credits/kvCredits.h"
#include "export/kvEncoder.h"
#include "export/kvRenderLoop.h"
#include "export/kvSteppedClock.h"
#include "export/kvSubtitleCues.h"
#include "player/kvPlayer.h"
#include "render/kvFrameReader.h"
#include "render/kvRenderGL.h"
#include "render/kvRenderer.h"
#include "script/kvScriptedShow.h"
#include "sound/kvMixer.h"

namespace Korvell {

namespace {

// The longest video a render makes: a show timed beyond it (a slide of
// 1e30 s) ends there rather than fill the disk.
const double kMaxVideoSeconds = 24.0 * 3600.0;

class GLGrabber : public kvFrameGrabber {
public:
    GLGrabber(int w, int h) : reader(w, h) {}
    const uint8_t* previous(int* stride) override { return reader.previous(stride); }
    void queue() override { reader.queue(); }
    const uint8_t* flush(int* stride) override { return reader.last(stride); }

private:
    kvFrameReader reader;
};

// Progress on a terminal: percent, frames, speed, time left.
class Progress {
public:
    Progress(long long total_, int fps_, bool show_) : total(total_), fps(fps_), show(show_ && isatty(2))
    {
        begun = std::chrono::steady_clock::now();
    }
    void update(long long done)
    {
        if (!show) return;
        done = std::min(done, total);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        if (done < total && seconds - shownAt < 0.25) return;
        shownAt = seconds;
        const double speed = seconds > 0 ? static_cast<double>(done) / fps / seconds : 0.0;
        const double left = speed > 0 ? static_cast<double>(total - done) / fps / speed : 0.0;
        std::fprintf(stderr, "\rkorvell: %3lld%%  %lld/%lld frames  %.1fx real time  %d:%02d left ",
                     total > 0 ? done * 100 / total : 100, done, total, speed, static_cast<int>(left) / 60,
                     static_cast<int>(left) % 60);
        if (done >= total) std::fprintf(stderr, "\n");
    }

private:
    long long total;
    int fps;
    bool show;
    std::chrono::steady_clock::time_point begun;
    double shownAt = -1.0;
};

int say(const std::string& text, int code)
{
    std::fprintf(stderr, "korvell: %s\n", text.c_str());
    return quitSignal() ? signalExitCode(quitSignal()) : code;
}

std::string firstBytes(const std::string& path, size_t n)
{
    const int fd = openRegularFile(path, 1ll << 62, nullptr, nullptr);
    if (fd < 0) return std::string();
    std::string out(n, '\0');
    const ssize_t got = pread(fd, &out[0], n, 0);
    close(fd);
    out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return out;
}

} // namespace

bool isKorvellVideo(const std::string& path)
{
    const std::string b = firstBytes(path, 12);
    if (b.size() >= 4 && b.compare(0, 4, "\x1A\x45\xDF\xA3") == 0) return true; // Matroska, WebM
    if (b.size() < 12 || b.compare(4, 4, "ftyp") != 0) return false;
    // MP4's own brands; a HEIC or AVIF picture is an ftyp file too.
    const std::string brand = b.substr(8, 4);
    for (const char* ours : {"isom", "iso2", "iso4", "iso5", "iso6", "mp41", "mp42", "avc1", "M4V "})
        if (brand == ours) return true;
    return false;
}

bool isSubRipFile(const std::string& path)
{
    std::string b = firstBytes(path, 64);
    if (b.compare(0, 3, "\xEF\xBB\xBF") == 0) b.erase(0, 3);
    size_t i = b.find_first_not_of("\r\n");
    if (i == std::string::npos) return true; // empty or blank lines only
    size_t digits = 0;
    while (i < b.size() && b[i] >= '0' && b[i] <= '9') ++i, ++digits;
    return digits > 0 && i < b.size() && (b[i] == '\n' || b[i] == '\r');
}

kvOutputCheck checkOutput(const std::string& path, const std::string& option, bool force,
                          bool (*isOurs)(const std::string&))
{
    kvOutputCheck c;
    c.target = path;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        // A new file: its folder must be there.
        const size_t slash = path.rfind('/');
        const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
        if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            c.code = 1;
            c.error = "cannot write " + path + ": there is no folder " + folder;
        }
        return c;
    }
    if (S_ISLNK(st.st_mode)) {
        // Written through the link, as any program writing a file would.
        char* real = realpath(path.c_str(), nullptr);
        if (!real) {
            c.code = 2;
            c.error = option + " " + path + " is a link to nothing: not written";
            return c;
        }
        c.target = real;
        std::free(real);
        if (stat(c.target.c_str(), &st) != 0) st.st_mode = 0;
    }
    if (S_ISDIR(st.st_mode)) {
        c.code = 2;
        c.error = option + " " + path + " is a folder: name a file in it";
    } else if (!S_ISREG(st.st_mode)) {
        c.code = 2;
        c.error = option + " " + path + " is not a regular file: not written";
    } else if (!force && st.st_size > 0 && !isOurs(c.target)) {
        c.code = 2;
        c.error = path + " exists and is not a file Korvell writes with " + option
                  + ": not replaced (--force replaces it)";
    } else {
        c.replacing = true;
    }
    return c;
}

std::vector<kvShowInput> showInputs(const std::string& script, const kvScriptedShow& show)
{
    std::vector<kvShowInput> inputs = {{"the script", script}};
    for (const kvScriptedShow::NamedFile& f : show.namedFiles()) inputs.push_back({f.role, f.path});
    for (const std::string& name : kvCredits::pictureNames()) inputs.push_back({"the credits picture", diskPath(name)});
    return inputs;
}

int runRender(const kvCommandLine& cmd, const std::string& scriptPath, const std::string& made)
{
    installQuitSignals();
    // Names given relative to where Korvell was started, before the show's
    // folder becomes the working folder.
    const std::string file = absolutePath(cmd.renderFile);
    const std::string srt = absolutePath(cmd.srtFile);
    const std::string scriptFile = absolutePath(scriptPath);
    const kvOutputCheck video = checkOutput(file, "--render", cmd.force, isKorvellVideo);
    if (video.code) return say(video.error, video.code);
    kvOutputCheck subtitles;
    if (!srt.empty()) {
        subtitles = checkOutput(srt, "--srt", cmd.force, isSubRipFile);
        if (subtitles.code) return say(subtitles.error, subtitles.code);
    }
    const std::string script = made.empty() ? enterScriptFolder(scriptPath) : scriptPath;

    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::unique_ptr<kvBaseGL> app(new kvBaseGL());
    app->setMode(cmd.renderWidth, cmd.renderHeight, 0, false);
    app->setMaxSamples(cmd.samples);
    if (!app->createAppWindow("Korvell") || !app->initApi())
        return say("Cannot initialize API! (no offscreen OpenGL: Mesa's EGL is needed)", 1);
    kvRenderer& renderer = *app->getRenderer();
    // Every frame shows the clip frame due at its time: waited for, never dropped.
    static_cast<kvRenderGL&>(renderer).setClipsExact(true);
    const int w = cmd.renderWidth, h = cmd.renderHeight;
    const double start = cmd.hasStart ? cmd.start : 0.0;
    int code = 0;
    {
        kvSteppedClock showClock(cmd.fps, start);
        kvScriptedShow::Options options;
        options.noise = cmd.noise;
        if (!made.empty()) options.log.clear();
        options.probeClip = [](const std::string& f, kvClipFacts* facts) { return probeClipInModule(f, facts, nullptr); };
        kvScriptedShow show(renderer, showClock, options);
        if (!(made.empty() ? show.parse(script) : show.parseText(script, made))) return say(show.failureMessage(), 1);
        show.configure();
        // The credits only when there are credits pictures to show.
        const bool credits = cmd.credits && made.empty() && kvCredits::anyPicture(show.getArchive());

        // Before anything is drawn or written: no output is a file the
        // show reads, by whatever name it is reached.
        for (const kvShowInput& input : showInputs(made.empty() ? scriptFile : std::string(), show)) {
            for (const auto& out : {std::make_pair("--render", file), std::make_pair("--srt", srt)})
                if (sameFile(out.second, input.file))
                    return say(std::string(out.first) + " " + out.second + " would overwrite " + input.role + " "
                                   + quoted(input.file) + ": nothing was written",
                               2);
        }
        kvPartialFile partialVideo, partialSrt;
        std::string why;
        if (!partialVideo.begin(video.target, &why)) return say("cannot write " + file + ": " + why, 1);
        partialVideo.closeDescriptor(); // FFmpeg opens it by name
        if (!srt.empty() && !partialSrt.begin(subtitles.target, &why))
            return say("cannot write " + srt + ": " + why, 1);
        partialSrt.closeDescriptor();
        if (!cmd.quiet) {
            if (video.replacing) std::fprintf(stderr, "korvell: replacing %s\n", file.c_str());
            if (subtitles.replacing) std::fprintf(stderr, "korvell: replacing %s\n", srt.c_str());
        }

        show.prepare(w, h, static_cast<float>(start));
        kvPlayer& player = show.getPlayer();

        // How long the video runs, in whole frames from finite times: the
        // show from its start, then the credits.
        double showSeconds = player.getShowEnd() - start;
        if (!(showSeconds > 0.0)) showSeconds = 0.0;
        if (showSeconds > kMaxVideoSeconds) {
            std::fprintf(stderr, "korvell: the show lasts longer than 24 hours: the video ends at 24:00:00\n");
            showSeconds = kMaxVideoSeconds;
        }
        const long long showFrames = static_cast<long long>(std::ceil(showSeconds * cmd.fps));
        const long long creditFrames = credits ? 40LL * cmd.fps : 0;
        const long long total = showFrames + creditFrames;

        kvVideoSettings settings;
        settings.path = partialVideo.path();
        settings.container = cmd.container;
        settings.width = w;
        settings.height = h;
        settings.fps = cmd.fps;
        settings.encoder = cmd.encoder;
        // The music as live play mixes it, from the show's start time on;
        // a track that cannot be read is silent in its place.
        bool silenced = false;
        std::vector<std::unique_ptr<kvTrackReader>> tracks;
        for (const std::string& track : show.getMusic().tracks) {
            std::unique_ptr<kvTrackReader> sound = openMusicTrack(track, &why);
            if (!sound) {
                std::fprintf(stderr, "korvell: the music %s cannot be read: %s\n", quoted(track).c_str(), why.c_str());
                silenced = true;
            }
            tracks.push_back(std::move(sound));
        }
        kvMixer mixer(std::move(tracks), show.getMusic().crossfade, show.getMusic().fadeout);
        mixer.setEnd(player.getShowEnd() + (credits ? kvCredits::kSeconds : 0.0));
        for (kvVoice& v : openClipVoices(show.getMusic(), [](const std::string& line) {
                 std::fprintf(stderr, "korvell: %s\n", line.c_str());
             }))
            mixer.addVoice(std::move(v));
        long long mixed = std::llround(start * kOutputRate);
        if (mixer.playlist().total() > 0 || mixer.voiceCount() > 0)
            settings.audio = [&mixer, mixed](float* stereo, int frames) mutable {
                mixer.mix(mixed, frames, stereo);
                mixed += frames;
            };
        std::unique_ptr<kvEncoder> encoderModule = loadEncoder(&why);
        if (!encoderModule) return say("cannot render: " + why, 1);
        kvEncoder& encoder = *encoderModule;
        if (!encoder.open(settings, &why)) return say(why, 1);
        if (!encoder.note().empty()) std::fprintf(stderr, "korvell: %s\n", encoder.note().c_str());
        if (silenced && !encoder.hasAudio()) std::fprintf(stderr, "korvell: the video has no sound\n");
        if (!srt.empty() && !writeSrt(partialSrt.path(), subtitleCues(player, start))) {
            encoder.abort();
            return say("cannot write " + srt, 1);
        }

        Progress progress(total, cmd.fps, !cmd.quiet);
        long long done = 0;
        auto keepGoing = [&](long long frames) {
            progress.update(done + frames);
            return quitSignal() == 0;
        };
        GLGrabber grabber(w, h);
        // One frame of slack over the computed end: the player's own end,
        // on float times, may fall a frame either side of it.
        long long frames = renderScene(renderer, w, h, showClock, [&player]() {
            player.update();
            return !player.isOver();
        }, grabber, encoder, keepGoing, showFrames + 1);
        if (frames >= 0 && credits) {
            done = frames;
            show.endPlayer();
            kvSteppedClock creditsClock(cmd.fps);
            runCredits(renderer, creditsClock, [&](const std::function<bool()>& scene) {
                const long long more =
                    renderScene(renderer, w, h, creditsClock, scene, grabber, encoder, keepGoing, creditFrames + 1);
                frames = more < 0 ? -1 : frames + more;
            });
        }
        if (frames < 0) {
            if (quitSignal()) {
                encoder.abort();
                return say("rendering stopped", 1);
            }
            // The encoder stopped on an error of its own: its reason.
            encoder.finish(&why);
            return say("cannot write " + file + ": " + why, 1);
        }
        progress.update(total);
        if (!encoder.finish(&why)) return say("cannot write " + file + ": " + why, 1);
        if (!partialVideo.commit(&why)) return say("cannot name the video " + file + ": " + why, 1);
        if (!srt.empty() && !partialSrt.commit(&why)) {
            code = say("cannot name the subtitles " + srt + ": " + why, 1);
        } else if (!cmd.quiet && isatty(2)) {
            std::fprintf(stderr, "korvell: wrote %s (%lld frames, %s)\n", file.c_str(), frames,
                         encoder.hasAudio() ? "with the music" : "no music");
        }
        // The video is there, but not as the script asked: no success
        // unless silence was allowed.
        if (silenced && code == 0 && !cmd.allowSilent) {
            std::fprintf(stderr, "korvell: wrote %s without %s music (--allow-silent makes this no failure)\n",
                         file.c_str(), encoder.hasAudio() ? "all its" : "its");
            code = 1;
        }
    }
    app->releaseApi();
    app->destroyAppWindow();
    return code;
}

} // namespace Korvell
