// The show: script, player, music and the show loop.
#include "app/kvShow.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cstdio>
#include <set>

#include "app/kvBaseGL.h"
#include "app/kvFrameLoop.h"
#include "app/kvTimer.h"
#include "base/kvFiles.h"
#include "image/kvDataFile.h"
#include "render/kvRenderer.h"
#include "script/kvTag.h"

namespace Korvell {

namespace {

long long stampOf(const std::string& file)
{
    struct stat st;
    if (stat(file.c_str(), &st) != 0) return 0;
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000ll + st.st_mtim.tv_nsec;
}

} // namespace

kvShow::kvShow(kvRenderer& renderer_, const std::string& script_)
    : renderer(renderer_), script(script_), player(new kvPlayer(renderer_, g_timer)), music(new kvBassPlay())
{
}

kvShow::~kvShow()
{
    g_currentItem = nullptr;
}

std::unique_ptr<kvParser> kvShow::makeParser(kvPlayer& forPlayer, std::string* name, bool loadMusic)
{
    kvScriptContext context;
    context.player = &forPlayer;
    context.noiseEnabled = g_noiseEnabled;
    // The last music element names the track; read again, the show
    // decides afterwards whether the track changed.
    kvBassPlay* player_ = loadMusic ? music.get() : nullptr;
    context.loadMusic = [name, player_](const std::string& file) {
        *name = file;
        return player_ ? player_->loadStream(file) : true;
    };
    return std::unique_ptr<kvParser>(new kvParser(context));
}

bool kvShow::load()
{
    parser = makeParser(*player, &musicName, true);
    if (!parser->parse(script)) return false;
    parser->configure();
    musicStamp = stampOf(musicName);
    // A picture that cannot be shown is named in the log, and on stderr.
    parser->reportProblemsOf(*player);
    return true;
}

void kvShow::prepare(float start)
{
    // The view is known now: the first pictures are decoded for it.
    renderer.setupView(g_app->getClientWidth(), g_app->getClientHeight());
    player->prepare(start);
}

void kvShow::start(float start)
{
    if (start > 0.0f) {
        music->playFrom(start);
        g_timer.startAt(start);
    } else {
        music->play();
        g_timer.start();
    }
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
    for (const kvTag* tag : parser->getRootTags()) {
        const std::string name = tag->getName();
        if (name == "music" || name == "datafile") files.insert(diskPath(tag->getText()));
        const kvTag* file = name == "image" ? tag->findChild("file") : nullptr;
        if (file) files.insert(diskPath(file->getText()));
    }
    if (!watcher.watch(files)) std::fprintf(stderr, "korvell: cannot watch the script's files for changes\n");
}

void kvShow::reload()
{
    const float now = g_timer.elapsed();
    std::unique_ptr<kvPlayer> fresh(new kvPlayer(renderer, g_timer));
    std::string freshMusic;
    std::unique_ptr<kvParser> freshParser = makeParser(*fresh, &freshMusic, false);
    if (!freshParser->parse(script)) {
        // The old show goes on; the log (written anew) and stderr say why.
        std::fprintf(stderr, "korvell: %s does not parse (line %d: %s); the show goes on as it was\n",
                     script.c_str(), freshParser->getErrorLine(), freshParser->getErrorText().c_str());
        return;
    }
    // Pictures decoded ahead may be of files that changed; the archive is
    // opened again by the script's datafile element.
    renderer.dropPreloads();
    closeDataFile();
    freshParser->configure();
    g_currentItem = nullptr;
    player = std::move(fresh);
    parser = std::move(freshParser);
    parser->reportProblemsOf(*player);
    player->seekTo(now);
    // The music starts again only when it is another track or its file
    // changed; otherwise it plays on.
    const long long stamp = stampOf(freshMusic);
    if (freshMusic != musicName || stamp != musicStamp) {
        musicName = freshMusic;
        musicStamp = stamp;
        music->stop();
        if (!musicName.empty() && music->loadStream(musicName)) {
            music->playFrom(now);
            if (g_timer.isPaused()) music->pause();
        }
    }
    watchFiles();
    std::fprintf(stderr, "korvell: %s read again at %.3f s\n", script.c_str(), static_cast<double>(now));
}

void kvShow::run(bool watch)
{
    if (watch) watchFiles();
    runFrameLoop(renderer, [this, watch]() {
        if (watch && watcher.changed(SDL_GetTicks())) reload();
        if (g_previousRequested) player->requestPrevious();
        g_previousRequested = false;
        player->update();
        g_currentItem = player->getCurrent();
        return !player->isOver();
    });
}

void kvShow::endShow()
{
    g_currentItem = nullptr; // the window procedure must not reach a slide that is gone
    player.reset();
    // The credits start on a running clock, so with the music playing.
    music->resume();
}

} // namespace Korvell
