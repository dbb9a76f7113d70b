#include "GuestAccess.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// Where a path really leads; empty when it does not exist.
QString real(const QString& path) {
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

bool inside(const QString& path, const QString& folder) {
    return !folder.isEmpty() && path.startsWith(folder) && path.size() > folder.size() &&
           path.at(folder.size()) == u'/';
}

} // namespace

GuestAccess::GuestAccess(const QString& engineFolder) : m_engine(real(engineFolder)) {}

void GuestAccess::setProgram(const QString& programFolder, const QString& rewrittenCopy) {
    m_folder = real(programFolder);
    m_copy = real(rewrittenCopy);
}

bool GuestAccess::allows(const QUrl& url) const {
    // The engine hands decoded pictures and sounds around as data and blob
    // URLs of the page's own; they name nothing outside it.
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("data") || scheme == QLatin1String("blob"))
        return true;
    if (!url.isLocalFile() || !url.host().isEmpty())
        return false;
    // Plain files only: no folder listing, and no pipe or device that would
    // keep the engine's reader waiting.
    const QString path = real(url.toLocalFile());
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    return inside(path, m_engine) || inside(path, m_folder) ||
           (!m_copy.isEmpty() && path == m_copy);
}
