// Script parser and parse log.
#include "script/kvParser.h"

#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/kvFiles.h"

#include "player/kvPlayer.h"
#include "script/kvTag.h"

namespace Korvell {

namespace {
const char* const kRoot = "korvell";
// Longer scripts are refused rather than read line by line for minutes.
const long long kMaxScriptBytes = 256ll << 20;

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The encoding a script is in when it is not UTF-8 (which expat is told
// to read whatever the script declares): a UTF-16 or UTF-32 byte order, or
// the XML declaration's encoding; "" for UTF-8 and its ASCII subset.
std::string foreignEncoding(const std::string& first)
{
    auto starts = [&](const char* bytes, size_t n) { return first.size() >= n && first.compare(0, n, bytes, n) == 0; };
    if (starts("\xFF\xFE\x00\x00", 4) || starts("\x00\x00\xFE\xFF", 4)) return "UTF-32";
    if (starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2) || starts("<\x00?\x00", 4) || starts("\x00<\x00?", 4))
        return "UTF-16";
    const size_t at = starts("\xEF\xBB\xBF", 3) ? 3 : 0;
    if (first.compare(at, 5, "<?xml") != 0) return std::string();
    const size_t end = first.find("?>", at);
    const size_t key = first.find("encoding", at);
    if (key == std::string::npos || (end != std::string::npos && key > end)) return std::string();
    size_t q = first.find_first_of("\"'", key);
    if (q == std::string::npos) return std::string();
    const size_t close = first.find(first[q], q + 1);
    if (close == std::string::npos) return std::string();
    const std::string name = first.substr(q + 1, close - q - 1);
    const std::string l = lower(name);
    return l == "utf-8" || l == "utf8" || l == "us-ascii" || l == "ascii" ? std::string() : name;
}

// Once per run: a show read again opens its log again.
bool g_logProblemSaid = false;
bool g_logMovedSaid = false;

// Where a log goes when the show's folder cannot hold it: Korvell's own
// folder under $XDG_STATE_HOME (~/.local/state), made if need be; "" when
// there is none.
std::string stateFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string base = state && *state == '/' ? state : home && *home ? std::string(home) + "/.local/state" : "";
    if (base.empty()) return std::string();
    const std::string folder = base + "/korvell";
    for (size_t at = 1; at != std::string::npos; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, folder.find('/', at + 1));
        mkdir(part.c_str(), 0700); // an existing one is fine
    }
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? folder : std::string();
}

// Whether the folder a file would be made in refuses it.
bool folderRefuses(const std::string& file)
{
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    return access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS || errno == EPERM);
}
} // namespace

kvParser::kvParser(const kvScriptContext& context_, const std::string& logFile)
    : context(context_), xmlParser(nullptr), logName(logFile), tags(new kvTagTree), currentTag(nullptr)
{
    xmlParser = XML_ParserCreate("UTF-8");
    if (xmlParser) {
        XML_SetElementHandler(xmlParser, onStartElement, onEndElement);
        XML_SetCharacterDataHandler(xmlParser, onCharacterData);
        XML_SetUserData(xmlParser, this);
    }
    openTags.push_back(nullptr);
    registerHandlers();
    if (!logFile.empty()) {
        log = openLogFile(logFile, &logProblem);
        // A folder that cannot be written (an installed demo, a shared
        // folder): the log goes to the state folder, and stderr says where.
        const std::string state = !log && folderRefuses(logFile) ? stateFolder() : std::string();
        if (!state.empty()) {
            const size_t slash = logFile.rfind('/');
            const std::string moved = state + "/" + (slash == std::string::npos ? logFile : logFile.substr(slash + 1));
            std::string why;
            log = openLogFile(moved, &why);
            if (log) {
                logName = moved;
                if (!g_logMovedSaid) std::fprintf(stderr, "korvell: the show's folder cannot be written: its log is %s\n", moved.c_str());
                g_logMovedSaid = true;
            }
        }
        if (!log && !g_logProblemSaid) {
            g_logProblemSaid = true;
            std::fprintf(stderr, "korvell: cannot write %s (%s): the show goes on without its log\n", logFile.c_str(),
                         logProblem.c_str());
        }
    }
    logLine("=== Korvell v1.0 LogFile ===");
    logLine("");
}

kvParser::~kvParser()
{
    if (xmlParser) XML_ParserFree(xmlParser);
    rootTags.clear();
    if (log) std::fclose(log);
}

void kvParser::registerHandlers()
{
    for (kvElement e : allElements())
        if (ruleOf(e).handler) handlers[ruleOf(e).name] = ruleOf(e).handler;
}

void kvParser::logLine(const std::string& line)
{
    if (!log) return;
    std::fputs(line.c_str(), log);
    std::fputc('\n', log);
    std::fflush(log);
}

