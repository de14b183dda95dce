#include "Platform/Vision/DepthwiseKernel.h"

#include <algorithm>
#include <cstddef>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace faciward::platform {

namespace {

using Rows = DepthwiseKernel::Rows;

int outWidthOf(const Rows &r)
{
    return (r.width - 1) / r.stride + 1;
}

// Any processor: the taps of one kernel row added to the output row at a
// time, in loops without a test inside that the compiler vectorises.
void rowsBaseline(const Rows &r)
{
    const int outWidth = outWidthOf(r), width = r.width;
    for (int oy = r.firstRow; oy < r.lastRow; ++oy) {
        float *__restrict out = r.out + std::size_t(oy - r.firstRow) * outWidth;
        std::fill_n(out, outWidth, r.bias);
        for (int ky = 0; ky < 3; ++ky) {
            const int y = oy * r.stride - 1 + ky;
            if (y < 0 || y >= r.height)
                continue;
            const float *__restrict row = r.plane + std::size_t(y) * width;
            const float k0 = r.weights[3 * ky], k1 = r.weights[3 * ky + 1], k2 = r.weights[3 * ky + 2];
            if (r.stride == 1) {
                out[0] += k1 * row[0] + (width > 1 ? k2 * row[1] : 0.f);
                for (int x = 1; x < width - 1; ++x)
                    out[x] += k0 * row[x - 1] + k1 * row[x] + k2 * row[x + 1];
                if (width > 1)
                    out[width - 1] += k0 * row[width - 2] + k1 * row[width - 1];
            } else {
                out[0] += k1 * row[0] + (width > 1 ? k2 * row[1] : 0.f);
                const int inside = (width - 2) / 2 + 1; // output columns whose three taps all lie in the row
                for (int ox = 1; ox < inside; ++ox)
                    out[ox] += k0 * row[2 * ox - 1] + k1 * row[2 * ox] + k2 * row[2 * ox + 1];
                for (int ox = std::max(inside, 1); ox < outWidth; ++ox) // the last, on an odd width
                    out[ox] += k0 * row[2 * ox - 1] + k1 * row[2 * ox];
            }
        }
        // As a sum of the two sides rather than a select, which the compiler
        // leaves scalar, branching on each value's sign.
        for (int ox = 0; ox < outWidth; ++ox)
            out[ox] = std::max(out[ox], 0.f) + r.slope * std::min(out[ox], 0.f);
    }
}

#if defined(__x86_64__) && defined(__GNUC__)

// The lanes below @p count of a vector of @p lanes, as bits.
unsigned lowLanes(long count, int lanes)
{
    return count <= 0 ? 0u : count >= lanes ? (1u << lanes) - 1 : (1u << count) - 1;
}

// Stride 1 reads a plane as one run of values, whatever its rows' width: a
// vector of outputs may span rows. Its lanes at a row's first column take no
// left tap, those at the last no right tap, and the rows above the first and
// below the last are the positions before and after the plane.
struct FlatLanes
{
    unsigned first = 0, last = 0; // lanes at a row's first, last column
    unsigned taps[3] = {};        // lanes whose row above, own row, row below exist

