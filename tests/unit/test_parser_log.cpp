// Whole parse logs compared line for line, and the text rules of the tree.
#include <gtest/gtest.h>

#include <sstream>

#include "script/kvScriptedShow.h"
#include "script/kvTag.h"
#include "support/kvScriptTest.h"

using namespace Korvell;

namespace {

class ParserLog : public ScriptTest {
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        parser.reset(new kvParser(context(), dir + "/xmlparse.log"));
    }
    bool parseText(const std::string& text, const std::string& name = "test.xml")
    {
        writeFile(dir + "/" + name, text);
        return parser->parse(dir + "/" + name);
    }
    std::vector<std::string> log() const
    {
        std::istringstream in(readFile(dir + "/xmlparse.log"));
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    std::vector<std::string> header(const std::string& name = "test.xml") const
    {
        return {"=== Korvell v1.0 LogFile ===", "", "XML Parse log file for: " + dir + "/" + name,
                "XML Parser Initialized. Parsing started."};
    }
    static std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b)
    {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    const kvTag* root(size_t i) const { return parser->getRootTags().at(i); }
};

} // namespace

TEST_F(ParserLog, SuccessfulRunHasTheEightLineShape)
{
    ASSERT_TRUE(parseText("<?xml version=\"1.0\"?>\n<korvell>\n  <viewport x=\"800\" y=\"600\"/>\n</korvell>\n"));
    EXPECT_TRUE(parser->configure());
    EXPECT_EQ(log(), plus(header(), {"Parsing finished. No errors occured! :-)",
                                     "Executing script file and configuring the player...",
                                     "Configuration finished. 0 tag(s) ignored."}));
    float w = 0, h = 0;
    rec->getViewSize(&w, &h);
    EXPECT_FLOAT_EQ(w, 800.0f);
}

TEST_F(ParserLog, MissingFileWritesExactlyOneLine)
{
    EXPECT_FALSE(parser->parse(dir + "/absent.xml"));
    EXPECT_EQ(log(), (std::vector<std::string>{"=== Korvell v1.0 LogFile ===", "",
                                                "IO Error: Cannot open XML file: " + dir + "/absent.xml"}));
}

TEST_F(ParserLog, MismatchedTagNamesItsLine)
{
    EXPECT_FALSE(parseText("<korvell>\n<global>\n</image>\n</korvell>\n"));
    EXPECT_EQ(log(), plus(header(), {"Parse error at line 3: mismatched tag.", "Parsing stopped due to errors!"}));
}

TEST_F(ParserLog, MissingEndTagIsReportedAfterTheLastLine)
{
    EXPECT_FALSE(parseText("<korvell>\n  <viewport x=\"1\" y=\"1\"/>\n"));
    EXPECT_EQ(log(), plus(header(), {"Parse error at line 3: no element found.", "Parsing stopped due to errors!"}));
}

TEST_F(ParserLog, AttributesBrokenOverTwoLinesNeedIndentation)
{
    EXPECT_FALSE(parseText("<korvell>\n<viewport x=\"1\"\ny=\"2\"/>\n</korvell>\n"));
    EXPECT_EQ(log().at(4), "Parse error at line 3: not well-formed (invalid token).");
    parser.reset(new kvParser(context(), dir + "/xmlparse.log"));
    EXPECT_TRUE(parseText("<korvell>\n<viewport x=\"1\"\n  y=\"2\"/>\n</korvell>\n"));
    std::string y;
    EXPECT_TRUE(root(0)->getAttribute("y", y));
    EXPECT_EQ(y, "2");
}

TEST_F(ParserLog, TextIsTheLastRunBeforeTheFirstChildOrEnd)
{
    ASSERT_TRUE(parseText("<korvell>\n"
                          "<music>\n"
                          "    song.ogg\n"
                          "</music>\n"
                          "<datafile>\n"
                          "  pics.kva\n"
                          "  </datafile>\n"
                          "<image><file>a &amp; b.jpg</file></image>\n"
                          "<global>head<filter>bilinear</filter>tail</global>\n"
                          "</korvell>\n"));
    EXPECT_EQ(root(0)->getText(), "    song.ogg");
    EXPECT_EQ(root(1)->getText(), "  ");
    EXPECT_EQ(root(2)->findChild("file")->getText(), "a & b.jpg"); // a line's runs are one text
    EXPECT_EQ(root(3)->getText(), "head");
}

