// Box averages and box blurs.
#include "image/kvResample.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/kvPictureInfo.h"
#include "image/kvTexture.h"

namespace Korvell {

void reduceInto(const uint8_t* source, int sw, int sh, size_t stride, int bpp, kvTexture& into)
{
    const int dw = into.getWidth(), dh = into.getHeight();
    const size_t pitch = static_cast<size_t>(into.getBufferWidth()) * into.getBytesPerPixel();
    uint8_t* out = into.getPixels();
    if (dw == sw && dh == sh) {
        for (int y = 0; y < sh; ++y)
            std::memcpy(out + y * pitch, source + y * stride, static_cast<size_t>(sw) * bpp);
        return;
    }
    // Each texel the mean of the source box it covers.
    std::vector<uint32_t> sum(static_cast<size_t>(dw) * bpp);
    for (int y = 0; y < dh; ++y) {
        const int y0 = static_cast<int>(static_cast<int64_t>(y) * sh / dh);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<int64_t>(y + 1) * sh / dh));
        std::fill(sum.begin(), sum.end(), 0u);
        for (int sy = y0; sy < y1; ++sy) {
            const uint8_t* row = source + sy * stride;
            for (int x = 0; x < dw; ++x) {
                const int x0 = static_cast<int>(static_cast<int64_t>(x) * sw / dw);
                const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<int64_t>(x + 1) * sw / dw));
                for (int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < bpp; ++c) sum[static_cast<size_t>(x) * bpp + c] += row[sx * bpp + c];
            }
        }
        uint8_t* o = out + y * pitch;
        for (int x = 0; x < dw; ++x) {
            const int x0 = static_cast<int>(static_cast<int64_t>(x) * sw / dw);
            const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<int64_t>(x + 1) * sw / dw));
            const uint32_t n = static_cast<uint32_t>((x1 - x0) * (y1 - y0));
            for (int c = 0; c < bpp; ++c)
                o[x * bpp + c] = static_cast<uint8_t>((sum[static_cast<size_t>(x) * bpp + c] + n / 2) / n);
        }
    }
}

bool makeBlurred(const kvTexture& picture, kvTexture& into)
{
    const int pw = picture.getWidth(), ph = picture.getHeight(), bpp = picture.getBytesPerPixel();
    if (!picture.getPixels() || pw <= 0 || ph <= 0) return false;
    const int w = pw >= ph ? std::min(pw, kBlurSide) : std::max(1, std::min(pw, kBlurSide) * pw / ph);
    const int h = ph > pw ? std::min(ph, kBlurSide) : std::max(1, std::min(ph, kBlurSide) * ph / pw);
    kvTexture small;
    if (!small.createBuffer(w, h, bpp * 8, bufferSide(w), bufferSide(h))) return false;
    reduceInto(picture.getPixels(), pw, ph, static_cast<size_t>(picture.getBufferWidth()) * bpp, bpp, small);
    if (!into.create(w, h, 24)) return false;
    // Over black, then three passes of a 3 x 3 box (about a Gaussian), and
    // darkened, so the sharp picture stands out from it.
    std::vector<float> a(static_cast<size_t>(w) * h * 3), b(a.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* s = small.getPixels() + (static_cast<size_t>(y) * small.getBufferWidth() + x) * bpp;
            const float alpha = bpp == 4 ? s[3] / 255.0f : 1.0f;
            for (int c = 0; c < 3; ++c) a[(static_cast<size_t>(y) * w + x) * 3 + c] = s[c] * alpha;
        }
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    float sum = 0.0f;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int sx = std::min(std::max(x + dx, 0), w - 1), sy = std::min(std::max(y + dy, 0), h - 1);
                            sum += a[(static_cast<size_t>(sy) * w + sx) * 3 + c];
                        }
                    b[(static_cast<size_t>(y) * w + x) * 3 + c] = sum / 9.0f;
                }
        a.swap(b);
    }
    const float darken = 0.55f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                into.getPixels()[(static_cast<size_t>(y) * into.getBufferWidth() + x) * 3 + c] =
                    static_cast<uint8_t>(a[(static_cast<size_t>(y) * w + x) * 3 + c] * darken + 0.5f);
    into.extendEdges();
    return true;
}

} // namespace Korvell
