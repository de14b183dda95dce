#include "HexColor.h"

namespace faciward::helpers {

namespace {

bool isAlphanumeric(QChar c)
{
    return c.isLetterOrNumber();
}

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
// leading spaces skipped, "0x" allowed, stops at the first other character;
// 0 when nothing was read, the largest value when it overflows.
quint64 scanHex(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (text.size() - i > 2 && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
        hexDigit(text[i + 2]) >= 0)
        i += 2;
    quint64 value = 0;
    for (; i < text.size() && hexDigit(text[i]) >= 0; ++i) {
        if (value >> 60)
            return ~quint64(0);
        value = value << 4 | quint64(hexDigit(text[i]));
    }
    return value;
}

} // namespace

QColor colorFromHex(QStringView hex)
{
    qsizetype begin = 0;
    qsizetype end = hex.size();
    while (begin < end && !isAlphanumeric(hex[begin]))
        ++begin;
    while (end > begin && !isAlphanumeric(hex[end - 1]))
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
