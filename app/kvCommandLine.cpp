// Command-line parsing with getopt_long.
#include "app/kvCommandLine.h"

#include <getopt.h>

#include "export/kvEncoder.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace Korvell {

const char* const kUsage =
    "korvell [OPTIONS] FOLDER | PICTURE...  play the pictures and clips in a folder (or those named; one picture:\n"
    "                             its folder, starting with it), in the order taken, each over a blur of itself\n"
    "  -r, --recursive            the pictures in subfolders too\n"
    "  --order taken|name|random  by the time taken (the default), by name (img2 before img10), or shuffled\n"
    "  --seed N                   with --order random: the same N, the same order\n"
    "  --seconds N                each picture N seconds (default 5)\n"
    "  --fit blur|contain|cover|stretch  how each picture fills the screen (default blur)\n"
    "  --focus auto|none          each picture's crop and zoom aimed at the faces in it, or at its busiest part\n"
    "                             (the default), or centred\n"
    "  --music FILE               music under the show; given again, the tracks play one after another\n"
    "  --crossfade SECONDS        between two tracks of music (default 0: back to back)\n"
    "  --beats                    each change of picture on a beat of the music (each picture 2 to 10 s)\n"
    "  --fit-music                the seconds a picture chosen so that the show ends with its music (2 to 15 s)\n"
    "  --captions                 each photo's own description (EXIF, XMP or IPTC) as its subtitle\n"
    "  --clip-seconds N           a clip among the pictures plays at most its first N seconds (default 30)\n"
    "  --live-photos still|play   a Live Photo or Motion Photo shows its still (the default), or plays its\n"
    "                             moment first, muted, and then rests on the still\n"
    "korvell --new SCRIPT.xml [OPTIONS] [FOLDER | PICTURE...]\n"
    "                             write that show as a script to edit (default: the pictures in SCRIPT's folder);\n"
    "                             an existing SCRIPT is never replaced unless --force\n"
    "korvell                      the setup dialog, then english.xml or polish.xml in the working folder (unchanged)\n"
    "korvell [OPTIONS] [SCRIPT]   no dialog unless --setup; play SCRIPT (default: english.xml in the working folder)\n"
    "  --setup                    show the setup dialog anyway (its language choice applies only without SCRIPT)\n"
    "  --windowed                 play in a window (640 x 480 unless --mode gives the size)\n"
    "  --mode WxH[@HZ]            full-screen in that video mode (a real mode switch, tested as the dialog's is)\n"
    "                             without --mode and --windowed: full-screen on the desktop as it is, no mode switch\n"
    "  --noise                    allow the noise effect (as the dialog's Noise box)\n"
    "  --language english|polish  without SCRIPT: read polish.xml instead of english.xml\n"
    "  --start SECONDS            begin the show at that time: the slide showing then comes first\n"
    "  --watch                    when the script or a file it names changes, read it again and go on at the same time\n"
    "  --no-credits               end with the show (a show without its credits pictures always does)\n"
    "  --check                    check the script(s) instead of playing (exit 0: clean, 1: warnings, 2: errors)\n"
    "  --help, --version\n"
    "korvell --render FILE [--size WxH] [--fps N] [--no-credits] [--srt FILE.srt] [--quiet] [--samples N]\n"
    "               [--force] [--allow-silent] [--encoder E] [the play options] [SCRIPT | FOLDER | PICTURE...]\n"
    "  --render FILE              render the show to a video file instead of playing it: .mp4 or .mkv (H.264\n"
    "                             and AAC) or .webm (VP9 and Opus), frame n at n / fps, then the credits\n"
    "  --size WxH                 the video's size (default 1920x1080)\n"
    "  --fps N                    frames per second (default 30)\n"
    "  --srt FILE.srt             also write the subtitle lines as SubRip cues\n"
    "  --quiet                    no progress on stderr\n"
    "  --samples N                samples per pixel for smoother picture edges, up to N (default 0: none; text is\n"
    "                             smooth without); live too (default 8: on a software renderer such as llvmpipe\n"
    "                             --samples 0 draws a frame in a third of the time, and a clip keeps up)\n"
    "  --encoder x264|vaapi|nvenc H.264 by x264 (the default) or by the GPU through VAAPI or NVENC (x264, with a\n"
    "                             note, when that cannot be opened)\n"
    "  --allow-silent             exit 0 when the music cannot be read (the video is written without it; else 1)\n"
    "  --force                    replace an existing FILE (or FILE.srt) even when it is not a video (or SubRip)\n"
    "                             Korvell could have written; a file the show reads is never replaced\n";

