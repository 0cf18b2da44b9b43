// The bundled demo show is whole: every script parses without a warning,
// every picture named by a slide loads (from the disk, or from demo.kva in
// the archive variant), and so do the seven credits pictures.
#include <gtest/gtest.h>

#include <unistd.h>

#include "credits/kvCredits.h"
#include "player/kvPlayer.h"
#include "script/kvScriptedShow.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

class DemoShow : public GLTest, public ::testing::WithParamInterface<const char*> {
protected:
    void TearDown() override
    {
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) ADD_FAILURE() << "cannot return to " << cwd;
        GLTest::TearDown();
    }
    std::string cwd;
};

} // namespace

TEST_P(DemoShow, EveryPictureAndCreditsPageLoads)
{
    std::string path = std::string(KORVELL_SOURCE_DIR) + "/demo/" + GetParam();
    std::string folder = path.substr(0, path.rfind('/'));
    char buf[4096];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    cwd = buf;
    ASSERT_EQ(chdir(folder.c_str()), 0);
    kvTimer clock;
    kvScriptedShow::Options options;
    options.noise = true;
    options.log = scratchDir("demo") + "/xmlparse.log";
    kvScriptedShow show(*renderer, clock, options);
    ASSERT_TRUE(show.load(path.substr(path.rfind('/') + 1)));
    kvPlayer* player = &show.getPlayer();
    EXPECT_EQ(show.getArchive().isOpen(), std::string(GetParam()).find("archive/") == 0);
    EXPECT_NE(player->getNoiseTexture(), kvTextureIndex(0));
    EXPECT_EQ(player->getFonts().size(), 1u);
    ASSERT_GE(player->getItemCount(), 10);
    int pictures = 0;
    for (int i = 0; i < player->getItemCount(); ++i) {
        kvPlayerItem* item = player->getItem(static_cast<unsigned>(i));
        if (item->fileName.empty()) continue;
        ++pictures;
        EXPECT_TRUE(player->loadItemTexture(static_cast<unsigned>(i))) << item->fileName;
        EXPECT_FALSE(item->lines.empty()) << item->fileName;
    }
    EXPECT_EQ(pictures, 12);
    show.endPlayer(); // the credits read from the show's archive too
    kvCredits credits(*renderer, clock);
    credits.loadCredits();
    EXPECT_NE(credits.getBack(), kvTextureIndex(0));
    EXPECT_NE(credits.getTitle(), kvTextureIndex(0));
    for (int i = 0; i < 5; ++i) EXPECT_NE(credits.getPage(i), kvTextureIndex(0)) << i;
}

INSTANTIATE_TEST_SUITE_P(Scripts, DemoShow,
                         ::testing::Values("english.xml", "polish.xml", "archive/english.xml", "archive/polish.xml"));