std::string kvParser::failureMessage() const
{
    if (log) return "XML Parse failed! Check " + logName + " for details.";
    std::string where = scriptName;
    if (errorLine > 0) where += ", line " + std::to_string(errorLine);
    return "XML Parse failed! " + where + ": " + errorText + ". (No " + (logName.empty() ? "log" : logName)
           + " could be written" + (logProblem.empty() ? "" : ": " + logProblem) + ".)";
}

void kvParser::fail(unsigned long line, const std::string& text)
{
    errorLine = static_cast<int>(line);
    errorText = text;
    logLine("Parse error at line " + std::to_string(line) + ": " + text + ".");
    logLine("Parsing stopped due to errors!");
}

void kvParser::reportProblemsOf(kvPlayer& player)
{
    player.setProblemReporter([this](const std::string& line) {
        logLine(line);
        std::fprintf(stderr, "korvell: %s\n", line.c_str());
    });
}

bool kvParser::feed(const char* data, size_t length, bool final)
{
    // Lines beyond what one expat call takes go in pieces.
    const size_t kPiece = 1u << 30;
    while (length > kPiece) {
        if (XML_Parse(xmlParser, data, static_cast<int>(kPiece), 0) == XML_STATUS_ERROR) return false;
        data += kPiece;
        length -= kPiece;
    }
    return XML_Parse(xmlParser, data, static_cast<int>(length), final ? 1 : 0) != XML_STATUS_ERROR;
}

bool kvParser::parse(std::string fileName)
{
    scriptName = fileName;
    // Only a regular file: a folder opens like a file but never reads, a
    // FIFO or a device would block or never end.
    const int fd = openRegularFile(fileName, kMaxScriptBytes, nullptr, nullptr);
    FILE* file = fd >= 0 ? fdopen(fd, "r") : nullptr;
    if (!file) {
        if (fd >= 0) close(fd);
        errorText = "cannot be opened";
        logLine("IO Error: Cannot open XML file: " + fileName);
        return false;
    }
    return parseStream(file, fileName);
}

bool kvParser::parseText(const std::string& name, const std::string& text)
{
    scriptName = name;
    // A script Korvell made itself is read as a file would be, line by line.
    FILE* file = text.empty() ? nullptr : fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (!file) {
        errorText = "cannot be opened";
        logLine("IO Error: Cannot open XML file: " + name);
        return false;
    }
    return parseStream(file, name);
}

bool kvParser::parseStream(FILE* file, const std::string& fileName)
{
    struct Closer {
        FILE* f;
        char* line = nullptr;
        ~Closer()
        {
            std::fclose(f);
            std::free(line);
        }
    } closer{file};
    logLine("XML Parse log file for: " + fileName);
    logLine("XML Parser Initialized. Parsing started.");
    if (!xmlParser) {
        fail(1, "out of memory");
        return false;
    }
    // Scripts are read line by line, and what a line holds is the line's:
    // its errors are reported at it, and a text that runs on over a line
    // end is the next line's. Expat reads the lines faster in large pieces,
    // which gives the same tree unless a text runs over a line end or the
    // script has an error; then it is read again a line at a time.
    Pass pass = readLines(file, closer.line, fileName, true);
    if (pass == AGAIN) {
        restart();
        std::rewind(file);
        pass = readLines(file, closer.line, fileName, false);
    }
    return pass == DONE;
}

void kvParser::restart()
{
    tags.reset(new kvTagTree);
    rootTags.clear();
    openTags.assign(1, nullptr);
    currentTag = textTag = nullptr;
    textLine = 0;
    lineStarts.clear();
    lineCursor = 0;
    fed = 0;
    runsOverLine = false;
    XML_ParserReset(xmlParser, "UTF-8");
    XML_SetElementHandler(xmlParser, onStartElement, onEndElement);
    XML_SetCharacterDataHandler(xmlParser, onCharacterData);
    XML_SetUserData(xmlParser, this);
}

