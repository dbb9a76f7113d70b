#pragma once

#include <QString>

// The application folder: the executable's folder (or --app-dir). Every data
// path is this folder joined with a fixed relative path.
class AppFolder {
public:
    explicit AppFolder(const QString& root = {});

    const QString& root() const { return m_root; }
    // root + "/" + a fixed relative path such as "cons/b01.inb".
    QString path(const QString& relative) const;
    // The program cache, with its trailing separator: root + "/res/fla/".
    QString cacheFolder() const;
    // A path below the folder as relative to it ("res/fla/a.swf").
    QString relativeName(const QString& path) const;

private:
    QString m_root;
};