TEST_F(ParserLog, NestedRootIsTransparentUnknownTagsAreCounted)
{
    ASSERT_TRUE(parseText("<korvell><korvell><viewport x=\"2\" y=\"3\"/></korvell>\n"
                          "<slides/><global><image time=\"5\"><file>x.jpg</file></image></global>\n"
                          "<Viewport x=\"9\" y=\"9\"/></korvell>\n"));
    ASSERT_EQ(parser->getRootTags().size(), 4u);
    EXPECT_EQ(root(0)->getParent(), nullptr);
    parser->configure();
    std::vector<std::string> l = log();
    ASSERT_EQ(l.size(), 9u);
    EXPECT_EQ(l[6], "Warning: slides is unknown XML tag! Ignored.");
    EXPECT_EQ(l[7], "Warning: Viewport is unknown XML tag! Ignored.");
    EXPECT_EQ(l[8], "Configuration finished. 2 tag(s) ignored.");
    EXPECT_EQ(player->getItemCount(), 0); // an image inside global is not a slide
    float w = 0, h = 0;
    rec->getViewSize(&w, &h);
    EXPECT_FLOAT_EQ(h, 3.0f);
}

TEST_F(ParserLog, ForeignRootIsOneUnknownTag)
{
    ASSERT_TRUE(parseText("<show><viewport x=\"2\" y=\"3\"/></show>"));
    parser->configure();
    EXPECT_EQ(log().at(6), "Warning: show is unknown XML tag! Ignored.");
    float w = 0;
    rec->getViewSize(&w, nullptr);
    EXPECT_FLOAT_EQ(w, 1.0f);
}

TEST_F(ParserLog, LongLinesParseWholeAndKeepLineNumbers)
{
    std::string longLine = "<image time=\"1\"><file>" + std::string(380, 'p') + ".jpg</file></image>";
    ASSERT_GT(longLine.size(), 400u);
    EXPECT_FALSE(parseText("<korvell>\n" + longLine + "\n<bad attr=x/>\n</korvell>\n"));
    EXPECT_EQ(log().at(4), "Parse error at line 3: not well-formed (invalid token).");
    parser.reset(new kvParser(context(), dir + "/xmlparse.log"));
    ASSERT_TRUE(parseText("<korvell>\n" + longLine + "\n</korvell>\n"));
    EXPECT_EQ(root(0)->findChild("file")->getText(), std::string(380, 'p') + ".jpg");
}

TEST_F(ParserLog, CarriageReturnLineEndsAreLineEnds)
{
    ASSERT_TRUE(parseText("<korvell>\r\n<music>\r\nsong.ogg\r\n</music>\r\n</korvell>\r\n"));
    EXPECT_EQ(root(0)->getText(), "song.ogg");
}

// A script in another encoding is told so at the line expat stops, instead
// of "invalid token"; a UTF-16 one at once. One that parses all the same
// (it is plain ASCII) gets a warning.
TEST_F(ParserLog, ScriptsInOtherEncodingsAreNamed)
{
    const std::string tail = "<korvell>\n<image time=\"1\"><line1>Za\xBF\xF3\xB3\xE6</line1></image>\n</korvell>\n";
    const std::string utf16 = std::string("\xFF\xFE<\0k\0", 6);
    struct Case {
        std::string text;
        bool parses;
        std::vector<std::string> lines;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\n" + tail, false,
         {"Parse error at line 3: the script declares the encoding ISO-8859-2, and Korvell reads UTF-8 scripts "
          "(save it as UTF-8).",
          "Parsing stopped due to errors!"}},
        {"<?xml version='1.0' encoding='windows-1250'?>\n" + tail, false,
         {"Parse error at line 3: the script declares the encoding windows-1250, and Korvell reads UTF-8 scripts "
          "(save it as UTF-8).",
          "Parsing stopped due to errors!"}},
        {utf16, false,
         {"Parse error at line 1: the script is in UTF-16, and Korvell reads UTF-8 scripts (save it as UTF-8).",
          "Parsing stopped due to errors!"}},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\n<korvell/>\n", true,
         {"Parsing finished. No errors occured! :-)",
          "Warning: the script declares the encoding ISO-8859-2; it is read as UTF-8."}},
        // UTF-8 by any of its names, or its ASCII subset: the log as ever.
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf8\"?>\n<korvell/>\n", true,
         {"Parsing finished. No errors occured! :-)"}},
        {"<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n<korvell/>\n", true, {"Parsing finished. No errors occured! :-)"}},
    };
    for (const Case& c : cases) {
        parser.reset(new kvParser(context(), dir + "/xmlparse.log"));
        EXPECT_EQ(parseText(c.text), c.parses) << c.lines[0];
        EXPECT_EQ(log(), plus(header(), c.lines));
    }
}

