#include "KeyedArchive.h"

#include <QtCore/QByteArray>
#include <QtCore/QIODevice>

#include <algorithm>
#include <cstdio>

namespace faciward::prefs {

namespace {

constexpr char magic[4] = {'F', 'W', 'A', 'R'};
constexpr auto streamVersion = QDataStream::Qt_6_0;

bool fails(const char *description)
{
    std::fprintf(stdout, "%s\n", description);
    std::fflush(stdout);
    return false;
}

} // namespace

std::optional<platform::PlistData> KeyedArchive::archive(const QString &className,
                                                         const std::function<void(QDataStream &)> &write)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(streamVersion);
    stream.writeRawData(magic, sizeof magic);
    stream << version << className;
    write(stream);
    if (stream.status() != QDataStream::Ok)
        return std::nullopt;
    return platform::PlistData(bytes.begin(), bytes.end());
}

bool KeyedArchive::unarchive(const platform::PlistData &data, const QString &className,
                             const std::function<bool(QDataStream &)> &read)
{
    if (data.empty())
        return false;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data.data()),
                                                     static_cast<qsizetype>(data.size()));
    QDataStream stream(bytes);
    stream.setVersion(streamVersion);
    char found[sizeof magic] = {};
    quint32 foundVersion = 0;
    QString foundClass;
    if (stream.readRawData(found, sizeof found) != sizeof found || !std::equal(found, found + sizeof found, magic))
        return fails("The data is not a keyed archive.");
    stream >> foundVersion;
    if (stream.status() != QDataStream::Ok || foundVersion != version)
        return fails("The keyed archive has a version this program cannot read.");
    stream >> foundClass;
    if (stream.status() != QDataStream::Ok)
        return fails("The keyed archive's class name cannot be read.");
    if (foundClass != className)
        return false;
    if (!read(stream) || stream.status() != QDataStream::Ok || !stream.atEnd())
        return fails(qPrintable(QStringLiteral("The keyed archive of %1 is damaged.").arg(className)));
    return true;
}

} // namespace faciward::prefs
