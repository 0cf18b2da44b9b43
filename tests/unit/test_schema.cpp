// The schema ties the handlers to the checker: a script that uses every
// element, attribute and keyword of the table is read whole by the
// handlers (every attribute and child asked for, nothing asked for that
// the table lacks) and checks clean.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <set>

#include "script/kvChecker.h"
#include "script/kvSchema.h"
#include "script/kvTag.h"
#include "support/kvScriptTest.h"

using namespace Korvell;

namespace {

std::string u32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// Every element below `parent`, each with every attribute at its default
// (a flag "yes", a time 2 s, a size 1, as no size draws nothing), its first
// keyword, and a text where it has no keyword.
std::string every(kvElement parent)
{
    std::string xml;
    for (kvElement e : allElements()) {
        const kvElementRule& r = ruleOf(e);
        if (r.parent != parent) continue;
        const std::string name = std::string(r.name) + (r.numbered ? "1" : "");
        xml += "<" + name;
        for (kvAttribute a : attributesOf(e)) {
            const kvAttributeRule& ar = ruleOf(a);
            char value[32];
            std::snprintf(value, sizeof value, "%g", static_cast<double>(ar.fallback));
            if (e == kvElement::Size) std::snprintf(value, sizeof value, "1");
            xml += std::string(" ") + ar.name + "=\"" + (ar.kind == VALUE_FLAG ? "yes" : ar.kind == VALUE_TIME ? "2" : value) + "\"";
        }
        xml += ">";
        if (!r.keywords.empty()) xml += r.keywords.front().word;
        else if (e == kvElement::Face) xml += "Liberation Sans";
        else if (e == kvElement::File) xml += "a.jpg";
        else if (e == kvElement::VideoFile) xml += "a.mp4";
        else if (e == kvElement::Music) xml += "song.ogg";
        else if (e == kvElement::DataFile) xml += "show.kva";
        else if (r.numbered) xml += "a line";
        xml += every(e) + "</" + name + ">\n";
    }
    return xml;
}

class Schema : public ScriptTest {};

} // namespace

TEST_F(Schema, TheTableIsWhole)
{
    std::set<std::string> paths;
    for (kvElement e : allElements()) {
        EXPECT_TRUE(paths.insert(pathOf(e)).second) << pathOf(e) << " twice";
        const kvElementRule& r = ruleOf(e);
        EXPECT_EQ(r.parent == kvElement::Count, r.handler != nullptr) << pathOf(e) << ": a handler at the top only";
    }
    EXPECT_EQ(allElements().size(), static_cast<size_t>(kvElement::Count));
    size_t attributes = 0;
    for (kvElement e : allElements()) {
        std::set<std::string> names;
        for (kvAttribute a : attributesOf(e)) EXPECT_TRUE(names.insert(ruleOf(a).name).second) << pathOf(e);
        attributes += attributesOf(e).size();
    }
    EXPECT_EQ(attributes, static_cast<size_t>(kvAttribute::Count));
}

TEST_F(Schema, HandlersReadEveryEntryAndNothingElseAndItChecksClean)
{
    noise = true;
    // The picture lives in the archive the script names.
    const std::string jpeg = readFile(fixture("quadrants.jpg"));
    const std::string index = std::string("DAT\0a.jpg\0", 10) + u32(static_cast<uint32_t>(jpeg.size())) + u32(22)
                              + std::string("END\0", 4);
    writeFile(dir + "/show.kva", index + jpeg);
    writeFile(dir + "/song.ogg", "music");
    const std::string body = every(kvElement::Count);
    char home[4096];
    ASSERT_NE(getcwd(home, sizeof home), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    run(body);
    ASSERT_TRUE(archive.isOpen());
    // Every tag asked for all it holds, and for nothing the schema lacks.
    std::function<void(const kvTag*, kvElement)> walk = [&](const kvTag* tag, kvElement element) {
        for (const auto& attribute : tag->getAttributes()) {
            bool asked = false;
            for (kvAttribute a : attributesOf(element))
                asked = asked || (attribute.first == ruleOf(a).name && wasAsked(tag, a));
            EXPECT_TRUE(asked) << pathOf(element) << "@" << attribute.first << " not read";
        }
        for (size_t i = 0; i < static_cast<size_t>(kvAttribute::Count); ++i) {
            const kvAttribute a = static_cast<kvAttribute>(i);
            if (wasAsked(tag, a)) {
                EXPECT_EQ(ruleOf(a).element, element) << pathOf(element) << " reads @" << ruleOf(a).name << " of "
                                                      << pathOf(ruleOf(a).element);
            }
        }
        for (kvElement e : allElements()) {
            if (wasAsked(tag, e)) {
                EXPECT_EQ(ruleOf(e).parent, element) << pathOf(element) << " reads <" << ruleOf(e).name << "> of "
                                                     << pathOf(ruleOf(e).parent);
            }
        }
        for (const kvTag* c : tag->getChildren()) {
            kvElement ce = kvElement::Count;
            for (kvElement e : allElements())
                if (ruleOf(e).parent == element
                    && c->getName() == std::string(ruleOf(e).name) + (ruleOf(e).numbered ? "1" : ""))
                    ce = e;
            ASSERT_NE(ce, kvElement::Count) << c->getName();
            EXPECT_TRUE(wasAsked(tag, ce)) << pathOf(element) << "/" << c->getName() << " not read";
            walk(c, ce);
        }
    };
    const std::vector<kvElement> elements = allElements();
    ASSERT_EQ(parser->getRootTags().size(), static_cast<size_t>(std::count_if(elements.begin(), elements.end(), [](kvElement e) {
                                                return ruleOf(e).parent == kvElement::Count;
                                            })));
    for (const kvTag* tag : parser->getRootTags()) walk(tag, topLevelElement(tag->getName()));

    // The checker, on the same script, finds nothing to say.
    // (The show closes with an empty slide: the one before it shows.)
    writeFile(dir + "/every.xml", "<korvell>\n" + body + "<image time=\"1\"/>\n</korvell>\n");
    kvCheckHooks hooks;
    hooks.musicProblem = [](const std::string&, double*) { return std::string(); };
    hooks.drawnFace = [](const std::string& face, bool, bool) { return face; };
    for (const kvFinding& f : checkScript("every.xml", hooks)) ADD_FAILURE() << formatFinding("every.xml", f);
    ASSERT_EQ(chdir(home), 0);
}