    // The @p lanes outputs from flat position @p i, column @p x, of the
    // plane @p r, up to flat position @p end.
    FlatLanes(const Rows &r, long i, int x, long end, int lanes)
    {
        for (int l = x == 0 ? 0 : r.width - x; l < lanes; l += r.width)
            first |= 1u << l;
        for (int l = r.width - 1 - x; l < lanes; l += r.width)
            last |= 1u << l;
        const long width = r.width, size = long(r.height) * width;
        const unsigned valid = lowLanes(end - i, lanes);
        taps[0] = valid & ~lowLanes(width - i, lanes);
        taps[1] = valid;
        taps[2] = valid & lowLanes(size - width - i, lanes);
    }
};

// Whether stride 1 walks down the plane a vector's columns at a time, each
// input vector loaded once for the three output rows that read it, rather
// than computing the plane as one run of outputs, each with its nine taps
// loaded. The vectors of a row reach past its end into the next, which the
// walk then computes twice: it pays while that is a small part of a row.
bool walkDown(int width, int lanes)
{
    return 4 * ((width + lanes - 1) / lanes * lanes) <= 5 * width;
}

// The three kernel rows' sums, activated, into the lanes @p valid of @p out.
[[gnu::target("avx512f,fma"), gnu::always_inline]] inline void store(float *out, const __m512 sums[3], __m512 slope,
                                                                     unsigned valid)
{
    __m512 sum = _mm512_add_ps(_mm512_add_ps(sums[0], sums[1]), sums[2]);
    sum = _mm512_mask_mul_ps(sum, _mm512_cmp_ps_mask(sum, _mm512_setzero_ps(), _CMP_LT_OQ), sum, slope);
    _mm512_mask_storeu_ps(out, __mmask16(valid), sum);
}

// The left, middle and right taps at @p centre of the lanes @p valid.
[[gnu::target("avx512f,fma"), gnu::always_inline]] inline void loadTaps(const float *centre, unsigned valid,
                                                                        const FlatLanes &at, __m512 taps[3])
{
    taps[0] = _mm512_maskz_loadu_ps(__mmask16(valid & ~at.first), centre - 1);
    taps[1] = _mm512_maskz_loadu_ps(__mmask16(valid), centre);
    taps[2] = _mm512_maskz_loadu_ps(__mmask16(valid & ~at.last), centre + 1);
}

[[gnu::target("avx512f,fma")]] void rowsAvx512(const Rows &r)
{
    constexpr int lanes = 16;
    const __m512 zero = _mm512_setzero_ps(), slope = _mm512_set1_ps(r.slope);
    __m512 k[9];
    for (int t = 0; t < 9; ++t)
        k[t] = _mm512_set1_ps(r.weights[t]);

    if (r.stride == 1) {
        const long width = r.width, start = r.firstRow * width, end = r.lastRow * width;
        if (walkDown(r.width, lanes)) {
            const long size = long(r.height) * width;
            for (long column = start; column < std::min(start + width, end); column += lanes) {
                const FlatLanes at(r, column, int(column - start), end, lanes);
                __m512 above[3], here[3], below[3];
                loadTaps(r.plane + column - width, ~lowLanes(width - column, lanes), at, above);
                loadTaps(r.plane + column, lowLanes(size - column, lanes), at, here);
                for (long i = column; i < end; i += width) {
                    loadTaps(r.plane + i + width, lowLanes(size - width - i, lanes), at, below);
                    __m512 sums[3];
                    const __m512 *rows[3] = {above, here, below};
                    for (int ky = 0; ky < 3; ++ky)
                        sums[ky] = _mm512_fmadd_ps(k[3 * ky], rows[ky][0],
                                                   _mm512_fmadd_ps(k[3 * ky + 1], rows[ky][1],
                                                                   _mm512_mul_ps(k[3 * ky + 2], rows[ky][2])));
                    sums[0] = _mm512_add_ps(sums[0], _mm512_set1_ps(r.bias));
                    store(r.out + (i - start), sums, slope, lowLanes(end - i, lanes));
                    for (int t = 0; t < 3; ++t) {
                        above[t] = here[t];
                        here[t] = below[t];
                    }
                }
            }
            return;
        }
        int x = 0;
        for (long i = start; i < end; i += lanes) {
            const FlatLanes at(r, i, x, end, lanes);
            __m512 sums[3];
            for (int ky = 0; ky < 3; ++ky) {
                const float *centre = r.plane + (i + (ky - 1) * width);
                const auto m = __mmask16(at.taps[ky]);
                const __m512 left = _mm512_maskz_loadu_ps(__mmask16(m & ~at.first), centre - 1);
                const __m512 middle = _mm512_maskz_loadu_ps(m, centre);
                const __m512 right = _mm512_maskz_loadu_ps(__mmask16(m & ~at.last), centre + 1);
                sums[ky] = _mm512_fmadd_ps(k[3 * ky], left,
                                           _mm512_fmadd_ps(k[3 * ky + 1], middle,
                                                           _mm512_mul_ps(k[3 * ky + 2], right)));
            }
            sums[0] = _mm512_add_ps(sums[0], _mm512_set1_ps(r.bias));
            store(r.out + (i - start), sums, slope, at.taps[1]);
            for (x += lanes; x >= r.width;)
                x -= r.width;
        }
        return;
    }

    // Stride 2: 32 input values make a vector of outputs: the even ones are
    // the middle taps, the odd ones the right taps, and the odd ones moved up
    // a lane (the last of the vector before coming in) the left taps.
    const int outWidth = outWidthOf(r);
    const __m512i evens = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odds = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    const __m512i shifted = _mm512_setr_epi32(15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30);
    for (int oy = r.firstRow; oy < r.lastRow; ++oy) {
        const float *rows[3];
        for (int ky = 0; ky < 3; ++ky) {
            const int y = 2 * oy - 1 + ky;
            rows[ky] = y >= 0 && y < r.height ? r.plane + std::size_t(y) * r.width : nullptr;
        }
        float *out = r.out + std::size_t(oy - r.firstRow) * outWidth;
        __m512 before[3] = {zero, zero, zero};
        for (int ox = 0; ox < outWidth; ox += lanes) {
            const int x = 2 * ox;
            const auto low = __mmask16(lowLanes(r.width - x, lanes));
            const auto high = __mmask16(lowLanes(r.width - x - lanes, lanes));
            __m512 sums[3] = {_mm512_set1_ps(r.bias), zero, zero};
            for (int ky = 0; ky < 3; ++ky) {
                if (!rows[ky])
                    continue;
                const __m512 a = _mm512_maskz_loadu_ps(low, rows[ky] + x);
                const __m512 b = _mm512_maskz_loadu_ps(high, rows[ky] + x + lanes);
                const __m512 middle = _mm512_permutex2var_ps(a, evens, b);
                const __m512 right = _mm512_permutex2var_ps(a, odds, b);
                const __m512 left = _mm512_permutex2var_ps(before[ky], shifted, right);
                before[ky] = right;
                sums[ky] = _mm512_fmadd_ps(k[3 * ky], left,
                                           _mm512_fmadd_ps(k[3 * ky + 1], middle,
                                                           _mm512_fmadd_ps(k[3 * ky + 2], right, sums[ky])));
            }
            store(out + ox, sums, slope, lowLanes(outWidth - ox, lanes));
        }
    }
}

// AVX2's masked loads and stores take a lane mask as a vector.
[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256i laneMask(unsigned bits)
{
    const __m256i lane = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(int(bits)), lane), lane);
}

