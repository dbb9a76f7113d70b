#include "UpdateOffer.h"

#include "catalogue/TextFile.h"

#include <algorithm>

namespace {

constexpr qsizetype kDigits = 64;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool isHex(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The digest when the field after a comma is one: blanks, an optional
// quote, the digits, an optional quote, blanks, then a comma or the end.
QString digestField(QStringView field) {
    qsizetype i = 0;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    if (i < field.size() && field[i] == u'"')
        ++i;
    const QStringView digits = field.mid(i, kDigits);
    if (digits.size() < kDigits || !std::all_of(digits.begin(), digits.end(), isHex))
        return {};
    i += kDigits;
    if (i < field.size() && field[i] == u'"')
        ++i;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    return i == field.size() || field[i] == u',' ? digits.toString().toLower() : QString();
}

} // namespace

QString UpdateOffer::digest(const QString& versionText) {
    for (const QString& line : TextFile::splitLines(versionText)) {
        if (line.trimmed().isEmpty())
            continue;
        qsizetype start = 0;
        while (start < line.size() && isBlank(line[start]))
            ++start;
        // The first field ends at a comma: for a quoted one, the first comma
        // after its closing quote; failing that, the first comma of all.
        QList<qsizetype> commas;
        const qsizetype close = line[start] == u'"' ? line.indexOf(u'"', start + 1) : -1;
        if (close > 0)
            commas.append(line.indexOf(u',', close + 1));
        commas.append(line.indexOf(u',', start));
        for (qsizetype comma : commas)
            if (comma >= 0)
                if (QString d = digestField(QStringView(line).mid(comma + 1)); !d.isEmpty())
                    return d;
        return {};
    }
    return {};
}
