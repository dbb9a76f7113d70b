#include "ProgramName.h"

namespace ProgramName {

bool isSafe(const QString& name) {
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (QChar c : name) {
        if (c == u'/' || c == u'\\' || c == u':' || c == QChar(0))
            return false;
    }
    return true;
}

std::optional<QString> swfPath(const QString& folder, const QString& name) {
    if (!isSafe(name))
        return std::nullopt;
    return folder + name + QStringLiteral(".swf");
}

QString fromRow(const QString& rowText) {
    return rowText.mid(2);
}

} // namespace ProgramName
