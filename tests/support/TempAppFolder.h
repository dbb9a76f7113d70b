#pragma once

#include "catalogue/AppFolder.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// A throw-away application folder with the layout the program expects:
// cons/ with the sixteen list files (empty), guihu.inb, res/fla/.
class TempAppFolder {
public:
    // A folder name under which to create it, e.g. "Temp" to test the
    // temporary-folder warning.
    explicit TempAppFolder(const QString& subfolder = QStringLiteral("app"));

    bool isValid() const { return m_dir.isValid(); }
    const AppFolder& app() const { return m_app; }
    QString path(const QString& relative) const { return m_app.path(relative); }

    // Writes a list file in the program's format (GBK, CR LF after each line).
    void writeList(const QString& relative, const QStringList& names) const;
    void writeBytes(const QString& relative, const QByteArray& bytes) const;
    QByteArray readBytes(const QString& relative) const;
    // Puts a program into the cache folder, with some bytes (or none).
    void cacheProgram(const QString& name, const QByteArray& bytes = "FWS") const;

private:
    QTemporaryDir m_dir;
    AppFolder m_app;
};
