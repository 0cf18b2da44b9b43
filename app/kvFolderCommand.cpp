// Folder shows: options to the show's script, and --new writing it.
#include "app/kvFolderCommand.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/kvEncoderModule.h"
#include "app/kvMusicTrack.h"
#include "base/kvFiles.h"
#include "base/kvPartialFile.h"
#include "base/kvQuote.h"
#include "image/kvFocusFinder.h"
#include "image/kvPreloader.h"
#include "image/kvTexture.h"
#include "render/kvFont.h"
#include "script/kvFolderShow.h"
#include "sound/kvBeatCuts.h"
#include "sound/kvMixer.h"

namespace Korvell {

namespace {

const float kLeastFittedSeconds = 2.0f, kMostFittedSeconds = 15.0f;

// "4 pictures and 2 clips"
std::string counted(const std::vector<kvPhoto>& photos)
{
    size_t clips = 0;
    for (const kvPhoto& p : photos) clips += p.clip ? 1 : 0;
    const size_t stills = photos.size() - clips;
    return std::to_string(stills) + (stills == 1 ? " picture" : " pictures")
           + (clips ? " and " + std::to_string(clips) + (clips == 1 ? " clip" : " clips") : std::string());
}

std::string duration(double seconds)
{
    const long long s = std::llround(seconds);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld", s / 60, s % 60);
    return buffer;
}

int say(const std::string& text, int code)
{
    std::fprintf(stderr, "korvell: %s\n", text.c_str());
    return code;
}

} // namespace

kvGatherOptions gatherOptionsOf(const kvCommandLine& cmd)
{
    kvGatherOptions o;
    o.recursive = cmd.recursive;
    o.captions = cmd.captions;
    o.order = cmd.order == "name" ? kvPhotoOrder::Name : cmd.order == "random" ? kvPhotoOrder::Random
                                                                               : kvPhotoOrder::Taken;
    o.seed = cmd.seed;
    if (o.order == kvPhotoOrder::Random && !cmd.hasSeed) {
        // A shuffle of its own each time, told so that it can be had again.
        o.seed = static_cast<uint64_t>(std::time(nullptr)) * 2654435761u ^ static_cast<uint64_t>(getpid());
        o.seed %= 1000000000ull;
        std::fprintf(stderr, "korvell: shuffled with --seed %llu\n", static_cast<unsigned long long>(o.seed));
    }
    return o;
}

namespace {

// Each picture's focus, found as a show would find it (a copy decoded for
// the finder, no larger); a second at a time, how far it has come.
std::vector<kvRegion> findRegions(const std::vector<kvPhoto>& photos)
{
    std::vector<kvRegion> regions(photos.size());
    size_t pictures = 0, done = 0;
    for (const kvPhoto& p : photos) pictures += p.clip ? 0 : 1;
    auto said = std::chrono::steady_clock::now();
    for (size_t i = 0; i < photos.size(); ++i) {
        if (photos[i].clip) continue;
        kvPictureRequest request;
        request.fileName = photos[i].path;
        request.neededWidth = request.neededHeight = kFocusSide;
        request.focus = true;
        kvTexture picture;
        std::string why;
        if (decodeRequest(request, picture, nullptr, &why)) regions[i] = picture.getFocus();
        ++done;
        const auto now = std::chrono::steady_clock::now();
        if (now - said >= std::chrono::seconds(1) && done < pictures) {
            std::fprintf(stderr, "korvell: looking for faces: %zu of %zu pictures\n", done, pictures);
            said = now;
        }
    }
    return regions;
}

} // namespace

bool makeFolderScript(const kvCommandLine& cmd, std::vector<kvPhoto> photos, const std::string& folder,
                      std::string* text, std::string* error, double* showSeconds)
{
    kvFolderShowOptions o;
    o.fit = cmd.fit;
    o.captions = cmd.captions;
    o.seconds = cmd.seconds;
    o.clipSeconds = cmd.clipSeconds;
    o.livePhotosPlay = cmd.livePhotosPlay;
    o.focus = cmd.focus;
    // The clips' and moments' seconds are theirs; the pictures share the rest.
    const std::vector<double> fixed = folderSlideLengths(photos, o);
    double fixedSeconds = 0.0;
    size_t pictures = 0;
    for (double f : fixed) {
        fixedSeconds += f;
        if (f <= 0.0) ++pictures;
    }
    const std::string face = kvFont::drawnFamily("Sans", false, false);
    if (!face.empty()) o.face = face;
    const auto named = [&folder](const std::string& path) {
        const std::string absolute = absolutePath(path);
        return folder.empty() ? absolute : relativePath(absolute, folder);
    };
    std::vector<std::unique_ptr<kvTrackReader>> tracks;
    for (const std::string& track : cmd.music) {
        const std::string unwritable = unwritableName(track);
        if (!unwritable.empty()) {
            *error = "the music " + quoted(track) + " cannot be named in a script: " + unwritable;
            return false;
        }
        if (cmd.fitMusic || cmd.beats) {
            std::string why;
            std::unique_ptr<kvTrackReader> file = openMusicTrack(track, &why);
            if (!file) {
                *error = "the music " + quoted(track) + ": " + why;
                return false;
            }
            tracks.push_back(std::move(file));
        }
        o.music.push_back(named(track));
    }
    o.musicCrossfade = cmd.crossfade;
    kvMixer mixer(std::move(tracks), cmd.crossfade, 0.0);
    const double musicSeconds = static_cast<double>(mixer.playlist().total()) / kOutputRate;
    if (cmd.beats && !photos.empty()) {
        std::string why;
        std::unique_ptr<kvBeatFinder> finder = loadBeatFinder(kOutputRate, &why);
        if (!finder) {
            *error = "--beats: " + why;
            return false;
        }
        // The music as the show plays it, in mono.
        const int kChunk = kOutputRate;
        std::vector<float> stereo(2 * kChunk), mono(kChunk);
        for (long long at = 0; at < mixer.playlist().total(); at += kChunk) {
            const int n = static_cast<int>(std::min<long long>(kChunk, mixer.playlist().total() - at));
            mixer.mix(at, n, stereo.data());
            for (int i = 0; i < n; ++i) mono[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
            finder->feed(mono.data(), n);
        }
        o.times = beatSlideTimes(finder->beats(), fixed.size(), musicSeconds, fixed);
    }
    if (cmd.fitMusic && pictures > 0) {
        const double each = std::max(0.0, musicSeconds - fixedSeconds) / static_cast<double>(pictures);
        o.seconds = static_cast<float>(std::min<double>(kMostFittedSeconds, std::max<double>(kLeastFittedSeconds, each)));
        if (each < kLeastFittedSeconds || each > kMostFittedSeconds)
            std::fprintf(stderr, "korvell: %zu pictures of %g s each (the %s) run %s, the music %s\n", pictures,
                         static_cast<double>(o.seconds), each < kLeastFittedSeconds ? "least" : "most",
                         duration(o.seconds * static_cast<double>(pictures) + fixedSeconds).c_str(),
                         duration(musicSeconds).c_str());
    }
    // A script for a person to edit names each picture's focus as found,
    // so it can be seen and moved.
    if (!folder.empty() && o.focus) o.regions = findRegions(photos);
    for (kvPhoto& p : photos) {
        p.path = named(p.path);
        if (!p.moment.empty()) p.moment = named(p.moment);
    }
    if (!folder.empty()) {
        o.comments = true;
        char date[32] = "";
        const time_t now = std::time(nullptr);
        struct tm t = {};
        if (localtime_r(&now, &t)) std::strftime(date, sizeof date, "%Y-%m-%d", &t);
        o.madeBy = "Made by Korvell on " + std::string(date) + " from " + counted(photos)
                   + "; SCRIPTING.md tells every element.";
    }
    *text = writeFolderScript(photos, o);
    if (showSeconds) {
        *showSeconds = 0.0;
        for (size_t n = 0; n < fixed.size(); ++n)
            *showSeconds += fixed[n] > 0.0 ? fixed[n] : n < o.times.size() && o.times[n] > 0.0 ? o.times[n] : o.seconds;
    }
    return true;
}

int runNew(const kvCommandLine& cmd)
{
    const std::string target = absolutePath(cmd.newScript);
    struct stat st;
    const bool exists = lstat(target.c_str(), &st) == 0;
    if (exists && !cmd.force)
        return say(cmd.newScript + " exists: nothing was written (--force replaces it)", 1);
    if (exists && !S_ISREG(st.st_mode))
        return say(cmd.newScript + " is not a file: nothing was written", 1);
    const std::string folder = realFolder(folderOf(target));
    struct stat fst;
    if (stat(folder.c_str(), &fst) != 0 || !S_ISDIR(fst.st_mode))
        return say("cannot write " + cmd.newScript + ": its folder does not exist", 1);

    const std::vector<std::string> names = cmd.scripts.empty() ? std::vector<std::string>{folder} : cmd.scripts;
    const kvShowSource source = gatherShow(names, gatherOptionsOf(cmd));
    if (source.kind == kvShowSource::BAD) return say(source.error, source.code);
    if (source.kind == kvShowSource::SCRIPT)
        return say(quoted(source.script) + " is neither a picture nor a folder", 2);
    if (exists) {
        for (const kvPhoto& p : source.photos)
            if (sameFile(p.path, target)) return say("--new " + cmd.newScript + " would overwrite the picture " + quoted(p.path), 1);
        for (const std::string& m : cmd.music)
            if (sameFile(m, target)) return say("--new " + cmd.newScript + " would overwrite the music " + quoted(m), 1);
    }
    std::string text, why;
    double each = 0.0; // the whole show's seconds
    if (!makeFolderScript(cmd, source.photos, folder, &text, &why, &each)) return say(why, 1);

    kvPartialFile partial;
    if (!partial.begin(target, &why)) return say("cannot write " + cmd.newScript + ": " + why, 1);
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(partial.descriptor(), text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return say("cannot write " + cmd.newScript + ": " + std::strerror(errno), 1);
        written += static_cast<size_t>(n);
    }
    if (!(exists ? partial.commit(&why) : partial.commitNew(&why)))
        return say("cannot write " + cmd.newScript + ": " + why + "; nothing was written", 1);
    std::printf("korvell: wrote %s: %s, %s. Play it with korvell %s; edit it while korvell --watch %s plays it\n",
                cmd.newScript.c_str(), counted(source.photos).c_str(), duration(each).c_str(), cmd.newScript.c_str(),
                cmd.newScript.c_str());
    return 0;
}

} // namespace Korvell
