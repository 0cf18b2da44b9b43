// The decoding worker on its own: it decodes what is wanted in order, no
// more than its depth and byte bound ahead, hands each picture over once,
// drops what is no longer wanted, and reports what cannot be shown.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "image/kvPreloader.h"
#include "image/kvTexture.h"
#include "support/kvTestSupport.h"

using namespace Korvell;

namespace {

kvPictureRequest request(const char* name, int w = 0, int h = 0)
{
    kvPictureRequest r;
    r.fileName = fixture(name);
    r.neededWidth = w;
    r.neededHeight = h;
    return r;
}

// Takes the request's result, waiting for the worker up to ten seconds.
std::unique_ptr<kvTexture> waitFor(kvPreloader& p, const kvPictureRequest& r, bool* failed, std::string* why)
{
    for (int i = 0; i < 1000; ++i) {
        *failed = false;
        std::unique_ptr<kvTexture> t = p.take(r, failed, why);
        if (t || *failed) return t;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return nullptr;
}

} // namespace

TEST(Preloader, DecodesWhatIsWantedInOrderAndHandsItOverOnce)
{
    kvPreloader p(2, 64u << 20);
    const kvPictureRequest a = request("quadrants.jpg", 64, 64), b = request("alpha.png"), c = request("text.jpg");
    p.want({a, b});
    bool failed = false;
    std::string why;
    std::unique_ptr<kvTexture> ta = waitFor(p, a, &failed, &why);
    ASSERT_TRUE(ta);
    EXPECT_EQ(ta->getWidth(), 150); // half of 300 x 200 still covers 64 x 64, a quarter not
    EXPECT_NE(ta->getPixels(), nullptr);
    std::unique_ptr<kvTexture> tb = waitFor(p, b, &failed, &why);
    ASSERT_TRUE(tb);
    EXPECT_EQ(tb->getBytesPerPixel(), 4);
    EXPECT_FALSE(p.take(a, &failed, &why)); // handed over already
    // A picture that cannot be shown comes back as a failure with its reason.
    p.want({c});
    EXPECT_FALSE(waitFor(p, c, &failed, &why));
    EXPECT_TRUE(failed);
    EXPECT_EQ(why, "not a picture Korvell reads (JPEG, PNG, WebP, HEIC, AVIF)");
}

TEST(Preloader, HoldsNoMoreThanItsBoundAndDropsWhatIsNoLongerWanted)
{
    // One byte of room: the first picture is always allowed, the second
    // waits until the first is taken.
    kvPreloader p(3, 1);
    const kvPictureRequest a = request("red64.jpg"), b = request("blue64.jpg"), c = request("one.jpg");
    p.want({a, b, c});
    bool failed = false;
    std::string why;
    ASSERT_TRUE(waitFor(p, a, &failed, &why));
    ASSERT_TRUE(waitFor(p, b, &failed, &why));
    // Held, then unwanted: nothing of c is kept.
    p.holdForTests(true);
    p.want({});
    p.holdForTests(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(p.take(c, &failed, &why));
    EXPECT_FALSE(failed);
    // Depth 1: only the nearest of what is wanted is decoded ahead.
    kvPreloader shallow(1, 64u << 20);
    shallow.want({b, a});
    ASSERT_TRUE(waitFor(shallow, b, &failed, &why));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(shallow.take(a, &failed, &why));
}
