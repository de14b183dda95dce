#pragma once

#include "Platform/Settings/PlistValue.h"

#include <QtCore/QDataStream>
#include <QtCore/QString>

#include <functional>
#include <optional>

namespace faciward::prefs {

/// @brief The self-describing archive in which objects are stored as data.
///
/// Layout, in a QDataStream of fixed version (Qt 6.0): the magic bytes "FWAR",
/// the envelope version (quint32, 1), the object's class name (QString), then
/// the object's own stream, which must be read to its end.
///
/// Reading checks the class name before anything of the object is decoded, and
/// decodes only the class the reader expects: stored data never chooses what
/// gets built.
class KeyedArchive
{
public:
    static constexpr quint32 version = 1;

    KeyedArchive() = delete;

    /// @brief The archive of an object of class @p className that @p write puts
    /// into the stream; nothing when the stream fails.
    static std::optional<platform::PlistData> archive(const QString &className,
                                                      const std::function<void(QDataStream &)> &write);

    /// @brief Opens @p data and, when it is an archive of @p className, lets @p read
    /// decode the object; true when it did, to the end of the data.
    /// Empty data and an archive of another class give false and print nothing.
    /// Data that is no archive, or whose object cannot be read, gives false and
    /// prints why, as one line on standard output.
    static bool unarchive(const platform::PlistData &data, const QString &className,
                          const std::function<bool(QDataStream &)> &read);
};

} // namespace faciward::prefs
