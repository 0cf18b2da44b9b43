// Runs a script text through the real parser and handlers against a player
// with the recording renderer.
#pragma once

#include <memory>

#include "image/kvDataFile.h"
#include "player/kvPlayer.h"
#include "script/kvParser.h"
#include "support/kvTestSupport.h"

namespace Korvell {

class ScriptTest : public PlayerTest {
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        player->setImageAreaSize(vector2(0, 0));
        dir = scratchDir("script");
    }
    void TearDown() override
    {
        parser.reset();
        PlayerTest::TearDown();
    }
    // What the handlers are given: this player, the noise flag, and a music
    // teller that remembers each music it was told.
    kvScriptContext context()
    {
        kvScriptContext c;
        c.player = player;
        c.archive = &archive;
        c.noiseEnabled = noise;
        c.setMusic = [this](const kvMusic& m) { music.push_back(m); };
        c.probeClip = probeClip;
        return c;
    }
    // Parses and configures "<korvell>" + body + "</korvell>".
    void run(const std::string& body)
    {
        parser.reset(new kvParser(context(), dir + "/xmlparse.log"));
        writeFile(dir + "/show.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<korvell>\n" + body + "\n</korvell>\n");
        ASSERT_TRUE(parser->parse(dir + "/show.xml")) << readFile(dir + "/xmlparse.log");
        parser->configure();
    }
    // A fresh player (and recording) for a second script.
    void newPlayer()
    {
        parser.reset();
        delete player;
        player = new kvPlayer(*rec, clock);
    }
    kvPlayerItem* item(unsigned i) const { return player->getItem(i); }
    std::string dir;
    kvDataFile archive;
    bool noise = false;
    std::vector<kvMusic> music;
    // A clip's facts, as the module would read them (unset: none known).
    std::function<bool(const std::string& file, kvClipFacts* facts)> probeClip;
    std::unique_ptr<kvParser> parser;
};

} // namespace Korvell
