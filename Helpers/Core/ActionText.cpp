#include "ActionText.h"

namespace faciward::helpers {

QString literalActionText(const QString &text)
{
    QString literal = text;
    literal.replace(u'&', QStringLiteral("&&")).replace(u'\t', u' ');
    return literal;
}

} // namespace faciward::helpers
