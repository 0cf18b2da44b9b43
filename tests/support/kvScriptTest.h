// Runs a script text through the real parser and handlers against a player
// with the recording renderer.
#pragma once

#include "player/kvPlayer.h"
#include "script/kvParser.h"
#include "support/kvTestSupport.h"

namespace Korvell {

class ScriptTest : public RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        dir = scratchDir("script");
        player = new kvPlayer();
    }
    void TearDown() override
    {
        delete parser;
        delete player;
        RecordingTest::TearDown();
    }
    // Parses and configures "<korvell>" + body + "</korvell>".
    void run(const std::string& body)
    {
        delete parser;
        parser = new kvParser(player, dir + "/xmlparse.log");
        writeFile(dir + "/show.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<korvell>\n" + body + "\n</korvell>\n");
        ASSERT_TRUE(parser->parse(dir + "/show.xml")) << readFile(dir + "/xmlparse.log");
        parser->configure();
    }
    kvPlayerItem* item(unsigned i) const { return player->getItem(i); }
    std::string dir;
    kvPlayer* player = nullptr;
    kvParser* parser = nullptr;
};

} // namespace Korvell
