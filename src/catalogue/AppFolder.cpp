#include "AppFolder.h"

#include <QDir>

AppFolder::AppFolder(const QString& root)
    : m_root(QDir::cleanPath(QDir::fromNativeSeparators(root))) {}

QString AppFolder::path(const QString& relative) const {
    return m_root + u'/' + relative;
}

QString AppFolder::cacheFolder() const {
    return path(QStringLiteral("res/fla/"));
}

QString AppFolder::relativeName(const QString& path) const {
    return QDir(m_root).relativeFilePath(path);
}