[[gnu::target("avx2,fma"), gnu::always_inline]] inline __m256 maskedLoad(unsigned bits, const float *from)
{
    return bits == 0xFF ? _mm256_loadu_ps(from) : _mm256_maskload_ps(from, laneMask(bits));
}

[[gnu::target("avx2,fma"), gnu::always_inline]] inline void loadTaps(const float *centre, unsigned valid,
                                                                     const FlatLanes &at, __m256 taps[3])
{
    taps[0] = maskedLoad(valid & ~at.first & 0xFF, centre - 1);
    taps[1] = maskedLoad(valid, centre);
    taps[2] = maskedLoad(valid & ~at.last & 0xFF, centre + 1);
}

[[gnu::target("avx2,fma"), gnu::always_inline]] inline void store(float *out, const __m256 sums[3], __m256 slope,
                                                                  unsigned valid)
{
    __m256 sum = _mm256_add_ps(_mm256_add_ps(sums[0], sums[1]), sums[2]);
    sum = _mm256_blendv_ps(sum, _mm256_mul_ps(sum, slope), _mm256_cmp_ps(sum, _mm256_setzero_ps(), _CMP_LT_OQ));
    if (valid == 0xFF)
        _mm256_storeu_ps(out, sum);
    else
        _mm256_maskstore_ps(out, laneMask(valid), sum);
}

