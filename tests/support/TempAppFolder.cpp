#include "TempAppFolder.h"

#include "catalogue/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempAppFolder::TempAppFolder(const QString& subfolder) {
    m_app = AppFolder(m_dir.filePath(subfolder));
    QDir root(m_app.root());
    root.mkpath(QStringLiteral("cons"));
    root.mkpath(QStringLiteral("res/fla"));
    for (int n = 1; n <= 14; ++n)
        writeList(QStringLiteral("cons/b%1.inb").arg(n, 2, 10, QLatin1Char('0')), {});
    writeList(QStringLiteral("cons/shoucang.inb"), {});
    writeList(QStringLiteral("cons/lishi.inb"), {});
    writeList(QStringLiteral("cons/guihu.inb"), {QStringLiteral("abcdefghijklmnop")});
}

void TempAppFolder::writeList(const QString& relative, const QStringList& names) const {
    QByteArray bytes;
    for (const QString& name : names) {
        QByteArray encoded;
        TextFile::encode(name, &encoded);
        bytes += encoded + "\r\n";
    }
    writeBytes(relative, bytes);
}

void TempAppFolder::writeBytes(const QString& relative, const QByteArray& bytes) const {
    const QString target = path(relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile f(target);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray TempAppFolder::readBytes(const QString& relative) const {
    QFile f(path(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TempAppFolder::cacheProgram(const QString& name, const QByteArray& bytes) const {
    writeBytes(QStringLiteral("res/fla/") + name + QStringLiteral(".swf"), bytes);
}
