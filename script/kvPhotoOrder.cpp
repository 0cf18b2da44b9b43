// Photo order: EXIF dates read by hand (they are fixed-width text), the
// natural comparison, and a shuffle of our own so that a seed orders alike
// whatever the standard library.
#include "script/kvPhotoOrder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace Korvell {

namespace {

bool digits(const std::string& s, size_t at, size_t n, int* value)
{
    if (at + n > s.size()) return false;
    int v = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    *value = v;
    return true;
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Trailing blanks and NULs, which cameras pad their fields with, go.
std::string trimmed(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\0')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\0')) --e;
    return s.substr(b, e - b);
}

uint64_t splitMix(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

bool takenSeconds(const std::string& takenText, const std::string& subSeconds, const std::string& offsetText,
                  double* seconds)
{
    const std::string taken = trimmed(takenText);
    int y, mo, d, h, mi, s;
    // "YYYY:MM:DD HH:MM:SS"; some writers use '-' in the date.
    if (taken.size() < 19 || !digits(taken, 0, 4, &y) || !digits(taken, 5, 2, &mo) || !digits(taken, 8, 2, &d)
        || !digits(taken, 11, 2, &h) || !digits(taken, 14, 2, &mi) || !digits(taken, 17, 2, &s))
        return false;
    if (y < 1800 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return false;
    double fraction = 0.0;
    const std::string sub = trimmed(subSeconds);
    double scale = 0.1;
    for (size_t i = 0; i < sub.size() && i < 9 && sub[i] >= '0' && sub[i] <= '9'; ++i, scale /= 10)
        fraction += (sub[i] - '0') * scale;
    const std::string offset = trimmed(offsetText);
    int oh, om;
    const long long wall = daysFromCivil(y, mo, d) * 86400LL + h * 3600 + mi * 60 + s;
    if (offset.size() >= 6 && (offset[0] == '+' || offset[0] == '-') && digits(offset, 1, 2, &oh) && offset[3] == ':'
        && digits(offset, 4, 2, &om) && oh <= 14 && om < 60) {
        const int sign = offset[0] == '-' ? -1 : 1;
        *seconds = static_cast<double>(wall - sign * (oh * 3600 + om * 60)) + fraction;
        return true;
    }
    // No offset: the camera's clock was local time, taken as this machine's.
    struct tm t = {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    const time_t local = mktime(&t);
    *seconds = (local == static_cast<time_t>(-1) ? static_cast<double>(wall) : static_cast<double>(local)) + fraction;
    return true;
}

double orderTime(const kvPhoto& photo)
{
    double t;
    return takenSeconds(photo.taken, photo.subSeconds, photo.offset, &t) ? t : photo.fileTime;
}

std::string describeTime(const kvPhoto& photo)
{
    double t;
    if (takenSeconds(photo.taken, photo.subSeconds, photo.offset, &t)) {
        const std::string taken = trimmed(photo.taken);
        std::string text = taken.substr(0, 4) + "-" + taken.substr(5, 2) + "-" + taken.substr(8, 2) + " "
                           + taken.substr(11, 8);
        std::string sub;
        for (char c : trimmed(photo.subSeconds))
            if (c >= '0' && c <= '9') sub += c; else break;
        if (!sub.empty()) text += "." + sub;
        const std::string offset = trimmed(photo.offset);
        if (!offset.empty() && (offset[0] == '+' || offset[0] == '-')) text += " " + offset.substr(0, 6);
        return "taken " + text;
    }
    const time_t file = static_cast<time_t>(photo.fileTime);
    struct tm local = {};
    char buffer[64] = "";
    if (localtime_r(&file, &local)) std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return std::string("no date taken; file time ") + buffer;
}

int naturalCompare(const std::string& a, const std::string& b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = a[i] >= '0' && a[i] <= '9', db = b[j] >= '0' && b[j] <= '9';
        if (da && db) {
            // Numbers by value: leading zeros skipped, then length, then digits.
            size_t ia = i, jb = j;
            while (ia < a.size() && a[ia] == '0') ++ia;
            while (jb < b.size() && b[jb] == '0') ++jb;
            size_t ea = ia, eb = jb;
            while (ea < a.size() && a[ea] >= '0' && a[ea] <= '9') ++ea;
            while (eb < b.size() && b[eb] >= '0' && b[eb] <= '9') ++eb;
            if (ea - ia != eb - jb) return ea - ia < eb - jb ? -1 : 1;
            const int c = a.compare(ia, ea - ia, b, jb, eb - jb);
            if (c != 0) return c < 0 ? -1 : 1;
            // Equal values: fewer leading zeros first ("1" before "01").
            if (ia - i != jb - j) return ia - i < jb - j ? -1 : 1;
            i = ea;
            j = eb;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

void orderPhotos(std::vector<kvPhoto>& photos, kvPhotoOrder order, uint64_t seed)
{
    // Indices sorted, the photos moved once at the end: a roll of
    // thousands would otherwise move every photo's strings at every step.
    std::vector<size_t> at(photos.size());
    for (size_t i = 0; i < at.size(); ++i) at[i] = i;
    // By name first: the order the others fall back on, and a shuffle's
    // starting point, so that a seed does not depend on how the folder
    // listed its files.
    std::stable_sort(at.begin(), at.end(), [&](size_t a, size_t b) {
        const int c = naturalCompare(photos[a].name, photos[b].name);
        return c != 0 ? c < 0 : photos[a].path < photos[b].path;
    });
    if (order == kvPhotoOrder::Taken) {
        std::vector<double> time(photos.size());
        for (size_t i = 0; i < photos.size(); ++i) time[i] = orderTime(photos[i]);
        std::stable_sort(at.begin(), at.end(), [&](size_t a, size_t b) { return time[a] < time[b]; });
    } else if (order == kvPhotoOrder::Random) {
        uint64_t state = seed;
        for (size_t i = at.size(); i > 1; --i) {
            const size_t j = static_cast<size_t>(splitMix(state) % i);
            std::swap(at[i - 1], at[j]);
        }
    }
    std::vector<kvPhoto> sorted;
    sorted.reserve(photos.size());
    for (size_t i : at) sorted.push_back(std::move(photos[i]));
    photos.swap(sorted);
}

} // namespace Korvell
