#include "Faciward/Presence/Recognition/Similarity.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace faciward::presence {

namespace {

// Sums run in index order from 0.0, one addition per element, so that results
// are the same to the last bit on every machine (no reordering, no fast-math).
double dot(const std::vector<double> &a, const std::vector<double> &b)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += a[i] * b[i];
    return sum;
}

double norm(const std::vector<double> &x)
{
    return std::sqrt(dot(x, x));
}

// A sum of squares that is zero or subnormal has lost its precision (a stored
// embedding of 1e-200s underflows to a norm of 0, and the cosine of it to +inf),
// and one that is infinite or not a number has none: such a vector has no
// direction to compare.
bool hasDirection(double sumOfSquares)
{
    return std::isfinite(sumOfSquares) && sumOfSquares >= std::numeric_limits<double>::min();
}

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// A vector seen as a set: its distinct numbers (0 and -0 are one) and how many
// NaNs it holds, each of which is an element of its own that equals nothing.
struct ValueSet
{
    std::vector<double> numbers;
    std::size_t nans = 0;

    explicit ValueSet(const std::vector<double> &values)
    {
        for (double v : values) {
            if (std::isnan(v))
                ++nans;
            else
                numbers.push_back(v);
        }
        std::sort(numbers.begin(), numbers.end());
        numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    }

    double size() const { return static_cast<double>(numbers.size() + nans); }
};

double commonCount(const ValueSet &a, const ValueSet &b)
{
    std::size_t common = 0;
    for (double v : a.numbers)
        common += std::binary_search(b.numbers.begin(), b.numbers.end(), v) ? 1 : 0;
    return static_cast<double>(common);
}

double jaccardIndex(const std::vector<double> &a, const std::vector<double> &b)
{
    const ValueSet sa(a), sb(b);
    const double common = commonCount(sa, sb);
    return common / (sa.size() + sb.size() - common);
}

} // namespace

double Similarity::score(const std::vector<double> &a, const std::vector<double> &b) const
{
    if (currentSimMode.empty())
        return -1;
    const SimilarityMode mode = currentSimMode.back();
    const bool bailsOnEmpty = bailOnEmptyInput.contains(mode);

    if (a.empty() != b.empty() && bailsOnEmpty)
        return -1;
    if (a.empty() && b.empty() && !(allowEmptyInputs.contains(mode) && !bailsOnEmpty))
        return -1;

    if (encforceEqualVectorSizes.contains(mode) && a.size() != b.size()) {
        if (currentMismatchMode.empty() || currentMismatchMode.back() == VectorSizeMismatchMode::bail)
            return -1;
        const bool aShorter = a.size() < b.size();
        const std::vector<double> &shorter = aShorter ? a : b;
        const std::vector<double> &longer = aShorter ? b : a;
        const std::vector<double> cut(longer.begin(), longer.begin() + static_cast<std::ptrdiff_t>(shorter.size()));
        return score(shorter, cut);
    }

    switch (mode) {
    case SimilarityMode::cosine: {
        // Walks a and reads b at the same places: refused when b is shorter or
        // either is empty, which only a changed rule set lets through.
        if (a.empty() || b.size() < a.size())
            return -1;
        const double aa = dot(a, a);
        const double bb = dot(b, b);
        if (!hasDirection(aa) || !hasDirection(bb))
            return notANumber;
        const double cosine = dot(a, b) / (std::sqrt(aa) * std::sqrt(bb));
        return std::isfinite(cosine) ? cosine : notANumber;
    }
    case SimilarityMode::tanimoto: {
        if (a.empty() || b.size() < a.size())
            return -1;
        const double d = dot(a, b);
        const double na = norm(a);
        const double nb = norm(b);
        const double tanimoto = d / ((na * na + nb * nb) - d);
        return std::isfinite(tanimoto) ? tanimoto : notANumber;
    }
    case SimilarityMode::ochiai: {
        const ValueSet sa(a), sb(b);
        return commonCount(sa, sb) / std::sqrt(sa.size() * sb.size());
    }
    case SimilarityMode::jaccardIndex:
        return jaccardIndex(a, b);
    case SimilarityMode::jaccardDistance:
        return 1 - jaccardIndex(a, b);
    case SimilarityMode::dice: {
        const ValueSet sa(a), sb(b);
        const double common = commonCount(sa, sb);
        return (common + common) / (sa.size() + sb.size());
    }
    case SimilarityMode::hamming: {
        if (b.size() < a.size())
            return -1;
        double differing = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!(a[i] == b[i]))
                differing += 1;
        }
        return differing;
    }
    }
    return -1;
}

} // namespace faciward::presence
