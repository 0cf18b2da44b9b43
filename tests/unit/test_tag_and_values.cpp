// The tag tree and the value rules every handler shares.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "script/kvTag.h"
#include "script/kvSchema.h"
#include "script/kvValues.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

TEST(Tag, AttributesLookupsAndText)
{
    kvTagTree tree;
    const char* attributes[] = {"time", "5", "zoom", "2", nullptr};
    kvTag* tag = tree.add("image", nullptr, attributes);
    kvTag* plain = tree.add("file", tag);
    std::string out = "untouched";
    EXPECT_FALSE(tag->getAttribute("x", out));
    EXPECT_FALSE(plain->getAttribute("time", out));
    EXPECT_EQ(out, "untouched");
    EXPECT_TRUE(tag->getAttribute("zoom", out));
    EXPECT_EQ(out, "2");
    ASSERT_EQ(tag->getAttributes().size(), 2u);
    EXPECT_EQ(tag->getAttributes().begin()->first, "time");
    EXPECT_EQ(plain->getAttributes().size(), 0u);
    tag->setText("first");
    tag->setText("second");
    tag->appendText(" and third", 10);
    EXPECT_EQ(tag->getText(), "second and third");
}

TEST(Tag, FindChildIsExactFirstAndDirect)
{
    kvTagTree tree;
    kvTag* root = tree.add("image", nullptr);
    kvTag* zoom1 = tree.add("zoom", root);
    tree.add("zoom", root);
    kvTag* move = tree.add("move", root);
    tree.add("deep", move);
    EXPECT_EQ(zoom1->getParent(), root);
    EXPECT_EQ(root->findChild("zoom"), zoom1);
    EXPECT_EQ(root->findChild("Zoom"), nullptr);
    EXPECT_EQ(root->findChild("deep"), nullptr);
    EXPECT_EQ(root->getChildren().size(), 3u);
    std::string order;
    for (const kvTag* c : root->getChildren()) order += c->getName() + " ";
    EXPECT_EQ(order, "zoom zoom move ");
}

TEST(Tag, ADeepTreeGoesWithoutRecursionAndItsTagsStayPut)
{
    std::unique_ptr<kvTagTree> tree(new kvTagTree);
    kvTag* root = tree->add("a", nullptr);
    kvTag* t = root;
    for (int i = 0; i < 1000000; ++i) t = tree->add("a", t);
    // Made in blocks: the first tag is where it was, its one child the second.
    EXPECT_EQ(root->getName(), "a");
    EXPECT_EQ(root->getChildren().size(), 1u);
    EXPECT_EQ(tree->size(), 1000001u);
    tree.reset(); // would overflow the stack if its tags went recursively
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

// Every decimal the script may hold reads to strtod's very double: short
// ones by the quick way, long ones, exponents and extremes by the full one.
TEST(Values, DecimalsReadToStrtodsOwnValue)
{
    std::vector<std::string> texts = {"0", "-0", "+7", "0.1", "1.1", ".5", "5.", "-0.000001", "123456789012345",
                                      "1234567890123456", "0.123456789012345", "9007199254740993", "1e22",
                                      "2.5e-3", "1e-320", "1e999", "-1e999", "4.9e-324", "179769313486231570e291"};
    unsigned seed = 7;
    auto next = [&seed]() { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int n = 0; n < 20000; ++n) {
        std::string t = next() % 4 == 0 ? "-" : "";
        const int digits = 1 + static_cast<int>(next() % 20), point = static_cast<int>(next() % (digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point && next() % 2) t += '.';
            t += static_cast<char>('0' + next() % 10);
        }
        if (next() % 8 == 0) t += "e" + std::to_string(static_cast<int>(next() % 80) - 40);
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        size_t used = 0;
        const double mine = parseDecimal(t, &used), theirs = std::strtod(t.c_str(), nullptr);
        ASSERT_EQ(used, t.size()) << t;
        ASSERT_EQ(std::memcmp(&mine, &theirs, sizeof mine), 0) << t << ": " << mine << " against " << theirs;
    }
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
    kvTagTree tree;
    const char* style[] = {"bold", "yes", "italic", "Yes", nullptr};
    const kvTag* tag = tree.add("style", nullptr, style);
    EXPECT_TRUE(readFlag(tag, A::StyleBold));
    EXPECT_FALSE(readFlag(tag, A::StyleItalic));
    const char* otherStyle[] = {"bold", "true", nullptr};
    const kvTag* other = tree.add("style", nullptr, otherStyle);
    EXPECT_FALSE(readFlag(other, A::StyleBold));
    EXPECT_FALSE(readFlag(other, A::StyleItalic)); // missing
    EXPECT_FALSE(readFlag(nullptr, A::StyleBold));

    const char* partColour[] = {"r", "1", "g", "0.5", nullptr};
    const char* wholeColour[] = {"r", "1", "g", "0.5", "b", "0", nullptr};
    float c[3] = {9, 9, 9};
    EXPECT_FALSE(readGroup(tree.add("color", nullptr, partColour), {A::ColorR, A::ColorG, A::ColorB}, c));
    EXPECT_FLOAT_EQ(c[0], 9.0f); // untouched when incomplete
    EXPECT_TRUE(readGroup(tree.add("color", nullptr, wholeColour), {A::ColorR, A::ColorG, A::ColorB}, c));
    EXPECT_FLOAT_EQ(c[1], 0.5f);

    kvTag* kw = tree.add("filter", nullptr);
    kw->setText("bilinear ");
    EXPECT_EQ(readKeyword(kw, kvElement::Filter, 0), 0);
    kw->setText("bilinear");
    EXPECT_EQ(readKeyword(kw, kvElement::Filter, 0), 1);
}
