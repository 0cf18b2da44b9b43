// The order of a folder show: dates taken with sub-seconds and offsets,
// local times, missing and nonsense dates falling back on the file's time,
// natural names for ties, and shuffles a seed repeats.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "script/kvPhotoOrder.h"

using namespace Korvell;

namespace {

struct Zone {
    explicit Zone(const char* tz)
    {
        const char* was = getenv("TZ");
        had = was != nullptr;
        if (had) old = was;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~Zone()
    {
        if (had)
            setenv("TZ", old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool had;
    std::string old;
};

kvPhoto photo(const char* name, const char* taken, const char* sub = "", const char* offset = "", double file = 0)
{
    kvPhoto p;
    p.name = p.path = name;
    p.taken = taken;
    p.subSeconds = sub;
    p.offset = offset;
    p.fileTime = file;
    return p;
}

std::string names(const std::vector<kvPhoto>& photos)
{
    std::string s;
    for (const kvPhoto& p : photos) s += (s.empty() ? "" : " ") + p.name;
    return s;
}

// 2024-01-01 00:00:00 UTC.
const double kNewYear = 1704067200.0;

} // namespace

TEST(PhotoOrder, ByTheTimeTakenThenByNaturalNames)
{
    // Five hours behind UTC: a date without an offset is local time.
    Zone zone("EST5");
    struct Case {
        const char* what;
        std::vector<kvPhoto> photos;
        const char* taken; // the order taken
        const char* byName;
    } const cases[] = {
        {"sub-seconds order photos of one second",
         {photo("a", "2024:01:01 12:00:00", "5", "+00:00"), photo("b", "2024:01:01 12:00:00", "25", "+00:00"),
          photo("c", "2024:01:01 12:00:00", "", "+00:00")},
         "c b a", "a b c"},
        {"offsets make the times comparable",
         {photo("home", "2024:01:01 10:00:00", "", "+02:00"), photo("away", "2024:01:01 09:30:00", "", "+00:00"),
          photo("west", "2024:01:01 04:15:00", "", "-05:00")},
         "home west away", "away home west"},
        {"without an offset a date is this machine's local time",
         {photo("dated", "2024:01:01 00:00:00"), photo("file", "", "", "", kNewYear + 4 * 3600)},
         "file dated", "dated file"},
        {"no date: the file's time, among the dates",
         {photo("late", "2024:01:01 12:00:00", "", "+00:00"), photo("undated", "", "", "", kNewYear + 11 * 3600),
          photo("early", "2024:01:01 10:00:00", "", "+00:00")},
         "early undated late", "early late undated"},
        {"nonsense dates count as none",
         {photo("zero", "0000:00:00 00:00:00", "", "", kNewYear + 3), photo("blank", "                   ", "", "", kNewYear + 2),
          photo("month13", "2024:13:01 00:00:00", "", "", kNewYear + 1), photo("short", "2024:01:01", "", "", kNewYear)},
         "short month13 blank zero", "blank month13 short zero"},
        {"ties by natural name, numbers by value",
         {photo("img10", "2024:05:06 07:08:09"), photo("img2", "2024:05:06 07:08:09"), photo("IMG_1", "2024:05:06 07:08:09"),
          photo("img02", "2024:05:06 07:08:09")},
         "IMG_1 img2 img02 img10", "IMG_1 img2 img02 img10"},
        {"subfolders as parts of the name",
         {photo("b/img1", "", "", "", 5), photo("a/img10", "", "", "", 5), photo("a/img2", "", "", "", 5)},
         "a/img2 a/img10 b/img1", "a/img2 a/img10 b/img1"},
        {"padded fields, as cameras write them",
         {photo("pad", "2024:01:01 12:00:00 ", "50 ", " +01:00", 0), photo("plain", "2024:01:01 11:30:00", "", "+00:00")},
         "pad plain", "pad plain"},
    };
    for (const Case& c : cases) {
        std::vector<kvPhoto> taken = c.photos, byName = c.photos;
        orderPhotos(taken, kvPhotoOrder::Taken, 0);
        orderPhotos(byName, kvPhotoOrder::Name, 0);
        EXPECT_EQ(names(taken), c.taken) << c.what;
        EXPECT_EQ(names(byName), c.byName) << c.what;
    }

    double t = 0;
    ASSERT_TRUE(takenSeconds("2024:01:01 00:00:00", "125", "+01:00", &t));
    EXPECT_DOUBLE_EQ(t, kNewYear - 3600 + 0.125);
    EXPECT_EQ(describeTime(photo("x", "2024:05:06 07:08:09", "25", "+02:00")), "taken 2024-05-06 07:08:09.25 +02:00");
    EXPECT_EQ(describeTime(photo("x", "", "", "", kNewYear)), "no date taken; file time 2023-12-31 19:00:00");
}

TEST(PhotoOrder, ASeedShufflesAlikeWhateverTheFolderListedFirst)
{
    std::vector<kvPhoto> photos;
    for (int i = 0; i < 30; ++i) photos.push_back(photo(("p" + std::to_string(i)).c_str(), ""));
    std::vector<kvPhoto> a = photos, b(photos.rbegin(), photos.rend()), c = photos;
    orderPhotos(a, kvPhotoOrder::Random, 42);
    orderPhotos(b, kvPhotoOrder::Random, 42);
    orderPhotos(c, kvPhotoOrder::Random, 43);
    EXPECT_EQ(names(a), names(b));
    EXPECT_NE(names(a), names(c));
    std::vector<kvPhoto> sorted = a;
    orderPhotos(sorted, kvPhotoOrder::Name, 0);
    std::vector<kvPhoto> expected = photos;
    orderPhotos(expected, kvPhotoOrder::Name, 0);
    EXPECT_EQ(names(sorted), names(expected)) << "a shuffle keeps every photo once";
    EXPECT_NE(names(a), names(expected));
}
