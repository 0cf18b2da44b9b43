// Script parser and parse log.
#include "script/kvParser.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

#include <cstdio>

#include "player/kvPlayer.h"
#include "script/kvHandlers.h"
#include "script/kvTag.h"

namespace Korvell {

namespace {
const char* const kRoot = "korvell";
}

kvParser::kvParser(const kvScriptContext& context_, const std::string& logFile)
    : context(context_), xmlParser(nullptr), currentTag(nullptr)
{
    xmlParser = XML_ParserCreate("UTF-8");
    if (xmlParser) {
        XML_SetElementHandler(xmlParser, onStartElement, onEndElement);
        XML_SetCharacterDataHandler(xmlParser, onCharacterData);
        XML_SetUserData(xmlParser, this);
    }
    openTags.push_back(nullptr);
    registerHandlers();
    // A log that cannot be created leaves the stream failed: writes are
    // dropped and nothing else changes.
    log.open(logFile.c_str(), std::ios::out | std::ios::trunc);
    logLine("=== Korvell v1.0 LogFile ===");
    logLine("");
}

kvParser::~kvParser()
{
    if (xmlParser) XML_ParserFree(xmlParser);
    for (kvTag* tag : rootTags) delete tag;
    rootTags.clear();
    log.close();
}

void kvParser::registerHandlers()
{
    handlers["viewport"] = handleViewport;
    handlers["imagearea"] = handleImageArea;
    handlers["image"] = handleImage;
    handlers["global"] = handleGlobal;
    handlers["subtitles"] = handleSubtitles;
    handlers["music"] = handleMusic;
    handlers["datafile"] = handleDataFile;
}

void kvParser::logLine(const std::string& line)
{
    log << line << '\n';
    log.flush();
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
    // A folder opens like a file but never reads; it cannot be a script.
    struct stat st;
    std::ifstream file;
    if (stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode)) file.open(fileName.c_str(), std::ios::in);
    if (!file.is_open()) {
        errorText = "cannot be opened";
        logLine("IO Error: Cannot open XML file: " + fileName);
        return false;
    }
    logLine("XML Parse log file for: " + fileName);
    logLine("XML Parser Initialized. Parsing started.");
    if (!xmlParser) {
        logLine("Parse error at line 1: out of memory.");
        logLine("Parsing stopped due to errors!");
        return false;
    }

    unsigned long lineNumber = 1;
    std::string line;
    for (;;) {
        // Lines of any length are read whole, so a long line neither
        // splits in two nor shifts the line numbers of the log.
        std::getline(file, line);
        const bool final = file.eof();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // The line ends are not fed: expat sees the lines joined.
        size_t length = strnlen(line.c_str(), line.size());
        lineStarts.push_back(fed);
        fed += length;
        if (!feed(line.data(), length, final)) {
            errorLine = static_cast<int>(lineNumber);
            errorText = XML_ErrorString(XML_GetErrorCode(xmlParser));
            logLine("Parse error at line " + std::to_string(lineNumber) + ": " + errorText + ".");
            logLine("Parsing stopped due to errors!");
            return false;
        }
        ++lineNumber;
        if (final) {
            logLine("Parsing finished. No errors occured! :-)");
            return true;
        }
        // A read error that is not the end of the file would otherwise read
        // empty lines for ever; say what happened instead of an XML error.
        if (file.fail()) {
            logLine("IO Error: Cannot read XML file: " + fileName + " (line " + std::to_string(lineNumber) + ")");
            logLine("Parsing stopped due to errors!");
            return false;
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
    kvTag* tag = new kvTag(name, self->openTags.back());
    const XML_Index at = XML_GetCurrentByteIndex(self->xmlParser);
    if (at >= 0) {
        auto it = std::upper_bound(self->lineStarts.begin(), self->lineStarts.end(), static_cast<uint64_t>(at));
        tag->setLine(static_cast<int>(it - self->lineStarts.begin()));
    }
    for (int i = 0; attributes[i] && attributes[i + 1]; i += 2) tag->setAttribute(attributes[i], attributes[i + 1]);
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

void XMLCALL kvParser::onCharacterData(void* userData, const XML_Char* characters, int length)
{
    kvParser* self = static_cast<kvParser*>(userData);
    if (self->rootTags.empty() || !self->currentTag) return;
    self->currentTag->setText(std::string(characters, static_cast<size_t>(length)));
}

} // namespace Korvell
