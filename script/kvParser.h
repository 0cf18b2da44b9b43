// Reads the script into a tree of kvTag (expat, fed line by line) and then
// executes it: each top-level element goes to the handler of its name.
// Everything is reported in "xmlparse.log", flushed line by line; that log
// is the only place script errors become visible.
#pragma once

#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <expat.h>

#include "script/kvSchema.h"
#include "script/kvScriptContext.h"
#include "script/kvTag.h"

namespace Korvell {

class kvParser {
public:
    // The log is opened without following a link and only as a regular
    // file; when it cannot be, the show goes on without it and stderr says
    // why, once. An empty name keeps no log.
    explicit kvParser(const kvScriptContext& context, const std::string& logFile = "xmlparse.log");
    ~kvParser();

    bool parse(std::string fileName);
    // A script given as text (one Korvell wrote itself), named `name` in
    // the log and in errors.
    bool parseText(const std::string& name, const std::string& text);
    bool configure();

    const std::vector<kvTag*>& getRootTags() const { return rootTags; }
    // One line to the parse log, flushed at once (the show reports the
    // pictures it cannot show here too).
    void logLine(const std::string& line);
    // The player's pictures that cannot be shown go to this log and to
    // stderr.
    void reportProblemsOf(kvPlayer& player);
    // After a failed parse: the line and expat's text of the error.
    int getErrorLine() const { return errorLine; }
    const std::string& getErrorText() const { return errorText; }
    // Whether the log is being written, and why not.
    bool hasLog() const { return log != nullptr; }
    const std::string& getLogProblem() const { return logProblem; }
    // What the error box says after a failed parse: the log's pointer when
    // there is a log, else the error itself.
    std::string failureMessage() const;

    static void XMLCALL onStartElement(void* userData, const XML_Char* name, const XML_Char** attributes);
    static void XMLCALL onEndElement(void* userData, const XML_Char* name);
    static void XMLCALL onCharacterData(void* userData, const XML_Char* characters, int length);

private:
    kvParser(const kvParser&) = delete;
    kvParser& operator=(const kvParser&) = delete;
    void registerHandlers();
    bool feed(const char* data, size_t length, bool final);
    bool parseStream(FILE* file, const std::string& fileName);
    enum Pass { DONE, FAILED, AGAIN };
    // Every line of the script to expat, a line at a time or in large
    // pieces; AGAIN: the pieces must be read again a line at a time.
    Pass readLines(FILE* file, char*& buffer, const std::string& fileName, bool inPieces);
    // Back to no tags and no lines, for a second reading.
    void restart();
    // The script line expat is at.
    int currentLine();
    void fail(unsigned long line, const std::string& text);

    kvScriptContext context;
    std::map<std::string, TagHandler> handlers;
    XML_Parser xmlParser;
    FILE* log = nullptr;
    std::string logName;
    std::string logProblem;
    std::string scriptName;
    std::unique_ptr<kvTagTree> tags;
    std::vector<kvTag*> rootTags;
    std::deque<kvTag*> openTags;
    kvTag* currentTag;
    // The tag and line the last text was read for.
    kvTag* textTag = nullptr;
    int textLine = 0;
    // Where each line fed so far begins in the joined stream expat sees,
    // so an element's byte offset gives its line.
    std::vector<uint64_t> lineStarts;
    size_t lineCursor = 0;
    uint64_t fed = 0;
    // A text ran over a line end (read in pieces: read it again by lines).
    bool runsOverLine = false;
    int errorLine = 0;
    std::string errorText;
};

} // namespace Korvell
