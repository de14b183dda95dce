#include "Platform/Vision/LeafSum.h"

#include <cstring>

namespace faciward::platform {

namespace {

constexpr std::size_t shapeSize = LeafSum::shapeSize;

void addBaseline(float *__restrict shape, const float *const *leaves, std::size_t count)
{
    for (std::size_t t = 0; t < count; ++t) {
        const float *__restrict leaf = leaves[t];
        for (std::size_t k = 0; k < shapeSize; ++k)
            shape[k] += leaf[k];
    }
}

// The oldest x86-64's 16 vector registers cannot hold a shape; with AVX the
// shape stays in registers across all the leaves of a cascade instead of
// going through memory once per leaf.
#if defined(__x86_64__) && defined(__GNUC__)
using Floats8 = float __attribute__((vector_size(32)));
constexpr std::size_t groups = shapeSize / 8;
static_assert(shapeSize % 8 == 0);

[[gnu::always_inline]] inline void addInRegisters(float *shape, const float *const *leaves, std::size_t count)
{
    Floats8 sum[groups];
#pragma GCC unroll 17
    for (std::size_t g = 0; g < groups; ++g)
        std::memcpy(&sum[g], shape + 8 * g, sizeof(Floats8));
    for (std::size_t t = 0; t < count; ++t) {
        const float *leaf = leaves[t];
#pragma GCC unroll 17
        for (std::size_t g = 0; g < groups; ++g) {
            Floats8 value;
            std::memcpy(&value, leaf + 8 * g, sizeof(Floats8));
            sum[g] += value;
        }
    }
#pragma GCC unroll 17
    for (std::size_t g = 0; g < groups; ++g)
        std::memcpy(shape + 8 * g, &sum[g], sizeof(Floats8));
}

[[gnu::target("avx2")]] void addAvx2(float *shape, const float *const *leaves, std::size_t count)
{
    addInRegisters(shape, leaves, count);
}

// The same width (AVX-512's 32 registers hold the 17 sums of eight numbers).
[[gnu::target("avx512f,avx512vl")]] void addAvx512(float *shape, const float *const *leaves, std::size_t count)
{
    addInRegisters(shape, leaves, count);
}
#endif

} // namespace

const std::vector<LeafSum::Version> &LeafSum::supported()
{
    static const std::vector<Version> versions = [] {
        std::vector<Version> found;
#if defined(__x86_64__) && defined(__GNUC__)
        if (runs(VectorUnit::avx512))
            found.push_back({"AVX-512", &addAvx512});
        if (runs(VectorUnit::avx2))
            found.push_back({"AVX2", &addAvx2});
#endif
        found.push_back({"baseline", &addBaseline});
        return found;
    }();
    return versions;
}

} // namespace faciward::platform
