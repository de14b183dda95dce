#include "Platform/Vision/ShapePredictorFile.h"

#include <cmath>
#include <cstdint>
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
    {
    }

    std::int64_t integer(bool isSigned, std::size_t maxBytes)
    {
        need(1);
        const unsigned char control = *m_at++;
        const std::size_t size = control & 0x0F;
        const bool negative = (control & 0x80) != 0;
        if (size == 0 || size > maxBytes || (negative && !isSigned))
            throw dlib::serialization_error("damaged integer in a shape predictor file");
        need(size);
        std::uint64_t value = 0;
        for (std::size_t i = size; i-- > 0;)
            value = (value << 8) | m_at[i];
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
            return float(double(mantissa) * powersOfTwo()[std::size_t(exponent + powerRange)]);
        if (exponent < 32000)
            return std::ldexp(float(mantissa), exponent);
        if (exponent == 32000)
            return std::numeric_limits<float>::infinity();
        if (exponent == 32001)
            return -std::numeric_limits<float>::infinity();
        return std::numeric_limits<float>::quiet_NaN();
    }

    void read(dlib::matrix<float, 0, 1> &m)
    {
        const std::int64_t rows = std::abs(integer(true, sizeof(long)));
        const std::int64_t columns = std::abs(integer(true, sizeof(long)));
        if (columns != 1 || rows > std::int64_t(remaining()))
            throw dlib::serialization_error("damaged column in a shape predictor file");
        m.set_size(long(rows));
        for (long r = 0; r < rows; ++r)
            m(r) = number();
    }

    void read(unsigned long &v) { v = count(); }
    void read(dlib::vector<float, 2> &v)
    {
        v.x() = number();
        v.y() = number();
    }
    void read(dlib::impl::split_feature &s)
    {
        s.idx1 = count();
        s.idx2 = count();
        s.thresh = number();
    }
    void read(dlib::impl::regression_tree &t)
    {
        read(t.splits);
        read(t.leaf_values);
    }

    template <typename T>
    void read(std::vector<T> &v)
    {
        const unsigned long size = count();
        if (size > remaining()) // every element takes a byte at least
            throw dlib::serialization_error("damaged list in a shape predictor file");
        v.resize(size);
        for (auto &item : v)
            read(item);
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
};

} // namespace

ShapePredictorFile ShapePredictorFile::read(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw dlib::serialization_error("cannot open " + path.string());
    std::vector<unsigned char> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(bytes.size())))
        throw dlib::serialization_error("cannot read " + path.string());

    Decoder decoder(bytes);
    ShapePredictorFile file;
    file.version = static_cast<int>(decoder.integer(true, sizeof(int)));
    decoder.read(file.meanShape);
    decoder.read(file.forests);
    decoder.read(file.anchors);
    decoder.read(file.deltas);
    return file;
}

} // namespace faciward::platform
