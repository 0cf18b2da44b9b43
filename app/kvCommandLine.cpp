// Command-line parsing with getopt_long.
#include "app/kvCommandLine.h"

#include <getopt.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace Korvell {

const char* const kUsage =
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
    "  --check                    check the script(s) instead of playing; see below\n"
    "  --help, --version\n";

namespace {

bool parseInt(const std::string& s, int& out)
{
    if (s.empty() || s.size() > 6) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    out = std::atoi(s.c_str());
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
    enum { SETUP = 1000, WINDOWED, MODE, NOISE, LANGUAGE, START, WATCH, CHECK, HELP, VERSION };
    static const option options[] = {
        {"setup", no_argument, nullptr, SETUP},       {"windowed", no_argument, nullptr, WINDOWED},
        {"mode", required_argument, nullptr, MODE},   {"noise", no_argument, nullptr, NOISE},
        {"language", required_argument, nullptr, LANGUAGE}, {"start", required_argument, nullptr, START},
        {"watch", no_argument, nullptr, WATCH},       {"check", no_argument, nullptr, CHECK},
        {"help", no_argument, nullptr, HELP},         {"version", no_argument, nullptr, VERSION},
        {nullptr, 0, nullptr, 0}};
    optind = 0; // a fresh scan (tests parse more than once)
    opterr = 0; // the reasons are ours
    for (;;) {
        const int o = getopt_long(argc, argv, "", options, nullptr);
        // The element getopt has just read.
        const int previous = optind > 1 ? optind - 1 : 1;
        if (o == -1) break;
        const std::string arg = optarg ? optarg : "";
        switch (o) {
        case SETUP: c.setup = true; break;
        case WINDOWED: c.windowed = true; break;
        case NOISE: c.noise = true; break;
        case WATCH: c.watch = true; break;
        case CHECK: c.action = kvCommandLine::CHECK; break;
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
            char* end = nullptr;
            errno = 0;
            const double s = std::strtod(arg.c_str(), &end);
            if (arg.empty() || *end != '\0' || errno != 0 || !std::isfinite(s) || s < 0.0 || s > 1e7)
                return bad("--start takes a number of seconds, not '" + arg + "'");
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
    if (c.action == kvCommandLine::PLAY && c.scripts.size() > 1)
        return bad("one SCRIPT to play, not " + std::to_string(c.scripts.size()));
    return c;
}

} // namespace Korvell