kvParser::Pass kvParser::readLines(FILE* file, char*& buffer, const std::string& fileName, bool inPieces)
{
    const size_t kPiece = 64u << 10;
    std::string pending;
    unsigned long lineNumber = 1;
    size_t capacity = 0;
    std::string encoding;
    for (;;) {
        // Lines of any length are read whole, so a long line neither
        // splits in two nor shifts the line numbers of the log.
        const ssize_t got = getline(&buffer, &capacity, file);
        if (got < 0 && std::ferror(file)) {
            if (inPieces) return AGAIN; // an earlier line's error comes first
            // A read error that is not the end of the file: say so rather
            // than report an XML error.
            logLine("IO Error: Cannot read XML file: " + fileName + " (line " + std::to_string(lineNumber) + ")");
            logLine("Parsing stopped due to errors!");
            errorLine = static_cast<int>(lineNumber);
            errorText = "cannot be read";
            return FAILED;
        }
        const char* line = got > 0 ? buffer : "";
        size_t size = got > 0 ? static_cast<size_t>(got) : 0;
        // The last line is the one that ends without a line end.
        const bool final = size == 0 || line[size - 1] != '\n';
        if (!final) --size;
        if (size > 0 && line[size - 1] == '\r') --size;
        if (lineNumber == 1) {
            encoding = foreignEncoding(std::string(line, size));
            // A UTF-16 script is not XML to a UTF-8 parser at all.
            if (encoding.compare(0, 4, "UTF-") == 0) {
                fail(1, "the script is in " + encoding + ", and Korvell reads UTF-8 scripts (save it as UTF-8)");
                return FAILED;
            }
        }
        // The line ends are not fed: expat sees the lines joined.
        const size_t length = strnlen(line, size);
        lineStarts.push_back(fed);
        fed += length;
        bool fedWell = true;
        if (!inPieces) {
            fedWell = feed(line, length, final);
        } else {
            pending.append(line, length);
            if (final || pending.size() >= kPiece) {
                fedWell = feed(pending.data(), pending.size(), final);
                pending.clear();
                if (!fedWell || runsOverLine) return AGAIN;
            }
        }
        if (!fedWell) {
            const std::string what = XML_ErrorString(XML_GetErrorCode(xmlParser));
            fail(lineNumber, encoding.empty() ? what
                                              : "the script declares the encoding " + encoding
                                                    + ", and Korvell reads UTF-8 scripts (save it as UTF-8)");
            return FAILED;
        }
        ++lineNumber;
        if (final) {
            logLine("Parsing finished. No errors occured! :-)");
            if (!encoding.empty())
                logLine("Warning: the script declares the encoding " + encoding + "; it is read as UTF-8.");
            return DONE;
        }
    }
}

bool kvParser::configure()
{
    logLine("Executing script file and configuring the player...");
    unsigned ignored = 0;
    for (kvTag* tag : rootTags) {
        auto it = handlers.find(tag->getName());
        if (it == handlers.end()) {
            logLine("Warning: " + tag->getName() + " is unknown XML tag! Ignored.");
            ++ignored;
            continue;
        }
        it->second(context, tag);
    }
    logLine("Configuration finished. " + std::to_string(ignored) + " tag(s) ignored.");
    return true;
}

void XMLCALL kvParser::onStartElement(void* userData, const XML_Char* name, const XML_Char** attributes)
{
    kvParser* self = static_cast<kvParser*>(userData);
    if (std::strcmp(name, kRoot) == 0) return;
    kvTag* tag = self->tags->add(name, self->openTags.back(), attributes);
    tag->setLine(self->currentLine());
    if (!tag->getParent()) self->rootTags.push_back(tag);
    self->openTags.push_back(tag);
    self->currentTag = tag;
}

void XMLCALL kvParser::onEndElement(void* userData, const XML_Char* name)
{
    kvParser* self = static_cast<kvParser*>(userData);
    if (std::strcmp(name, kRoot) == 0) return;
    // The null bottom entry stays for the whole run.
    if (self->openTags.size() > 1) self->openTags.pop_back();
    self->currentTag = nullptr;
}

int kvParser::currentLine()
{
    const XML_Index at = XML_GetCurrentByteIndex(xmlParser);
    if (at < 0) return 0;
    const uint64_t byte = static_cast<uint64_t>(at);
    // Expat moves forward through the text: the line found last is where
    // the search starts, and it seldom has far to go.
    size_t line = lineCursor;
    if (line >= lineStarts.size() || lineStarts[line] > byte) {
        auto it = std::upper_bound(lineStarts.begin(), lineStarts.end(), byte);
        line = it == lineStarts.begin() ? 0 : static_cast<size_t>(it - lineStarts.begin()) - 1;
    }
    while (line + 1 < lineStarts.size() && lineStarts[line + 1] <= byte) ++line;
    lineCursor = line;
    return static_cast<int>(line + 1);
}

void XMLCALL kvParser::onCharacterData(void* userData, const XML_Char* characters, int length)
{
    kvParser* self = static_cast<kvParser*>(userData);
    if (self->rootTags.empty() || !self->currentTag) return;
    // Within a line, the runs around an entity, a character reference or
    // CDATA are one text ("Fish &amp; chips"); a later line's text replaces
    // an earlier line's, as scripts have always been read.
    const int line = self->currentLine();
    // Read in pieces, a text over a line end is one run here; read a line
    // at a time it would be two.
    const size_t next = static_cast<size_t>(line);
    if (next < self->lineStarts.size()
        && self->lineStarts[next] < static_cast<uint64_t>(XML_GetCurrentByteIndex(self->xmlParser))
                                        + static_cast<uint64_t>(XML_GetCurrentByteCount(self->xmlParser)))
        self->runsOverLine = true;
    if (line == self->textLine && self->textTag == self->currentTag)
        self->currentTag->appendText(characters, static_cast<size_t>(length));
    else
        self->currentTag->assignText(characters, static_cast<size_t>(length));
    self->textTag = self->currentTag;
    self->textLine = line;
}

} // namespace Korvell
