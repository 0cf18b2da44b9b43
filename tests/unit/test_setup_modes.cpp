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
    kvBaseGL app;
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

TEST_F(SetupTest, LargestFirstListIsReadAscendingAndPreselects1024x768)
{
    // The order SDL reports a usual display's modes in.
    std::vector<kvDisplayMode> listed;
    for (auto m : {std::make_pair(1920, 1080), {1280, 1024}, {1024, 768}, {800, 600}, {640, 480}}) {
        for (int rate : {75, 60}) {
            kvDisplayMode d;
            d.width = m.first;
            d.height = m.second;
            d.bitsPerPixel = 32;
            d.refreshRate = rate;
            listed.push_back(d);
        }
    }
    sortModesAscending(listed);
    std::vector<FakeMode> fake;
    for (const kvDisplayMode& d : listed) fake.push_back({d.width, d.height, d.bitsPerPixel, d.refreshRate, true});
    FakeModes modes(fake);
    use(modes);
    ASSERT_TRUE(app.enumerateModes());
    kvSetupDialog dialog(app);
    EXPECT_EQ(dialog.resolutionItems(),
              (std::vector<std::string>{"640 x 480", "800 x 600", "1024 x 768", "1280 x 1024", "1920 x 1080"}));
    EXPECT_EQ(dialog.resolutionItems()[static_cast<size_t>(dialog.resolution)], "1024 x 768");
    EXPECT_EQ(dialog.refreshItems(), (std::vector<std::string>{"60 Hz", "75 Hz"}));
}

TEST_F(SetupTest, KeyboardMovesTheFocusChoosesAndToggles)
{
    FakeModes modes({{640, 480, 32, 60, true}, {800, 600, 32, 60, true}, {800, 600, 32, 75, true}});
    use(modes);
    ASSERT_TRUE(app.enumerateModes());
    kvSetupDialog d(app);
    using D = kvSetupDialog;
    // Tab runs through the template's order and wraps; Shift+Tab goes back.
    const int order[] = {D::DIE, D::RESOLUTION, D::REFRESH, D::WINDOWED, D::LANGUAGE, D::NOISE, D::DEMO};
    for (int want : order) {
        EXPECT_EQ(d.handleKey(SDLK_TAB, false), D::GO_ON);
        EXPECT_EQ(d.focus, want);
    }
    EXPECT_EQ(d.handleKey(SDLK_TAB, true), D::GO_ON);
    EXPECT_EQ(d.focus, D::NOISE);

    struct Step {
        int focus;
        SDL_Keycode key;
        int result, resolution, refresh, language;
        bool windowed, noise;
    } steps[] = {
        // focus       key          result        res ref lang win   noise
        {D::RESOLUTION, SDLK_DOWN,  D::GO_ON,      1,  0,  0,  false, false},
        {D::RESOLUTION, SDLK_RIGHT, D::GO_ON,      1,  0,  0,  false, false}, // stays on the last
        {D::RESOLUTION, SDLK_UP,    D::GO_ON,      0,  0,  0,  false, false},
        {D::RESOLUTION, SDLK_LEFT,  D::GO_ON,      0,  0,  0,  false, false}, // and on the first
        {D::REFRESH,    SDLK_DOWN,  D::GO_ON,      0,  1,  0,  false, false},
        {D::LANGUAGE,   SDLK_DOWN,  D::GO_ON,      0,  1,  1,  false, false},
        {D::WINDOWED,   SDLK_SPACE, D::GO_ON,      0,  1,  1,  true,  false},
        {D::NOISE,      SDLK_SPACE, D::GO_ON,      0,  1,  1,  true,  true},
        {D::NOISE,      SDLK_DOWN,  D::GO_ON,      0,  1,  1,  true,  true},  // arrows on a box: nothing
        {D::NOISE,      SDLK_SPACE, D::GO_ON,      0,  1,  1,  true,  false},
        {D::WINDOWED,   SDLK_RETURN, D::RESULT_DEMO, 0, 1, 1,  true,  false}, // Enter is "Demo"...
        {D::DIE,        SDLK_RETURN, D::RESULT_DIE, 0,  1,  1,  true,  false}, // ...unless on "Die"
        {D::DIE,        SDLK_SPACE, D::RESULT_DIE, 0,  1,  1,  true,  false},
        {D::DEMO,       SDLK_SPACE, D::RESULT_DEMO, 0, 1,  1,  true,  false},
        {D::LANGUAGE,   SDLK_ESCAPE, D::RESULT_DIE, 0, 1,  1,  true,  false},
    };
    for (const Step& s : steps) {
        d.focus = s.focus;
        EXPECT_EQ(d.handleKey(s.key, false), s.result) << "focus " << s.focus << " key " << s.key;
        EXPECT_EQ(d.resolution, s.resolution) << "focus " << s.focus << " key " << s.key;
        EXPECT_EQ(d.refresh, s.refresh);
        EXPECT_EQ(d.language, s.language);
        EXPECT_EQ(d.windowed, s.windowed);
        EXPECT_EQ(d.noise, s.noise);
    }
}