namespace {

bool parseInt(const std::string& s, int& out)
{
    if (s.empty() || s.size() > 6) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    out = std::atoi(s.c_str());
    return true;
}

std::string lowerCase(std::string s)
{
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

// A number of seconds from `least` to `most`, written whole (no unit, no
// trailing text); false for anything else.
bool parseSeconds(const std::string& text, double least, double most, double* out)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !(v >= least && v <= most)) return false;
    *out = v;
    return true;
}

kvCommandLine bad(const std::string& why)
{
    kvCommandLine c;
    c.action = kvCommandLine::BAD;
    c.plain = false;
    c.error = why;
    return c;
}

} // namespace

bool parseMode(const std::string& text, int& width, int& height, int& rate)
{
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    const size_t at = text.find('@', x);
    rate = 0;
    if (!parseInt(text.substr(0, x), width)
        || !parseInt(text.substr(x + 1, at == std::string::npos ? std::string::npos : at - x - 1), height))
        return false;
    if (at != std::string::npos && (!parseInt(text.substr(at + 1), rate) || rate == 0)) return false;
    return width > 0 && height > 0;
}

kvCommandLine parseCommandLine(int argc, char** argv)
{
    kvCommandLine c;
    if (argc <= 1) return c;
    c.plain = false;
    enum { SETUP = 1000, WINDOWED, MODE, NOISE, LANGUAGE, START, WATCH, CHECK, HELP, VERSION, RENDER, SIZE, FPS,
           NO_CREDITS, SRT, QUIET, SAMPLES, FORCE, RECURSIVE = 'r', ORDER = 2000, SEED, SECONDS, FIT, MUSIC, FIT_MUSIC,
           CAPTIONS, NEW, CROSSFADE, BEATS, ALLOW_SILENT, ENCODER, CLIP_SECONDS, LIVE_PHOTOS, FOCUS };
    static const option options[] = {
        {"setup", no_argument, nullptr, SETUP},       {"windowed", no_argument, nullptr, WINDOWED},
        {"mode", required_argument, nullptr, MODE},   {"noise", no_argument, nullptr, NOISE},
        {"language", required_argument, nullptr, LANGUAGE}, {"start", required_argument, nullptr, START},
        {"watch", no_argument, nullptr, WATCH},       {"check", no_argument, nullptr, CHECK},
        {"help", no_argument, nullptr, HELP},         {"version", no_argument, nullptr, VERSION},
        {"render", required_argument, nullptr, RENDER}, {"size", required_argument, nullptr, SIZE},
        {"fps", required_argument, nullptr, FPS},     {"no-credits", no_argument, nullptr, NO_CREDITS},
        {"srt", required_argument, nullptr, SRT},     {"quiet", no_argument, nullptr, QUIET},
        {"samples", required_argument, nullptr, SAMPLES}, {"force", no_argument, nullptr, FORCE},
        {"recursive", no_argument, nullptr, RECURSIVE}, {"order", required_argument, nullptr, ORDER},
        {"seed", required_argument, nullptr, SEED},   {"seconds", required_argument, nullptr, SECONDS},
        {"fit", required_argument, nullptr, FIT},     {"music", required_argument, nullptr, MUSIC},
        {"fit-music", no_argument, nullptr, FIT_MUSIC}, {"captions", no_argument, nullptr, CAPTIONS},
        {"new", required_argument, nullptr, NEW},     {"crossfade", required_argument, nullptr, CROSSFADE},
        {"beats", no_argument, nullptr, BEATS},       {"allow-silent", no_argument, nullptr, ALLOW_SILENT},
        {"encoder", required_argument, nullptr, ENCODER},
        {"clip-seconds", required_argument, nullptr, CLIP_SECONDS},
        {"live-photos", required_argument, nullptr, LIVE_PHOTOS},
        {"focus", required_argument, nullptr, FOCUS},
        {nullptr, 0, nullptr, 0}};
    bool renderOnly = false; // an option that means something only with --render
    bool forced = false;
    bool checking = false;
    optind = 0; // a fresh scan (tests parse more than once)
    opterr = 0; // the reasons are ours
    for (;;) {
        const int o = getopt_long(argc, argv, "r", options, nullptr);
        // The element getopt has just read.
        const int previous = optind > 1 ? optind - 1 : 1;
        if (o == -1) break;
        const std::string arg = optarg ? optarg : "";
        switch (o) {
        case SETUP: c.setup = true; break;
        case WINDOWED: c.windowed = true; break;
        case NOISE: c.noise = true; break;
        case WATCH: c.watch = true; break;
        case CHECK: checking = true; break;
        case RENDER:
            c.container = containerFor(arg);
            if (c.container.empty())
                return bad("--render writes .mp4, .mkv or .webm files, not '" + arg + "'");
            c.renderFile = arg;
            break;
        case SIZE: {
            int rate = 0;
            if (!parseMode(arg, c.renderWidth, c.renderHeight, rate) || rate != 0 || c.renderWidth < 16
                || c.renderHeight < 16 || c.renderWidth > 8192 || c.renderHeight > 8192 || c.renderWidth % 2
                || c.renderHeight % 2)
                return bad("--size takes WxH with even sides from 16 to 8192 (such as 1280x720), not '" + arg + "'");
            renderOnly = true;
            break;
        }
        case FPS:
            if (!parseInt(arg, c.fps) || c.fps < 1 || c.fps > 240)
                return bad("--fps takes a whole number from 1 to 240, not '" + arg + "'");
            renderOnly = true;
            break;
        case NO_CREDITS: c.credits = false; break;
        case SRT:
            // The ending is asked for so that a forgotten name never makes
            // the next argument (the script, say) the file written.
            if (arg.size() < 5 || lowerCase(arg.substr(arg.size() - 4)) != ".srt" || arg.back() == '/')
                return bad("--srt takes a file name ending in .srt, not '" + arg + "'");
            c.srtFile = arg;
            renderOnly = true;
            break;
        case FORCE: c.force = true; forced = true; break;
        case RECURSIVE: c.recursive = true; c.pictureOptions = true; break;
        case ORDER:
            if (arg != "taken" && arg != "name" && arg != "random")
                return bad("--order takes taken, name or random, not '" + arg + "'");
            c.order = arg;
            c.pictureOptions = true;
            break;
        case SEED: {
            char* end = nullptr;
            errno = 0;
            const unsigned long long v = std::strtoull(arg.c_str(), &end, 10);
            if (arg.empty() || arg[0] == '-' || *end != '\0' || errno != 0)
                return bad("--seed takes a whole number, not '" + arg + "'");
            c.seed = v;
            c.hasSeed = true;
            c.pictureOptions = true;
            break;
        }
        case SECONDS: {
            double v = 0.0;
            if (!parseSeconds(arg, 0.5, 3600.0, &v))
                return bad("--seconds takes a number of seconds from 0.5 to 3600, not '" + arg + "'");
            c.seconds = static_cast<float>(v);
            c.hasSeconds = true;
            c.pictureOptions = true;
            break;
        }
        case FIT:
            if (arg != "stretch" && arg != "contain" && arg != "cover" && arg != "blur")
                return bad("--fit takes stretch, contain, cover or blur, not '" + arg + "'");
            c.fit = arg;
            c.pictureOptions = true;
            break;
        case MUSIC:
            if (arg.empty()) return bad("--music needs a file");
            c.music.push_back(arg);
            c.pictureOptions = true;
            break;
        case CLIP_SECONDS: {
            double v = 0.0;
            if (!parseSeconds(arg, 0.5, 86400.0, &v))
                return bad("--clip-seconds takes a number of seconds from 0.5 to 86400, not '" + arg + "'");
            c.clipSeconds = static_cast<float>(v);
            c.pictureOptions = true;
            break;
        }
        case FOCUS:
            if (arg != "auto" && arg != "none") return bad("--focus takes auto or none, not '" + arg + "'");
            c.focus = arg == "auto";
            c.pictureOptions = true;
            break;
        case LIVE_PHOTOS:
            if (arg != "still" && arg != "play") return bad("--live-photos takes still or play, not '" + arg + "'");
            c.livePhotosPlay = arg == "play";
            c.pictureOptions = true;
            break;
        case FIT_MUSIC: c.fitMusic = true; c.pictureOptions = true; break;
        case CAPTIONS: c.captions = true; c.pictureOptions = true; break;
        case BEATS: c.beats = true; c.pictureOptions = true; break;
        case ALLOW_SILENT: c.allowSilent = true; renderOnly = true; break;
        case ENCODER:
            if (arg != "x264" && arg != "vaapi" && arg != "nvenc")
                return bad("--encoder takes x264, vaapi or nvenc, not '" + arg + "'");
            c.encoder = arg;
            renderOnly = true;
            break;
        case CROSSFADE: {
            if (!parseSeconds(arg, 0.0, 60.0, &c.crossfade))
                return bad("--crossfade takes a number of seconds from 0 to 60, not '" + arg + "'");
            c.pictureOptions = true;
            break;
        }
        case NEW:
            // The ending is asked for, so that a picture named by mistake
            // is never the file written.
            if (arg.size() < 5 || lowerCase(arg.substr(arg.size() - 4)) != ".xml" || arg.back() == '/')
                return bad("--new takes a script name ending in .xml, not '" + arg + "'");
            c.newScript = arg;
            break;
        case QUIET: c.quiet = true; renderOnly = true; break;
        case SAMPLES:
            if (!parseInt(arg, c.samples) || c.samples > 16)
                return bad("--samples takes a whole number from 0 to 16, not '" + arg + "'");
            c.hasSamples = true;
            break;
        case HELP: c.action = kvCommandLine::HELP; return c;
        case VERSION: c.action = kvCommandLine::VERSION; return c;
        case MODE:
            if (!parseMode(arg, c.modeWidth, c.modeHeight, c.modeRate))
                return bad("--mode takes WxH or WxH@HZ (such as 1024x768@60), not '" + arg + "'");
            c.hasMode = true;
            break;
        case LANGUAGE:
            if (arg != "english" && arg != "polish")
                return bad("--language takes english or polish, not '" + arg + "'");
            c.language = arg;
            break;
        case START: {
            double s = 0.0;
            if (!parseSeconds(arg, 0.0, 1e7, &s)) return bad("--start takes a number of seconds, not '" + arg + "'");
            c.start = static_cast<float>(s);
            c.hasStart = true;
            break;
        }
        case ':':
            return bad(std::string(argv[previous]) + " needs a value");
        default: {
            const std::string given = previous < argc ? argv[previous] : "?";
            if (optopt && given.compare(0, 2, "--") != 0) return bad("unknown option '" + given + "'");
            // getopt reports an option that lacks its value as unknown too.
            for (const option* opt = options; opt->name; ++opt)
                if (given == std::string("--") + opt->name && opt->has_arg)
                    return bad(given + " needs a value");
            return bad("unknown option '" + given + "'");
        }
        }
    }
    for (int i = optind; i < argc; ++i) c.scripts.push_back(argv[i]);
    const bool rendering = !c.renderFile.empty(), writing = !c.newScript.empty();
    if (writing + rendering + checking > 1)
        return bad(writing ? "--new writes a script and plays nothing: check, play or render the script afterwards"
                           : "--check and --render cannot go together");
    c.action = writing ? kvCommandLine::NEW : rendering ? kvCommandLine::RENDER : checking ? kvCommandLine::CHECK
                                                                                        : kvCommandLine::PLAY;
    if (renderOnly && !rendering)
        return bad("--size, --fps, --srt, --quiet, --encoder and --allow-silent go with --render");
    if (forced && !rendering && !writing) return bad("--force goes with --render or --new");
    if (c.hasSeed && c.order != "random") return bad("--seed goes with --order random");
    if (c.fitMusic && c.hasSeconds) return bad("--fit-music chooses the seconds: leave out --seconds");
    if (c.fitMusic && c.music.empty()) return bad("--fit-music needs --music");
    if (c.beats && c.music.empty()) return bad("--beats needs --music");
    if (c.beats && (c.fitMusic || c.hasSeconds)) return bad("--beats chooses the seconds: leave out --seconds and --fit-music");
    if (c.pictureOptions && checking) return bad("--check checks scripts: write one from pictures with --new first");
    return c;
}

} // namespace Korvell
