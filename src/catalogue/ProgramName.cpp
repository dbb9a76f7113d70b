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

namespace {

const QString kMissing = QStringLiteral("* ");
const QString kPresent = QStringLiteral("  ");

} // namespace

QString missingRow(const QString& name) {
    return kMissing + name;
}

QString presentRow(const QString& name) {
    return kPresent + name;
}

bool isMissingRow(const QString& rowText) {
    return rowText.startsWith(kMissing);
}

bool isPresentRow(const QString& rowText) {
    return rowText.startsWith(kPresent);
}

QString fromRow(const QString& rowText) {
    return rowText.mid(kMissing.size());
}

} // namespace ProgramName
