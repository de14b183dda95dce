#include "Identifier.h"

namespace faciward::vault {

std::optional<Identifier> Identifier::nonEmpty(std::string value)
{
    if (value.empty())
        return std::nullopt;
    return Identifier(std::move(value));
}

} // namespace faciward::vault
