// Display-mode lists and the setup dialog's defaults and results, with
// mode lists of the tests' own.
#include <gtest/gtest.h>

#include "app/kvBaseGL.h"
#include "app/kvSetupDialog.h"

using namespace Korvell;

namespace {

struct FakeMode {
    int w, h, bpp, rate;
    bool switchable;
};

class FakeModes : public kvDisplayModes {
public:
    explicit FakeModes(std::vector<FakeMode> m) : modes(std::move(m)) {}
    bool getMode(int index, kvDisplayMode& mode) override
    {
        if (index < 0 || index >= static_cast<int>(modes.size())) return false;
        const FakeMode& f = modes[static_cast<size_t>(index)];
        mode.width = f.w;
        mode.height = f.h;
        mode.bitsPerPixel = f.bpp;
        mode.refreshRate = f.rate;
        return true;
    }
    bool testMode(const kvDisplayMode& mode) override
    {
        ++tested;
        for (const FakeMode& f : modes)
            if (f.w == mode.width && f.h == mode.height && f.bpp == mode.bitsPerPixel && f.rate == mode.refreshRate)
                return f.switchable;
        return false;
    }
    std::vector<FakeMode> modes;
    int tested = 0;
};

struct SetupTest : ::testing::Test {
    kvBaseGL app{nullptr};
    void use(FakeModes& modes) { app.setDisplayModes(&modes); }
    void TearDown() override { g_noiseEnabled = false; }
};

} // namespace

TEST_F(SetupTest, PreselectsTheLastModeInsideTheUsualRange)
{
    FakeModes modes({{640, 480, 32, 60, true}, {800, 600, 32, 60, true}, {1024, 768, 32, 60, true},
                     {1280, 1024, 32, 60, true}});
    use(modes);
    ASSERT_TRUE(app.enumerateModes());
    kvSetupDialog dialog(app);
    ASSERT_EQ(dialog.resolutionItems().size(), 4u);
    EXPECT_EQ(dialog.resolutionItems()[static_cast<size_t>(dialog.resolution)], "1024 x 768");
    EXPECT_EQ(dialog.refreshItems(), std::vector<std::string>{"60 Hz"});
    EXPECT_EQ(dialog.languageItems(), (std::vector<std::string>{"English", "Polish"}));
}

TEST_F(SetupTest, OnlyLargeModesPreselectTheFirst)
{
    FakeModes modes({{1280, 1024, 32, 60, true}, {1600, 1200, 32, 60, true}});
    use(modes);
    ASSERT_TRUE(app.enumerateModes());
    kvSetupDialog dialog(app);
    EXPECT_EQ(dialog.resolution, 0);
}

TEST_F(SetupTest, FrequenciesAreListedOnceInFirstSeenOrder)
{
    FakeModes modes({{800, 600, 32, 75, true}, {800, 600, 32, 60, true}, {1024, 768, 32, 60, true},
                     {1024, 768, 32, 85, true}});
    use(modes);
    ASSERT_TRUE(app.enumerateModes());
    EXPECT_EQ(app.getResolutions().size(), 2u);
    EXPECT_EQ(app.getRefreshRates(), (std::vector<int>{75, 60, 85}));
}

TEST_F(SetupTest, SixteenBitAndUnswitchableModesAreLeftOut)
{
    FakeModes modes({{640, 480, 16, 70, true}, {800, 600, 32, 72, false}, {1024, 768, 32, 60, true}});
    use(modes);
    ASSERT_TRUE(app.enumerateModes());
    EXPECT_EQ(modes.tested, 3); // every mode is tested, before its depth is looked at
    ASSERT_EQ(app.getResolutions().size(), 1u);
    EXPECT_EQ(app.getResolutions()[0], std::make_pair(1024, 768));
    EXPECT_EQ(app.getRefreshRates(), std::vector<int>{60});
    EXPECT_EQ(app.findResolution(640, 480), -1);
    EXPECT_EQ(app.findRefreshRate(72), -1);
}

TEST_F(SetupTest, NoUsableModeMeansNoList)
{
    FakeModes modes({{640, 480, 16, 60, true}});
    use(modes);
    EXPECT_FALSE(app.enumerateModes());
}

TEST_F(SetupTest, DemoStoresTheModeScriptAndNoise)
{
    FakeModes modes({{800, 600, 32, 60, true}, {1024, 768, 32, 75, true}});
    use(modes);
    ASSERT_TRUE(app.enumerateModes());
    kvSetupDialog dialog(app);
    dialog.accept();
    EXPECT_EQ(app.getScriptFile(), "english.xml");
    EXPECT_EQ(app.getWidth(), 1024);
    EXPECT_EQ(app.getHeight(), 768);
    EXPECT_EQ(app.getRefreshRate(), 60);
    EXPECT_TRUE(app.isFullscreen()); // "Run windowed" starts unticked
    EXPECT_FALSE(g_noiseEnabled);

    dialog.language = 1; // "Polish"
    dialog.resolution = 0;
    dialog.refresh = 1;
    dialog.windowed = true;
    dialog.noise = true;
    dialog.accept();
    EXPECT_EQ(app.getScriptFile(), "polish.xml");
    EXPECT_EQ(app.getWidth(), 800);
    EXPECT_EQ(app.getRefreshRate(), 75);
    EXPECT_FALSE(app.isFullscreen());
    EXPECT_TRUE(g_noiseEnabled);
}
