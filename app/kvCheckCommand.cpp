// The checker with the platform's answers: the picture decoder, the music
// decoder, fontconfig for faces.
#include "app/kvCheckCommand.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/kvEncoderModule.h"
#include "app/kvMusicTrack.h"
#include "base/kvFiles.h"
#include "credits/kvCredits.h"
#include "image/kvPictureDecoder.h"
#include "image/kvTexture.h"
#include "render/kvFont.h"
#include "script/kvChecker.h"
#include "sound/kvPlaylist.h"

namespace Korvell {

namespace {

std::string pictureProblem(const std::vector<uint8_t>& bytes, std::string* warning)
{
    // The smallest decode still reads the whole file, and its profile.
    kvTexture t;
    std::string why;
    if (!decodePicture(bytes, 1, 1, t, &why)) return why;
    *warning = why;
    return std::string();
}

std::string musicProblem(const std::string& file, double* seconds)
{
    // Told by decoding it all, not by its name.
    std::string why;
    std::unique_ptr<kvTrackReader> track = openMusicTrack(file, &why);
    if (!track || !track->decodesWhole(&why)) return why;
    *seconds = static_cast<double>(track->frames()) / kOutputRate;
    return std::string();
}

// Opened, and its first frame decoded, as the show would.
std::string clipProblem(const std::string& file, kvClipFacts* facts)
{
    std::string why;
    std::unique_ptr<kvClipDecoder> decoder = makeClipDecoderInModule(&why);
    if (!decoder) return why;
    if (!decoder->open(file, 64, 64, &why)) return why;
    kvClipFrame frame;
    if (!decoder->next(frame, &why)) return why.empty() ? "cannot be decoded: it holds no frame" : why;
    *facts = decoder->facts();
    return std::string();
}

} // namespace

int runCheck(const std::vector<std::string>& given)
{
    std::vector<std::string> scripts = given;
    if (scripts.empty()) {
        for (const char* name : {"english.xml", "polish.xml"}) {
            struct stat st;
            if (stat(name, &st) == 0) scripts.push_back(name);
        }
        if (scripts.empty()) {
            std::printf("english.xml:1: error: no such file (nor polish.xml)\n");
            return 2;
        }
    }
    kvCheckHooks hooks;
    hooks.pictureProblem = pictureProblem;
    hooks.musicProblem = musicProblem;
    hooks.drawnFace = kvFont::drawnFamily;
    hooks.undrawable = kvFont::undrawable;
    hooks.creditsPictures = kvCredits::anyPicture;
    hooks.creditsSeconds = kvCredits::kSeconds;
    hooks.clipProblem = clipProblem;
    char buffer[4096];
    const std::string home = getcwd(buffer, sizeof buffer) ? buffer : ".";
    int worst = 0;
    for (const std::string& script : scripts) {
        // In the script's folder, as the show would run it.
        const size_t slash = script.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : script.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? script : script.substr(slash + 1);
        std::vector<kvFinding> findings;
        if (chdir(folder.c_str()) != 0) {
            findings.push_back({1, true, "the script cannot be opened"});
        } else {
            findings = checkScript(name, hooks);
        }
        if (chdir(home.c_str()) != 0) return 2;
        for (const kvFinding& f : findings) {
            std::printf("%s\n", formatFinding(script, f).c_str());
            worst = std::max(worst, f.error ? 2 : f.note ? 0 : 1);
        }
    }
    std::fflush(stdout);
    return worst;
}

} // namespace Korvell
