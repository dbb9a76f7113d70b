#include "DesktopShortcut.h"

#include "net/FileOps.h"

#include <QDir>

namespace DesktopShortcut {

namespace {

// An Exec argument: quoted, with the characters that are special inside
// quotes escaped, and then backslashes doubled once more because the whole
// value is itself an escaped string.
QString execArgument(const QString& path) {
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted = u'"' + quoted + u'"';
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    // A literal percent sign would be read as a field code.
    quoted.replace(u'%', QStringLiteral("%%"));
    return quoted;
}

} // namespace

QString entryText(const QString& program) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Kibu播放器\n"
                          "Exec=%1\n"
                          "Terminal=false\n")
        .arg(execArgument(QDir::toNativeSeparators(program)));
}

bool write(const QString& desktopFolder, const QString& program) {
    if (desktopFolder.isEmpty() || !QDir(desktopFolder).exists())
        return false;
    const QString path = QDir(desktopFolder).filePath(kFileName);
    // Desktops start only launchers that are marked executable.
    return FileOps::writeAtomically(path, entryText(program).toUtf8()) &&
           FileOps::makeExecutable(path);
}

} // namespace DesktopShortcut
