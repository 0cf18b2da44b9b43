// The conversion's arithmetic: BT.709 coefficients scaled to limited range
// (Y 16 to 235, U and V 16 to 240), in 16-bit fixed point, rounded. Where
// the processor has AVX2, eight pixels of two rows at a time, with the
// same integer arithmetic, so both ways give the same bytes.
#include "export/kvYuvConverter.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KV_YUV_AVX2 1
#endif

namespace Korvell {

namespace {

// 219 / 255 and 224 / 255 of Kr = 0.2126, Kb = 0.0722 and their colour
// differences, times 65536.
const int kYr = 11966, kYg = 40254, kYb = 4064;
const int kUr = -6596, kUg = -22189, kUb = 28784;
const int kVr = 28784, kVg = -26145, kVb = -2639;
const int kYBias = (16 << 16) + (1 << 15);
const int kCBias = (128 << 18) + (1 << 17);

inline uint8_t luma(const uint8_t* p)
{
    return static_cast<uint8_t>((kYr * p[2] + kYg * p[1] + kYb * p[0] + kYBias) >> 16);
}

// Pixels [from, to) of a pair of rows; `from` and `to` even.
void convertSpan(const uint8_t* a, const uint8_t* b, uint8_t* ya, uint8_t* yb, uint8_t* u, uint8_t* v, int from,
                 int to)
{
    for (int x = from; x < to; ++x) {
        ya[x] = luma(a + 4 * x);
        yb[x] = luma(b + 4 * x);
    }
    for (int x = from; x + 1 < to; x += 2) {
        // The 2 x 2 block's mean colour, kept as a sum of four.
        const int r = a[4 * x + 2] + a[4 * x + 6] + b[4 * x + 2] + b[4 * x + 6];
        const int g = a[4 * x + 1] + a[4 * x + 5] + b[4 * x + 1] + b[4 * x + 5];
        const int bl = a[4 * x] + a[4 * x + 4] + b[4 * x] + b[4 * x + 4];
        u[x / 2] = static_cast<uint8_t>((kUr * r + kUg * g + kUb * bl + kCBias) >> 18);
        v[x / 2] = static_cast<uint8_t>((kVr * r + kVg * g + kVb * bl + kCBias) >> 18);
    }
}

#ifdef KV_YUV_AVX2
// kr * r + kg * g + kb * b, biased and shifted down, in each 32-bit lane.
__attribute__((target("avx2"))) inline __m256i weighted(__m256i r, __m256i g, __m256i b, int kr, int kg, int kb,
                                                        int bias, int shift)
{
    __m256i sum = _mm256_mullo_epi32(r, _mm256_set1_epi32(kr));
    sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(g, _mm256_set1_epi32(kg)));
    sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(b, _mm256_set1_epi32(kb)));
    return _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(bias)), shift);
}

// The low bytes of the lanes picked by `order` (all eight, or the first
// four), in order, to memory.
__attribute__((target("avx2"))) inline void storeLowBytes(uint8_t* to, __m256i lanes, __m256i order, int count)
{
    const __m256i picked = _mm256_permutevar8x32_epi32(lanes, order);
    const __m128i first = _mm256_castsi256_si128(picked);
    const __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(first, _mm256_extracti128_si256(picked, 1)), first);
    __builtin_memcpy(to, &bytes, static_cast<size_t>(count));
}

// Two rows, eight pixels at a time; the rest (fewer than eight) the plain way.
__attribute__((target("avx2"))) void convertRowsAvx2(const uint8_t* a, const uint8_t* b, uint8_t* ya, uint8_t* yb,
                                                       uint8_t* u, uint8_t* v, int width)
{
    const __m256i low = _mm256_set1_epi32(0xff);
    const __m256i inOrder = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    // After hadd each half holds its two blocks twice: blocks 0, 1, 0, 1 | 2, 3, 2, 3.
    const __m256i blocks = _mm256_setr_epi32(0, 1, 4, 5, 0, 1, 4, 5);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 4 * x));
        const __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 4 * x));
        const __m256i ba = _mm256_and_si256(pa, low), ga = _mm256_and_si256(_mm256_srli_epi32(pa, 8), low),
                      ra = _mm256_and_si256(_mm256_srli_epi32(pa, 16), low);
        const __m256i bb = _mm256_and_si256(pb, low), gb = _mm256_and_si256(_mm256_srli_epi32(pb, 8), low),
                      rb = _mm256_and_si256(_mm256_srli_epi32(pb, 16), low);
        storeLowBytes(ya + x, weighted(ra, ga, ba, kYr, kYg, kYb, kYBias, 16), inOrder, 8);
        storeLowBytes(yb + x, weighted(rb, gb, bb, kYr, kYg, kYb, kYBias, 16), inOrder, 8);
        // Each block's sum of four: the rows added, then neighbours.
        __m256i r = _mm256_add_epi32(ra, rb), g = _mm256_add_epi32(ga, gb), bl = _mm256_add_epi32(ba, bb);
        r = _mm256_hadd_epi32(r, r);
        g = _mm256_hadd_epi32(g, g);
        bl = _mm256_hadd_epi32(bl, bl);
        storeLowBytes(u + x / 2, weighted(r, g, bl, kUr, kUg, kUb, kCBias, 18), blocks, 4);
        storeLowBytes(v + x / 2, weighted(r, g, bl, kVr, kVg, kVb, kCBias, 18), blocks, 4);
    }
    convertSpan(a, b, ya, yb, u, v, x, width);
}

#endif

} // namespace

void bgraToYuv420(const uint8_t* bgra, int stride, int width, int height, const kvYuvPlanes& out)
{
#ifdef KV_YUV_AVX2
    const bool avx2 = __builtin_cpu_supports("avx2");
#endif
    for (int row = 0; row + 1 < height; row += 2) {
        const uint8_t* a = bgra + static_cast<long>(row) * stride;
        const uint8_t* b = a + stride;
        uint8_t* ya = out.y + static_cast<long>(row) * out.yStride;
        uint8_t* yb = ya + out.yStride;
        uint8_t* u = out.u + static_cast<long>(row / 2) * out.uStride;
        uint8_t* v = out.v + static_cast<long>(row / 2) * out.vStride;
#ifdef KV_YUV_AVX2
        if (avx2) {
            convertRowsAvx2(a, b, ya, yb, u, v, width);
            continue;
        }
#endif
        convertSpan(a, b, ya, yb, u, v, 0, width);
    }
}

} // namespace Korvell