// Within a line, character data around entities, character references
// and CDATA is one text; over several lines, the last line's text.
TEST_F(ParserLog, TextAroundReferencesIsReadWhole)
{
    struct Case {
        std::string element, text;
    } cases[] = {
        {"<file>Tom &amp; Jerry.jpg</file>", "Tom & Jerry.jpg"},
        {"<line1>caf&#233; &#x2014; cr&#xE8;me</line1>", "caf\xC3\xA9 \xE2\x80\x94 cr\xC3\xA8me"},
        {"<line1>Fish &amp; chips &lt;3 &quot;yes&quot;</line1>", "Fish & chips <3 \"yes\""},
        {"<line1><![CDATA[a <b> c]]> d &amp; e</line1>", "a <b> c d & e"},
        {"<line1>\n  first\n  &amp; last\n</line1>", "  & last"},
    };
    for (const Case& c : cases) {
        parser.reset(new kvParser(context(), dir + "/xmlparse.log"));
        ASSERT_TRUE(parseText("<korvell>\n<image>" + c.element + "</image>\n</korvell>\n")) << c.element;
        ASSERT_FALSE(root(0)->getChildren().empty()) << c.element;
        EXPECT_EQ(root(0)->getChildren().front()->getText(), c.text) << c.element;
    }
}

// A long script is read in large pieces, and again a line at a time where
// that would differ: an error anywhere is reported at its own line, a text
// over a line end is its last line's, whichever piece they fall in.
TEST_F(ParserLog, ALongScriptReadsAsItsLinesSay)
{
    std::string slides;
    for (int i = 0; i < 3000; ++i) // lines 2 to 3001, some 150 KiB
        slides += "<image time=\"1\"><file>pictures/p" + std::to_string(i) + ".jpg</file><line1>a line</line1></image>\n";
    struct Case {
        std::string tail; // from line 3002
        std::string error; // the log's error line, or "" for a clean parse
        std::string lastText;
    } cases[] = {
        {"<image><line1>one\ntwo</line1></image>\n</korvell>\n", "", "two"},
        {"<image><line1>one]\n]two</line1></image>\n</korvell>\n", "", ""},
        {"<image><line1><![CDATA[one\ntwo]]></line1></image>\n</korvell>\n", "", "two"},
        {"<image>\n<line1>x</image>\n</korvell>\n", "Parse error at line 3003: mismatched tag.", ""},
        {"<image>\n<line1 a=\"1\" a=\"2\">x</line1>\n</image></korvell>\n",
         "Parse error at line 3003: duplicate attribute.", ""},
        {"<image>\n\n", "Parse error at line 3004: no element found.", ""},
    };
    for (const Case& c : cases) {
        parser.reset(new kvParser(context(), dir + "/xmlparse.log"));
        const bool parsed = parseText("<korvell>\n" + slides + c.tail);
        EXPECT_EQ(parsed, c.error.empty()) << c.tail;
        if (!parsed) {
            EXPECT_EQ(log().at(4), c.error) << c.tail;
            continue;
        }
        ASSERT_EQ(parser->getRootTags().size(), 3001u) << c.tail;
        EXPECT_EQ(root(2999)->findChild("file")->getText(), "pictures/p2999.jpg");
        const std::string last = root(3000)->findChild("line1")->getText();
        if (c.lastText.empty())
            EXPECT_NE(last.find("two"), std::string::npos) << c.tail << ": " << last;
        else
            EXPECT_EQ(last, c.lastText) << c.tail;
    }
}

// A show whose pictures would be drawn into no area says so once, after
// configuring; one that has an area says nothing of it.
TEST_F(ParserLog, AShowThatDrawsNoPictureSaysSoOnce)
{
    const std::string slides = "<image time=\"2\"><file>a.jpg</file></image><image time=\"1\"/>";
    const std::string area = "<imagearea><position x=\"0\" y=\"0\"/><size width=\"1\" height=\"1\"/></imagearea>";
    for (const std::string& body : {slides, area + slides}) {
        writeFile(dir + "/show.xml", "<korvell>" + body + "</korvell>");
        kvScriptedShow::Options options;
        options.log = dir + "/show.log";
        {
            kvScriptedShow show(*rec, clock, options);
            ASSERT_TRUE(show.load(dir + "/show.xml"));
            show.prepare(64, 48, 0.0f);
        }
        const std::string text = readFile(dir + "/show.log");
        const std::string warning = "\nWarning: no picture will be drawn: the script has no <imagearea> (the rectangle "
                                    "pictures are drawn into)\n";
        const size_t at = text.find(warning);
        if (body == slides) {
            EXPECT_NE(at, std::string::npos) << text;
            EXPECT_EQ(text.find(warning, at + 1), std::string::npos) << text;
        } else {
            EXPECT_EQ(text.find("no picture"), std::string::npos) << text;
        }
    }
}
