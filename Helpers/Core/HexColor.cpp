#include "HexColor.h"

namespace faciward::helpers {

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads a leading hexadecimal number as the platform's text scanner does:
// "0x" allowed, stops at the first other character, 0 when nothing was read.
// Only lengths up to 8 digits give a colour, so wrapping past 64 bits is moot.
quint64 scanHex(QStringView text)
{
    qsizetype i = 0;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') && hexDigit(text[2]) >= 0)
        i = 2;
    quint64 value = 0;
    for (; i < text.size() && hexDigit(text[i]) >= 0; ++i)
        value = value << 4 | quint64(hexDigit(text[i]));
    return value;
}

} // namespace

QColor colorFromHex(QStringView hex)
{
    qsizetype begin = 0;
    qsizetype end = hex.size();
    while (begin < end && !hex[begin].isLetterOrNumber())
        ++begin;
    while (end > begin && !hex[end - 1].isLetterOrNumber())
        --end;
    const QStringView trimmed = hex.mid(begin, end - begin);
    const quint64 v = scanHex(trimmed);

    // Lengths count characters as the user sees them: a pair of UTF-16 halves is one.
    qsizetype length = 0;
    for (qsizetype i = 0; i < trimmed.size(); ++i)
        length += trimmed[i].isLowSurrogate() ? 0 : 1;

    auto byte = [v](int shift) { return static_cast<int>((v >> shift) & 0xff); };
    switch (length) {
    case 3:
        return QColor(int((v >> 8) & 0xf) * 17, int((v >> 4) & 0xf) * 17, int(v & 0xf) * 17, 255);
    case 6:
        return QColor(byte(16), byte(8), byte(0), 255);
    case 8:
        return QColor(byte(16), byte(8), byte(0), byte(24));
    default:
        return QColor(1, 1, 0, 1);
    }
}

} // namespace faciward::helpers
