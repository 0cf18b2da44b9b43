// The tag tree and the value rules every handler shares.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "script/kvTag.h"
#include "script/kvSchema.h"
#include "script/kvValues.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

TEST(Tag, AttributesLookupsAndText)
{
    kvTag tag("image", nullptr);
    std::string out = "untouched";
    EXPECT_FALSE(tag.getAttribute("time", out));
    EXPECT_EQ(out, "untouched");
    tag.setAttribute("time", "5");
    tag.setAttribute("time", "7");
    EXPECT_TRUE(tag.getAttribute("time", out));
    EXPECT_EQ(out, "7");
    tag.setText("first");
    tag.setText("second");
    EXPECT_EQ(tag.getText(), "second");
}

TEST(Tag, FindChildIsExactFirstAndDirect)
{
    kvTag root("image", nullptr);
    kvTag* zoom1 = new kvTag("zoom", &root);
    new kvTag("zoom", &root);
    kvTag* move = new kvTag("move", &root);
    new kvTag("deep", move);
    EXPECT_EQ(zoom1->getParent(), &root);
    EXPECT_EQ(root.findChild("zoom"), zoom1);
    EXPECT_EQ(root.findChild("Zoom"), nullptr);
    EXPECT_EQ(root.findChild("deep"), nullptr);
    EXPECT_EQ(root.getChildren().size(), 3u);
}

TEST(Tag, DeeplyNestedTreeIsDeletedWithoutRecursion)
{
    kvTag* root = new kvTag("a", nullptr);
    kvTag* t = root;
    for (int i = 0; i < 1000000; ++i) t = new kvTag("a", t);
    delete root; // would overflow the stack if deleted recursively
    SUCCEED();
}

TEST(Values, NumbersReadLikeAtofInTheCLocale)
{
    EXPECT_FLOAT_EQ(parseFloat(" 12.5"), 12.5f);
    EXPECT_FLOAT_EQ(parseFloat("12,5"), 12.0f);
    EXPECT_FLOAT_EQ(parseFloat(""), 0.0f);
    EXPECT_FLOAT_EQ(parseFloat("abc"), 0.0f);
    EXPECT_FLOAT_EQ(parseFloat("1.5px"), 1.5f);
    EXPECT_FLOAT_EQ(parseFloat("-2e1"), -20.0f);
    EXPECT_FLOAT_EQ(parseFloat("1e300"), 3.4028235e38f); // held at the largest float
    // Decimal numbers only, as the atof of the script's era: no hexadecimal,
    // no inf or nan.
    EXPECT_FLOAT_EQ(parseFloat("0x10"), 0.0f);
    EXPECT_FLOAT_EQ(parseFloat("inf"), 0.0f);
    EXPECT_FLOAT_EQ(parseFloat("-nan"), 0.0f);
    EXPECT_FLOAT_EQ(parseFloat("1e3"), 1000.0f);
    EXPECT_FLOAT_EQ(parseFloat("-.5e1x"), -5.0f);
    EXPECT_FLOAT_EQ(parseFloat("2e"), 2.0f);
    // A slide's time: negative, or beyond any float, is 0.
    EXPECT_FLOAT_EQ(parseTime("2.5"), 2.5f);
    EXPECT_FLOAT_EQ(parseTime("-5"), 0.0f);
    EXPECT_FLOAT_EQ(parseTime("1e39"), 0.0f);
    EXPECT_FLOAT_EQ(parseTime("3e38"), 3e38f);
    EXPECT_EQ(parseInt("12.7"), 12);
    EXPECT_EQ(parseInt("  -3x"), -3);
    EXPECT_EQ(parseInt("99999999999"), 2147483647);
}

TEST(Values, ADecimalCommaLocaleDoesNotChangeHowNumbersRead)
{
    const char* name = "pl_PL.UTF-8";
    if (!std::setlocale(LC_ALL, name)) {
        std::string dir = scratchDir("locale");
        std::string cmd = "localedef -i pl_PL -f UTF-8 '" + dir + "/pl_PL.UTF-8' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) == 0) {
            setenv("LOCPATH", dir.c_str(), 1);
        }
        if (!std::setlocale(LC_ALL, name)) GTEST_SKIP() << "no Polish locale can be made here";
    }
    ASSERT_EQ(std::atof("1,5"), 1.5); // the locale really reads a comma
    EXPECT_FLOAT_EQ(parseFloat("1.5"), 1.5f);
    EXPECT_FLOAT_EQ(parseFloat("1,5"), 1.0f);
    std::setlocale(LC_ALL, "C");
}

TEST(Values, FlagsGroupsAndKeywords)
{
    using A = kvAttribute;
    kvTag tag("style", nullptr);
    tag.setAttribute("bold", "yes");
    tag.setAttribute("italic", "Yes");
    EXPECT_TRUE(readFlag(&tag, A::StyleBold));
    EXPECT_FALSE(readFlag(&tag, A::StyleItalic));
    kvTag other("style", nullptr);
    other.setAttribute("bold", "true");
    EXPECT_FALSE(readFlag(&other, A::StyleBold));
    EXPECT_FALSE(readFlag(&other, A::StyleItalic)); // missing
    EXPECT_FALSE(readFlag(nullptr, A::StyleBold));

    kvTag color("color", nullptr);
    color.setAttribute("r", "1");
    color.setAttribute("g", "0.5");
    float c[3] = {9, 9, 9};
    EXPECT_FALSE(readGroup(&color, {A::ColorR, A::ColorG, A::ColorB}, c));
    EXPECT_FLOAT_EQ(c[0], 9.0f); // untouched when incomplete
    color.setAttribute("b", "0");
    EXPECT_TRUE(readGroup(&color, {A::ColorR, A::ColorG, A::ColorB}, c));
    EXPECT_FLOAT_EQ(c[1], 0.5f);

    kvTag kw("filter", nullptr);
    kw.setText("bilinear ");
    EXPECT_EQ(readKeyword(&kw, kvElement::Filter, 0), 0);
    kw.setText("bilinear");
    EXPECT_EQ(readKeyword(&kw, kvElement::Filter, 0), 1);
}
