#include "DesktopShortcut.h"

#include "base/FileOps.h"

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

QString create(const QString& desktopFolder, const QString& appFolder, const QString& program) {
    if (desktopFolder.isEmpty())
        return {};
    if (appFolder.contains(QStringLiteral("Temp")))
        return QStringLiteral("请先解压缩再使用，不要直接运行压缩包！");
    const QString target = program.isEmpty() ? QDir(appFolder).filePath(kExecutable) : program;
    return write(desktopFolder, target) ? QStringLiteral("已经成功在桌面上创建了快捷方式！")
                                        : QString();
}

} // namespace DesktopShortcut
