#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Debian's nginx on 127.0.0.1 and a free port, with its configuration,
// document root, logs and temporary files in a private temporary folder.
// For tests and benchmarks that need a real server's range handling rather
// than a scripted one. nginx is stopped when this goes away.
class NginxServer {
public:
    NginxServer();
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // The nginx program on PATH (or in an sbin folder left out of it);
    // empty if there is none.
    static QString executable();

    // Before start(): nginx also listens for HTTPS, on a port of its own,
    // with this certificate and key (PEM files, e.g. from TestCa).
    void setTls(const QString& certificatePath, const QString& keyPath);
    // Starts nginx and waits until it listens. On false, errorString() says why.
    bool start();
    void stop();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    QString errorString() const { return m_error; }
    // Files put here are served at once, e.g. root() + "/a/b.swf" as
    // baseUrl() + "a/b.swf".
    QString root() const;
    // "http://127.0.0.1:PORT/"
    QString baseUrl() const;
    // "https://127.0.0.1:PORT/" (the same files), once setTls() was called.
    QString tlsBaseUrl() const;
    // One line per answered request: "METHOD URI|RANGE|STATUS", with the
    // URI as the client sent it and RANGE "-" when there was no Range header.
    QStringList accessLog() const;

private:
    bool startOnce();
    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    QString m_certificatePath;
    QString m_keyPath;
    QString m_error;
};
