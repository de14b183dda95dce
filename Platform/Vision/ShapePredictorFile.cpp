#include "Platform/Vision/ShapePredictorFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>

namespace faciward::platform {

namespace {

constexpr int powerRange = 400;

const std::vector<double> &powersOfTwo()
{
    static const std::vector<double> powers = [] {
        std::vector<double> p(2 * powerRange + 1);
        for (int e = -powerRange; e <= powerRange; ++e)
            p[std::size_t(e + powerRange)] = std::ldexp(1.0, e);
        return p;
    }();
    return powers;
}

// A cursor over the file's bytes that decodes dlib's formats: integers as a
// control byte (byte count, 0x80 for negative) and that many little-endian
// bytes; floating-point numbers as an integer mantissa and exponent.
class Decoder
{
public:
    explicit Decoder(const std::vector<unsigned char> &bytes)
        : m_at(bytes.data())
        , m_end(bytes.data() + bytes.size())
        , m_powers(powersOfTwo().data() + powerRange)
    {
    }

    // Inlined: called for each of the file's 33 million integers, and its
    // checks fold away where the arguments are constants.
    [[gnu::always_inline]] std::int64_t integer(bool isSigned, std::size_t maxBytes)
    {
        need(1);
        const unsigned char control = *m_at++;
        const std::size_t size = control & 0x0F;
        const bool negative = (control & 0x80) != 0;
        if (size == 0 || size > maxBytes || (negative && !isSigned))
            throw dlib::serialization_error("damaged integer in a shape predictor file");
        need(size);
        std::uint64_t value = 0;
        if (std::endian::native == std::endian::little && remaining() >= sizeof value) {
            // One load of eight bytes, those past the integer masked off.
            std::memcpy(&value, m_at, sizeof value);
            if (size < sizeof value)
                value &= (std::uint64_t(1) << (8 * size)) - 1;
        } else {
            for (std::size_t i = size; i-- > 0;)
                value = (value << 8) | m_at[i];
        }
        m_at += size;
        if (value > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            throw dlib::serialization_error("integer out of range in a shape predictor file");
        return negative ? -std::int64_t(value) : std::int64_t(value);
    }

    unsigned long count() { return static_cast<unsigned long>(integer(false, sizeof(unsigned long))); }

    float number()
    {
        need(1);
        if ((*m_at & 0x70) != 0)
            throw dlib::serialization_error("old number format in a shape predictor file");
        const std::int64_t mantissa = integer(true, 8);
        const auto exponent = static_cast<std::int16_t>(integer(true, 2));
        // The numbers of a float hold 24 bits: exact in a double, and so is
        // its product with a power of two; the float it is cast to is
        // ldexp's, without its cost per call.
        if (exponent >= -powerRange && exponent <= powerRange)
            return float(double(mantissa) * m_powers[exponent]);
        if (exponent < 32000)
            return std::ldexp(float(mantissa), exponent);
        if (exponent == 32000)
            return std::numeric_limits<float>::infinity();
        if (exponent == 32001)
            return -std::numeric_limits<float>::infinity();
        return std::numeric_limits<float>::quiet_NaN();
    }

    // A column of numbers: its length, then the numbers appended to @p out.
    template <typename Floats>
    std::size_t appendColumn(Floats &out)
    {
        const std::int64_t rows = std::abs(integer(true, sizeof(long)));
        const std::int64_t columns = std::abs(integer(true, sizeof(long)));
        if (columns != 1 || rows > std::int64_t(remaining()))
            throw dlib::serialization_error("damaged column in a shape predictor file");
        for (std::int64_t r = 0; r < rows; ++r)
            out.push_back(number());
        return std::size_t(rows);
    }

    void read(unsigned long &v) { v = count(); }
    void read(ShapePredictorFile::Offset &v)
    {
        v.x = number();
        v.y = number();
    }

    // A list of regression trees, each its splits then its leaves, laid flat
    // into @p forest; every leaf must hold @p leafSize numbers.
    void read(ShapePredictorFile::Forest &forest, std::size_t leafSize)
    {
        const unsigned long trees = listSize();
        forest.firstSplit.reserve(trees + 1);
        forest.firstSplit.push_back(0);
        for (unsigned long t = 0; t < trees; ++t) {
            const unsigned long splits = listSize();
            if (forest.splits.size() + splits > std::numeric_limits<std::uint32_t>::max())
                throw dlib::serialization_error("damaged tree in a shape predictor file");
            for (unsigned long s = 0; s < splits; ++s) {
                const unsigned long idx1 = count();
                const unsigned long idx2 = count();
                if (idx1 > std::numeric_limits<std::uint32_t>::max() || idx2 > std::numeric_limits<std::uint32_t>::max())
                    throw dlib::serialization_error("damaged split in a shape predictor file");
                forest.splits.push_back({std::uint32_t(idx1), std::uint32_t(idx2), number()});
            }
            forest.firstSplit.push_back(std::uint32_t(forest.splits.size()));
            if (listSize() != splits + 1)
                throw dlib::serialization_error("tree whose leaves do not match its splits in a shape predictor file");
            // Room for the whole forest at its first tree: the trees of a
            // forest are all as deep, and growing by copies would double the
            // memory and the time of the largest array of the file. (No more
            // than the rest of the file can hold: a number takes 4 bytes at least.)
            const std::size_t leafNumbers = (splits + 1) * leafSize;
            if (t == 0 && leafNumbers > 0)
                forest.leaves.reserve(std::min<std::size_t>(trees, remaining() / 4 / leafNumbers) * leafNumbers);
            for (unsigned long l = 0; l <= splits; ++l) {
                if (appendColumn(forest.leaves) != leafSize)
                    throw dlib::serialization_error("leaf unlike the mean shape in a shape predictor file");
            }
        }
    }

    // Grown as its items are decoded, not sized by its count first: a
    // damaged count of lists or forests, each a byte or two in the file,
    // would otherwise claim tens of times the file's size before the first
    // of them failed to decode.
    template <typename T, typename... Context>
    void read(std::vector<T> &v, const Context &...context)
    {
        const unsigned long size = listSize();
        for (unsigned long i = 0; i < size; ++i)
            read(v.emplace_back(), context...);
    }

    unsigned long listSize()
    {
        const unsigned long size = count();
        if (size > remaining()) // every element takes a byte at least
            throw dlib::serialization_error("damaged list in a shape predictor file");
        return size;
    }

private:
    std::size_t remaining() const { return std::size_t(m_end - m_at); }

    void need(std::size_t bytes) const
    {
        if (remaining() < bytes)
            throw dlib::serialization_error("shape predictor file cut short");
    }

    const unsigned char *m_at;
    const unsigned char *m_end;
    const double *m_powers; // 2^e at [e], for e within ±powerRange
};

} // namespace

ShapePredictorFile ShapePredictorFile::read(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw dlib::serialization_error("cannot open " + path.string());
    // A folder opens too, and reports a size it does not have.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw dlib::serialization_error(path.string() + " is not a file");
    const std::streamoff size = in.tellg();
    if (size < 0)
        throw dlib::serialization_error("cannot read " + path.string());
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(bytes.size())))
        throw dlib::serialization_error("cannot read " + path.string());

    Decoder decoder(bytes);
    ShapePredictorFile file;
    file.version = static_cast<int>(decoder.integer(true, sizeof(int)));
    decoder.appendColumn(file.meanShape);
    decoder.read(file.forests, file.meanShape.size());
    decoder.read(file.anchors);
    decoder.read(file.deltas);
    return file;
}

} // namespace faciward::platform
