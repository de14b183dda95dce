#include "HexColor.h"

#include <QTextBoundaryFinder>

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

// Letters, marks and numbers of every script: what is kept at the ends.
bool isAlphanumeric(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

// The code point that starts at @p i, and how many UTF-16 units it takes.
std::pair<char32_t, int> codePointAt(QStringView text, qsizetype i)
{
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(text[i], text[i + 1]), 2};
    return {text[i].unicode(), 1};
}

// The code point that ends just before @p end, and how many UTF-16 units it takes.
std::pair<char32_t, int> codePointBefore(QStringView text, qsizetype end)
{
    if (text[end - 1].isLowSurrogate() && end >= 2 && text[end - 2].isHighSurrogate())
        return {QChar::surrogateToUcs4(text[end - 2], text[end - 1]), 2};
    return {text[end - 1].unicode(), 1};
}

// Characters as the user sees them: a letter and its accents, or a character
// beyond the basic plane, count once.
qsizetype graphemeCount(QStringView text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

} // namespace

QColor colorFromHex(QStringView hex)
{
    // Whole code points are trimmed: never half of a pair of UTF-16 units.
    qsizetype begin = 0;
    qsizetype end = hex.size();
    while (begin < end) {
        const auto [c, units] = codePointAt(hex, begin);
        if (isAlphanumeric(c))
            break;
        begin += units;
    }
    while (end > begin) {
        const auto [c, units] = codePointBefore(hex, end);
        if (isAlphanumeric(c))
            break;
        end -= units;
    }
    const QStringView trimmed = hex.mid(begin, end - begin);
    const quint64 v = scanHex(trimmed);
    const qsizetype length = graphemeCount(trimmed);

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
