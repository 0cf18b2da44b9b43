// Where a picture's focus is: its faces with their heads, or its busiest
// third; the faces come from kvFaceDetector.
#include "image/kvFocusFinder.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "image/kvFaceDetector.h"
#include "image/kvTexture.h"

namespace Korvell {

namespace {

// The picture's luma, box-averaged down to at most `side` pixels long.
std::vector<uint8_t> greyCopy(const kvTexture& t, int side, int& w, int& h)
{
    const int sw = t.getWidth(), sh = t.getHeight(), bpp = t.getBytesPerPixel();
    const int step = std::max(1, (std::max(sw, sh) + side - 1) / side);
    w = std::max(1, sw / step);
    h = std::max(1, sh / step);
    std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
    const size_t pitch = static_cast<size_t>(t.getBufferWidth()) * bpp;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned sum = 0;
            for (int dy = 0; dy < step; ++dy) {
                const uint8_t* p = t.getPixels() + static_cast<size_t>(y * step + dy) * pitch + static_cast<size_t>(x * step) * bpp;
                for (int dx = 0; dx < step; ++dx, p += bpp) sum += (77u * p[0] + 150u * p[1] + 29u * p[2]) >> 8;
            }
            grey[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(sum / (step * step));
        }
    return grey;
}

// The third of the picture (each way) with the most detail: the sum of
// gradient magnitudes, by an integral image over a small copy.
kvRegion busiest(const std::vector<uint8_t>& grey, int w, int h)
{
    std::vector<double> sum(static_cast<size_t>(w + 1) * (h + 1), 0.0);
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            const uint8_t* p = &grey[static_cast<size_t>(y) * w + x];
            const double g = std::abs(p[1] - p[-1]) + std::abs(p[w] - p[-w]);
            sum[static_cast<size_t>(y + 1) * (w + 1) + x + 1] = g;
        }
    for (int y = 1; y <= h; ++y)
        for (int x = 1; x <= w; ++x)
            sum[static_cast<size_t>(y) * (w + 1) + x] += sum[static_cast<size_t>(y - 1) * (w + 1) + x]
                                                         + sum[static_cast<size_t>(y) * (w + 1) + x - 1]
                                                         - sum[static_cast<size_t>(y - 1) * (w + 1) + x - 1];
    const int bw = std::max(1, w / 3), bh = std::max(1, h / 3);
    double best = -1;
    int bx = (w - bw) / 2, by = (h - bh) / 2;
    for (int y = 0; y + bh <= h; ++y)
        for (int x = 0; x + bw <= w; ++x) {
            auto at = [&](int xx, int yy) { return sum[static_cast<size_t>(yy) * (w + 1) + xx]; };
            const double e = at(x + bw, y + bh) - at(x, y + bh) - at(x + bw, y) + at(x, y);
            if (e > best) {
                best = e;
                bx = x;
                by = y;
            }
        }
    kvRegion r;
    r.x = static_cast<float>(bx) / w;
    r.y = static_cast<float>(by) / h;
    r.width = static_cast<float>(bw) / w;
    r.height = static_cast<float>(bh) / h;
    return r;
}

} // namespace

kvPictureFocus findFocus(const kvTexture& picture)
{
    kvPictureFocus found;
    if (!picture.getPixels() || picture.getWidth() < 2 || picture.getHeight() < 2) return found;
    int w = 0, h = 0;
    const std::vector<uint8_t> grey = greyCopy(picture, kFocusSide, w, h);
    for (const kvRegion& f : detectFaces(grey, w, h)) {
        // The detector's box runs from the brows to the chin: the head and
        // hair are kept too.
        kvRegion head;
        head.x = f.x - 0.2f * f.width;
        head.y = f.y - 0.35f * f.height;
        head.width = 1.4f * f.width;
        head.height = 1.5f * f.height;
        found.region = found.region.unite(head.clipped());
        ++found.faces;
    }
    if (found.faces == 0) {
        int sw = 0, sh = 0;
        const std::vector<uint8_t> small = greyCopy(picture, 96, sw, sh);
        found.region = busiest(small, sw, sh);
    }
    return found;
}

} // namespace Korvell
