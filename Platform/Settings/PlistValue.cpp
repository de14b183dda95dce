#include "PlistValue.h"

#include <bit>

namespace faciward::platform {

const char *PlistValue::typeName(Type type)
{
    switch (type) {
    case Type::boolean: return "boolean";
    case Type::int64: return "int64";
    case Type::uint64: return "uint64";
    case Type::real: return "double";
    case Type::string: return "string";
    case Type::data: return "data";
    case Type::date: return "date";
    case Type::array: return "array";
    case Type::dictionary: return "dictionary";
    }
    return "unknown";
}

bool PlistValue::operator==(const PlistValue &other) const
{
    return m_storage == other.m_storage;
}

bool PlistValue::isIdentical(const PlistValue &other) const
{
    if (m_storage.index() != other.m_storage.index())
        return false;
    return std::visit(
        [&other](const auto &mine) -> bool {
            using T = std::decay_t<decltype(mine)>;
            const T &theirs = std::get<T>(other.m_storage);
            if constexpr (std::is_same_v<T, double>) {
                return std::bit_cast<std::uint64_t>(mine) == std::bit_cast<std::uint64_t>(theirs);
            } else if constexpr (std::is_same_v<T, PlistDate>) {
                return std::bit_cast<std::uint64_t>(mine.secondsSinceReferenceDate) ==
                       std::bit_cast<std::uint64_t>(theirs.secondsSinceReferenceDate);
            } else if constexpr (std::is_same_v<T, PlistArray>) {
                if (mine.size() != theirs.size())
                    return false;
                for (std::size_t i = 0; i < mine.size(); ++i)
                    if (!mine[i].isIdentical(theirs[i]))
                        return false;
                return true;
            } else if constexpr (std::is_same_v<T, PlistDictionary>) {
                if (mine.size() != theirs.size())
                    return false;
                for (auto a = mine.begin(), b = theirs.begin(); a != mine.end(); ++a, ++b)
                    if (a->first != b->first || !a->second.isIdentical(b->second))
                        return false;
                return true;
            } else {
                return mine == theirs;
            }
        },
        m_storage);
}

} // namespace faciward::platform