[[gnu::target("avx2,fma")]] void rowsAvx2(const Rows &r)
{
    constexpr int lanes = 8;
    const __m256 zero = _mm256_setzero_ps(), slope = _mm256_set1_ps(r.slope);
    __m256 k[9];
    for (int t = 0; t < 9; ++t)
        k[t] = _mm256_set1_ps(r.weights[t]);

    if (r.stride == 1) {
        const long width = r.width, start = r.firstRow * width, end = r.lastRow * width;
        if (walkDown(r.width, lanes)) { // as rowsAvx512
            const long size = long(r.height) * width;
            for (long column = start; column < std::min(start + width, end); column += lanes) {
                const FlatLanes at(r, column, int(column - start), end, lanes);
                __m256 above[3], here[3], below[3];
                loadTaps(r.plane + column - width, ~lowLanes(width - column, lanes) & 0xFF, at, above);
                loadTaps(r.plane + column, lowLanes(size - column, lanes), at, here);
                for (long i = column; i < end; i += width) {
                    loadTaps(r.plane + i + width, lowLanes(size - width - i, lanes), at, below);
                    __m256 sums[3];
                    const __m256 *rows[3] = {above, here, below};
                    for (int ky = 0; ky < 3; ++ky)
                        sums[ky] = _mm256_fmadd_ps(k[3 * ky], rows[ky][0],
                                                   _mm256_fmadd_ps(k[3 * ky + 1], rows[ky][1],
                                                                   _mm256_mul_ps(k[3 * ky + 2], rows[ky][2])));
                    sums[0] = _mm256_add_ps(sums[0], _mm256_set1_ps(r.bias));
                    store(r.out + (i - start), sums, slope, lowLanes(end - i, lanes));
                    for (int t = 0; t < 3; ++t) {
                        above[t] = here[t];
                        here[t] = below[t];
                    }
                }
            }
            return;
        }
        int x = 0;
        for (long i = start; i < end; i += lanes) {
            const FlatLanes at(r, i, x, end, lanes);
            __m256 sums[3];
            for (int ky = 0; ky < 3; ++ky) {
                const float *centre = r.plane + (i + (ky - 1) * width);
                const unsigned m = at.taps[ky];
                const __m256 left = maskedLoad(m & ~at.first, centre - 1);
                const __m256 middle = maskedLoad(m, centre);
                const __m256 right = maskedLoad(m & ~at.last, centre + 1);
                sums[ky] = _mm256_fmadd_ps(k[3 * ky], left,
                                           _mm256_fmadd_ps(k[3 * ky + 1], middle,
                                                           _mm256_mul_ps(k[3 * ky + 2], right)));
            }
            sums[0] = _mm256_add_ps(sums[0], _mm256_set1_ps(r.bias));
            store(r.out + (i - start), sums, slope, at.taps[1]);
            for (x += lanes; x >= r.width;)
                x -= r.width;
        }
        return;
    }

    // Stride 2 as in rowsAvx512, from 16 input values.
    const int outWidth = outWidthOf(r);
    const __m256i rotate = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
    for (int oy = r.firstRow; oy < r.lastRow; ++oy) {
        const float *rows[3];
        for (int ky = 0; ky < 3; ++ky) {
            const int y = 2 * oy - 1 + ky;
            rows[ky] = y >= 0 && y < r.height ? r.plane + std::size_t(y) * r.width : nullptr;
        }
        float *out = r.out + std::size_t(oy - r.firstRow) * outWidth;
        __m256 before[3] = {zero, zero, zero};
        for (int ox = 0; ox < outWidth; ox += lanes) {
            const int x = 2 * ox;
            const unsigned low = lowLanes(r.width - x, lanes), high = lowLanes(r.width - x - lanes, lanes);
            __m256 sums[3] = {_mm256_set1_ps(r.bias), zero, zero};
            for (int ky = 0; ky < 3; ++ky) {
                if (!rows[ky])
                    continue;
                const __m256 a = maskedLoad(low, rows[ky] + x);
                const __m256 b = maskedLoad(high, rows[ky] + x + lanes);
                // [a0 a2 b0 b2 a4 a6 b4 b6] → [a0 a2 a4 a6 b0 b2 b4 b6], and the odd ones alike.
                const __m256 middle = _mm256_castpd_ps(_mm256_permute4x64_pd(
                    _mm256_castps_pd(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))), _MM_SHUFFLE(3, 1, 2, 0)));
                const __m256 right = _mm256_castpd_ps(_mm256_permute4x64_pd(
                    _mm256_castps_pd(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))), _MM_SHUFFLE(3, 1, 2, 0)));
                const __m256 left = _mm256_blend_ps(_mm256_permutevar8x32_ps(right, rotate),
                                                    _mm256_permutevar8x32_ps(before[ky], rotate), 0x01);
                before[ky] = right;
                sums[ky] = _mm256_fmadd_ps(k[3 * ky], left,
                                           _mm256_fmadd_ps(k[3 * ky + 1], middle,
                                                           _mm256_fmadd_ps(k[3 * ky + 2], right, sums[ky])));
            }
            store(out + ox, sums, slope, lowLanes(outWidth - ox, lanes));
        }
    }
}

#endif

} // namespace

const std::vector<DepthwiseKernel::Version> &DepthwiseKernel::supported()
{
    static const std::vector<Version> versions = [] {
        std::vector<Version> found;
#if defined(__x86_64__) && defined(__GNUC__)
        if (runs(VectorUnit::avx512))
            found.push_back({"AVX-512", &rowsAvx512});
        if (runs(VectorUnit::avx2))
            found.push_back({"AVX2", &rowsAvx2});
#endif
        found.push_back({"baseline", &rowsBaseline});
        return found;
    }();
    return versions;
}

} // namespace faciward::platform
