#include "UUIDBridge.h"

#include <QtCore/QString>

#include <cctype>

namespace faciward::prefs {

std::optional<std::string> UUIDBridge::serialize(const std::optional<QUuid> &uuid) const
{
    if (!uuid)
        return std::nullopt;
    return uuid->toString(QUuid::WithoutBraces).toUpper().toStdString();
}

std::optional<QUuid> UUIDBridge::deserialize(const std::optional<std::string> &text) const
{
    // QUuid alone would also take braces, and gives the nil identifier for
    // text it cannot parse, which is itself a valid identifier.
    if (!text || text->size() != 36)
        return std::nullopt;
    for (std::size_t i = 0; i < text->size(); ++i) {
        const char c = (*text)[i];
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    return QUuid::fromString(QString::fromLatin1(text->data(), static_cast<qsizetype>(text->size())));
}

} // namespace faciward::prefs
