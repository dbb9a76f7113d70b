// Lays out a runnable application folder from the demo sources: the list
// files (GBK, CR LF, as the program reads them), the server-address and
// version files, the cache and custom-programs folders and the offline page.
// Files that already exist in the target are user data and stay untouched,
// except the offline page, which belongs to the program.

#include "catalogue/CategoryTable.h"
#include "catalogue/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

bool fail(const QString& what) {
    std::fprintf(stderr, "kibu-make-app-folder: %s\n", qPrintable(what));
    return false;
}

QStringList utf8Lines(const QString& path, bool* ok) {
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    if (!*ok)
        return {};
    return TextFile::splitLines(QString::fromUtf8(f.readAll()));
}

// Writes a list file from UTF-8 source lines, unless the target exists.
bool makeListFile(const QString& source, const QString& target) {
    if (QFileInfo::exists(target))
        return true;
    QStringList lines;
    if (!source.isEmpty()) {
        bool ok = false;
        lines = utf8Lines(source, &ok);
        if (!ok)
            return fail(QStringLiteral("cannot read %1").arg(source));
    }
    QString error;
    if (!TextFile::rewrite(target, lines, &error))
        return fail(QStringLiteral("cannot write %1: %2").arg(target, error));
    return true;
}

bool copyIfChanged(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(source));
    const QByteArray bytes = in.readAll();
    QFile old(target);
    if (old.open(QIODevice::ReadOnly) && old.readAll() == bytes)
        return true;
    old.close();
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return fail(QStringLiteral("cannot write %1").arg(target));
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: kibu-make-app-folder DEMO_SOURCE_DIR APP_DIR\n");
        return 2;
    }
    const QDir source(args.at(1));
    const QDir app(args.at(2));
    for (const char* folder : {"cons", "res/fla", "自定义节目/我的儿歌"}) {
        if (!app.mkpath(QString::fromUtf8(folder))) {
            fail(QStringLiteral("cannot create %1").arg(QString::fromUtf8(folder)));
            return 1;
        }
    }

    bool ok = true;
    for (const Category& c : CategoryTable::all()) {
        const QString name = QFileInfo(c.listFile()).completeBaseName();
        ok &= makeListFile(source.filePath(QStringLiteral("catalogue/%1.txt").arg(name)),
                           app.filePath(c.listFile()));
    }
    ok &= makeListFile({}, app.filePath(QStringLiteral("cons/shoucang.inb")));
    ok &= makeListFile({}, app.filePath(QStringLiteral("cons/lishi.inb")));
    ok &= makeListFile(source.filePath(QStringLiteral("server-address.txt")),
                       app.filePath(QStringLiteral("cons/guihu.inb")));
    ok &= makeListFile(source.filePath(QStringLiteral("version-mark.txt")),
                       app.filePath(QStringLiteral("cons/update.inb")));
    ok &= copyIfChanged(source.filePath(QStringLiteral("showoff.htm")),
                        app.filePath(QStringLiteral("res/showoff.htm")));
    return ok ? 0 : 1;
}
