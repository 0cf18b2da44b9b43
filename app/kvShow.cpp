// The show: script, player, music and the show loop.
#include "app/kvShow.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cstdio>
#include <set>

#include "app/kvBaseGL.h"
#include "app/kvEncoderModule.h"
#include "app/kvFrameLoop.h"
#include "app/kvTimer.h"
#include "base/kvFiles.h"
#include "credits/kvCredits.h"
#include "render/kvRenderer.h"

namespace Korvell {

namespace {

long long stampOf(const std::string& file)
{
    struct stat st;
    if (stat(diskPath(file).c_str(), &st) != 0) return 0;
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000ll + st.st_mtim.tv_nsec;
}

const double kCreditsSeconds = kvCredits::kSeconds;

} // namespace

kvShow::kvShow(kvRenderer& renderer_, const std::string& script_, const std::string& text_)
    : renderer(renderer_), script(script_), text(text_), music(new kvBassPlay()), show(makeShow())
{
}

kvShow::~kvShow()
{
    g_currentItem = nullptr;
}

std::unique_ptr<kvScriptedShow> kvShow::makeShow()
{
    kvScriptedShow::Options options;
    options.noise = g_noiseEnabled;
    if (!text.empty()) options.log.clear();
    options.probeClip = [](const std::string& file, kvClipFacts* facts) { return probeClipInModule(file, facts, nullptr); };
    return std::unique_ptr<kvScriptedShow>(new kvScriptedShow(renderer, g_timer, options));
}

bool kvShow::load()
{
    if (!(text.empty() ? show->parse(script) : show->parseText(script, text))) return false;
    show->configure();
    loadMusic();
    return true;
}

std::vector<long long> kvShow::musicStampOf(const kvMusic& m) const
{
    std::vector<long long> stamps;
    for (const std::string& track : m.tracks) stamps.push_back(stampOf(track));
    return stamps;
}

void kvShow::loadMusic()
{
    musicStamp = musicStampOf(show->getMusic());
    kvScriptedShow* s = show.get();
    // In every log (each read writes its own), on stderr once.
    music->load(show->getMusic(), [s](const std::string& line, bool again) {
        s->getParser().logLine(line);
        if (!again) std::fprintf(stderr, "korvell: %s\n", line.c_str());
    });
    music->setEnd(musicEnd());
}

double kvShow::musicEnd() const
{
    const bool credits = creditsWanted && hasCredits();
    return show->getPlayer().getShowEnd() + (credits ? kCreditsSeconds : 0.0);
}

void kvShow::prepare(float start)
{
    show->prepare(g_app->getClientWidth(), g_app->getClientHeight(), start);
}

void kvShow::start(float start)
{
    music->playFrom(start > 0.0f ? start : 0.0f);
    if (start > 0.0f)
        g_timer.startAt(start);
    else
        g_timer.start();
    g_app->setPauseHandler([this](bool paused) {
        if (paused)
            music->pause();
        else
            music->resume();
    });
}

void kvShow::watchFiles()
{
    std::set<std::string> files = {script};
    for (const kvScriptedShow::NamedFile& f : show->namedFiles()) files.insert(f.path);
    if (!watcher.watch(files)) std::fprintf(stderr, "korvell: cannot watch the script's files for changes\n");
}

void kvShow::reload()
{
    const float now = g_timer.elapsed();
    std::unique_ptr<kvScriptedShow> fresh = makeShow();
    if (!fresh->parse(script)) {
        // The old show goes on; the log (written anew) and stderr say why.
        std::fprintf(stderr, "korvell: %s does not parse (line %d: %s); the show goes on as it was\n",
                     script.c_str(), fresh->getParser().getErrorLine(), fresh->getParser().getErrorText().c_str());
        return;
    }
    // Pictures decoded ahead may be of files that changed.
    renderer.dropPreloads();
    fresh->configure();
    g_currentItem = nullptr;
    const kvMusic oldMusic = show->getMusic();
    show = std::move(fresh);
    show->getPlayer().seekTo(now);
    // The music is read again only when its tracks or their files changed;
    // either way it goes on at the show's time.
    if (!(show->getMusic() == oldMusic) || musicStampOf(show->getMusic()) != musicStamp) {
        loadMusic();
        music->playFrom(now);
        if (g_timer.isPaused()) music->pause();
    } else {
        for (const std::string& line : music->problems()) show->getParser().logLine(line);
        music->setEnd(musicEnd());
    }
    watchFiles();
    std::fprintf(stderr, "korvell: %s read again at %.3f s\n", script.c_str(), static_cast<double>(now));
}

void kvShow::run(bool watch)
{
    if (watch) watchFiles();
    runFrameLoop(renderer, [this, watch]() {
        if (watch && watcher.changed(SDL_GetTicks())) reload();
        return step();
    });
}

bool kvShow::step()
{
    kvPlayer& player = show->getPlayer();
    if (g_previousRequested) player.requestPrevious();
    g_previousRequested = false;
    player.update();
    // Wherever Next, Previous or a reload put the clock, the music is there.
    music->follow(g_timer.elapsed());
    g_currentItem = player.getCurrent();
    return !player.isOver();
}

bool kvShow::hasCredits() const
{
    return text.empty() && kvCredits::anyPicture(show->getArchive());
}

void kvShow::endShow()
{
    g_currentItem = nullptr; // the window procedure must not reach a slide that is gone
    show->endPlayer();
    // The credits start on a running clock, so with the music playing.
    music->resume();
}

} // namespace Korvell
