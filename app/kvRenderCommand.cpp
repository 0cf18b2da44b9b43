// `korvell --render FILE`: the show (and the credits) drawn offscreen at a
// stepped clock, read back and encoded. The GL context comes from SDL's
// offscreen video driver on Mesa's EGL: no window, no display needed.
#include "app/kvRenderCommand.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/kvBaseGL.h"
#include "app/kvSignals.h"
#include "credits/kvCredits.h"
#include "export/kvRenderLoop.h"
#include "export/kvSteppedClock.h"
#include "export/kvSubtitleCues.h"
#include "export/kvVideoEncoder.h"
#include "image/kvDataFile.h"
#include "player/kvPlayer.h"
#include "render/kvFrameReader.h"
#include "render/kvRenderer.h"
#include "script/kvParser.h"

namespace Korvell {

namespace {

class GLGrabber : public kvFrameGrabber {
public:
    GLGrabber(int w, int h) : reader(w, h) {}
    const uint8_t* grab(int* stride) override { return reader.read(stride); }
    const uint8_t* flush(int* stride) override { return reader.last(stride); }

private:
    kvFrameReader reader;
};

std::string absolute(const std::string& path)
{
    if (path.empty() || path[0] == '/') return path;
    char buffer[4096];
    return std::string(getcwd(buffer, sizeof buffer) ? buffer : ".") + "/" + path;
}

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

int fail(const std::string& partial, const char* text, int code)
{
    if (!partial.empty()) std::remove(partial.c_str());
    std::fprintf(stderr, "korvell: %s\n", text);
    return quitSignal() ? signalExitCode(quitSignal()) : code;
}

} // namespace

int runRender(const kvCommandLine& cmd, const std::string& scriptPath)
{
    // Names given relative to where Korvell was started, before the show's
    // folder becomes the working folder.
    const std::string file = absolute(cmd.renderFile);
    const std::string partial = file + ".partial";
    const std::string srt = absolute(cmd.srtFile);
    FILE* probe = std::fopen(partial.c_str(), "wb");
    if (!probe) {
        std::fprintf(stderr, "korvell: cannot write %s: %s\n", partial.c_str(), std::strerror(errno));
        return 1;
    }
    std::fclose(probe);
    std::string script = scriptPath;
    const size_t slash = script.rfind('/');
    if (slash != std::string::npos && chdir(script.substr(0, slash + 1).c_str()) == 0) script = script.substr(slash + 1);

    installQuitSignals();
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::unique_ptr<kvBaseGL> app(new kvBaseGL());
    app->setMode(cmd.renderWidth, cmd.renderHeight, 0, false);
    app->setMaxSamples(cmd.samples);
    if (!app->createAppWindow("Korvell") || !app->initApi())
        return fail(partial, "Cannot initialize API! (no offscreen OpenGL: Mesa's EGL is needed)", 1);
    kvRenderer& renderer = *app->getRenderer();
    const int w = cmd.renderWidth, h = cmd.renderHeight;
    const double start = cmd.hasStart ? cmd.start : 0.0;

    {
        // The script's archive, if it opens one, is closed however this ends.
        struct ArchiveCloser {
            ~ArchiveCloser() { closeDataFile(); }
        } archiveCloser;
        kvSteppedClock showClock(cmd.fps, start);
        std::unique_ptr<kvPlayer> player(new kvPlayer(renderer, showClock));
        std::string music;
        kvScriptContext context;
        context.player = player.get();
        context.noiseEnabled = cmd.noise;
        context.loadMusic = [&music](const std::string& name) {
            music = name;
            return true;
        };
        kvParser parser(context);
        parser.reportProblemsOf(*player);
        if (!parser.parse(script)) {
            return fail(partial, "XML Parse failed! Check xmlparse.log for details.", 1);
        }
        parser.configure();
        renderer.setupView(w, h);
        player->prepare(static_cast<float>(start));

        // How long the video runs: the show from its start, then the credits.
        const int count = player->getItemCount();
        const double showEnd = count == 0 ? 0.0 : player->getItem(static_cast<unsigned>(count >= 2 ? count - 2 : 0))->endTime;
        const long long showFrames = static_cast<long long>(std::ceil(std::max(0.0, showEnd - start) * cmd.fps));
        const long long total = showFrames + (cmd.credits ? 40LL * cmd.fps : 0);

        kvVideoSettings settings;
        settings.path = partial;
        settings.container = cmd.container;
        settings.width = w;
        settings.height = h;
        settings.fps = cmd.fps;
        settings.music = music;
        settings.musicStart = start;
        kvVideoEncoder encoder;
        std::string error;
        if (!encoder.open(settings, &error)) {
            return fail(partial, error.c_str(), 1);
        }
        // As live, a show whose music cannot be read goes on silent; here
        // the video has no sound track, and the author is told.
        if (!music.empty() && !encoder.hasAudio())
            std::fprintf(stderr, "korvell: the music %s cannot be read: the video has no sound\n", music.c_str());
        if (!srt.empty() && !writeSrt(srt, subtitleCues(*player, start))) {
            encoder.abort();
            return fail(partial, ("cannot write " + srt).c_str(), 1);
        }

        Progress progress(total, cmd.fps, !cmd.quiet);
        long long done = 0;
        auto keepGoing = [&](long long frames) {
            progress.update(done + frames);
            return quitSignal() == 0;
        };
        GLGrabber grabber(w, h);
        long long frames = renderScene(renderer, w, h, showClock, [&player]() {
            player->update();
            return !player->isOver();
        }, grabber, encoder, keepGoing);
        if (frames >= 0 && cmd.credits) {
            done = frames;
            player.reset();
            kvSteppedClock creditsClock(cmd.fps);
            kvCredits credits(renderer, creditsClock);
            credits.loadCredits();
            const long long more = renderScene(renderer, w, h, creditsClock, [&credits]() {
                credits.drawCredits();
                return !credits.isOver();
            }, grabber, encoder, keepGoing);
            frames = more < 0 ? -1 : frames + more;
        }
        if (frames < 0) {
            encoder.abort();
            return fail(partial, quitSignal() ? "rendering stopped" : "encoding failed", 1);
        }
        progress.update(total);
        if (!encoder.finish(&error)) return fail(partial, error.c_str(), 1);
        if (std::rename(partial.c_str(), file.c_str()) != 0)
            return fail(partial, ("cannot name the video " + file + ": " + std::strerror(errno)).c_str(), 1);
        if (!cmd.quiet && isatty(2))
            std::fprintf(stderr, "korvell: wrote %s (%lld frames, %s)\n", file.c_str(), frames,
                         encoder.hasAudio() ? "with the music" : "no music");
    }
    app->releaseApi();
    app->destroyAppWindow();
    return 0;
}

} // namespace Korvell
