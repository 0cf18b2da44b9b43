// A show from its script.
#include "script/kvScriptedShow.h"

#include <cstdio>

#include "base/kvFiles.h"
#include "render/kvRenderer.h"
#include "script/kvSchema.h"
#include "script/kvTag.h"

namespace Korvell {

kvScriptedShow::kvScriptedShow(kvRenderer& renderer_, kvClock& clock, const Options& options_)
    : renderer(renderer_), options(options_), player(new kvPlayer(renderer_, clock))
{
    kvScriptContext context;
    context.player = player.get();
    context.archive = &archive;
    context.noiseEnabled = options.noise;
    context.probeClip = options.probeClip;
    context.setMusic = [this](const kvMusic& m) { music = m; };
    parser.reset(new kvParser(context, options.log));
}

kvScriptedShow::~kvScriptedShow()
{
    // The player's textures go before the archive they came from.
    player.reset();
    if (renderer.getPictureArchive() == &archive) renderer.setPictureArchive(nullptr);
}

bool kvScriptedShow::parse(const std::string& script) { return parser->parse(script); }

bool kvScriptedShow::parseText(const std::string& name, const std::string& text)
{
    return parser->parseText(name, text);
}

void kvScriptedShow::configure()
{
    if (options.reportProblems) parser->reportProblemsOf(*player);
    parser->configure();
    renderer.setPictureArchive(&archive);
    // The clips' sounds play over the music, wherever their slides are.
    music.clips = player->clipSounds();
    int line = 0;
    const std::string blind = whyNoPictureIsDrawn(&line);
    if (options.reportProblems && !blind.empty()) parser->logLine("Warning: " + blind);
}

std::string kvScriptedShow::whyNoPictureIsDrawn(int* line) const
{
    const vector2 size = player->getImageAreaSize();
    if (size.x != 0.0f && size.y != 0.0f) return std::string();
    const kvTag* area = nullptr;
    for (const kvTag* tag : parser->getRootTags())
        if (topLevelElement(tag->getName()) == kvElement::ImageArea) area = tag;
    *line = area ? area->getLine() : 1;
    if (!area) return "no picture will be drawn: the script has no <imagearea> (the rectangle pictures are drawn into)";
    char given[64];
    std::snprintf(given, sizeof given, "%g x %g", static_cast<double>(size.x), static_cast<double>(size.y));
    return std::string("no picture will be drawn: <imagearea> has no size (") + given + ")";
}

bool kvScriptedShow::load(const std::string& script)
{
    if (!parse(script)) return false;
    configure();
    return true;
}

std::vector<kvScriptedShow::NamedFile> kvScriptedShow::namedFiles() const
{
    std::vector<NamedFile> files;
    for (const kvTag* tag : parser->getRootTags()) {
        const kvElement element = topLevelElement(tag->getName());
        if (element == kvElement::Music) files.push_back({"the show's music", diskPath(tag->getText())});
        for (const kvTag* track : element == kvElement::Playlist ? children(tag, kvElement::Track)
                                                                 : std::vector<const kvTag*>())
            files.push_back({"the show's music", diskPath(track->getText())});
        if (element == kvElement::DataFile) files.push_back({"the show's archive", diskPath(tag->getText())});
        const kvTag* file = element == kvElement::Image ? child(tag, kvElement::File) : nullptr;
        if (file) files.push_back({"the picture", diskPath(file->getText())});
        const kvTag* clip = element == kvElement::Video ? child(tag, kvElement::VideoFile) : nullptr;
        if (clip) files.push_back({"the clip", diskPath(clip->getText())});
    }
    return files;
}

void kvScriptedShow::prepare(int clientWidth, int clientHeight, float start)
{
    // The view is known now: the first pictures are decoded for it.
    renderer.setupView(clientWidth, clientHeight);
    player->prepare(start);
}

} // namespace Korvell
