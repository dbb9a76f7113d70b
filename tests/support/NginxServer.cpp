#include "NginxServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {

constexpr int kStartLimitMs = 10000;

// A port nothing listens on right now. Another process may take it before
// nginx does; start() then tries again.
quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

NginxServer::NginxServer() {
    // Without a master process nginx is a single process that runs as
    // whoever started it: nothing is left behind when it is killed, and as
    // root it still reads the private folder (workers would run as nobody).
    m_process.setProcessChannelMode(QProcess::MergedChannels);
#ifdef Q_OS_LINUX
    // Should the test crash, nginx must not keep the port and the folder.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
#endif
}

NginxServer::~NginxServer() {
    stop();
}

QString NginxServer::executable() {
    const QString found = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    if (!found.isEmpty())
        return found;
    // Ordinary users' PATH often lacks the sbin folders.
    return QStandardPaths::findExecutable(
        QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
}

QString NginxServer::root() const {
    return path(QStringLiteral("www"));
}

QString NginxServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

void NginxServer::setTls(const QString& certificatePath, const QString& keyPath) {
    m_certificatePath = certificatePath;
    m_keyPath = keyPath;
}

QString NginxServer::tlsBaseUrl() const {
    return QStringLiteral("https://127.0.0.1:%1/").arg(m_tlsPort);
}

QStringList NginxServer::accessLog() const {
    const QString text = QString::fromUtf8(readAll(path(QStringLiteral("logs/access.log"))));
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool NginxServer::start() {
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return false;
    }
    if (executable().isEmpty()) {
        m_error = QStringLiteral("nginx is not installed (not on PATH)");
        return false;
    }
    for (const QString& folder :
         {QStringLiteral("www"), QStringLiteral("logs"), QStringLiteral("tmp")}) {
        if (!QDir().mkpath(path(folder))) {
            m_error = QStringLiteral("cannot make ") + path(folder);
            return false;
        }
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startOnce())
            return true;
    }
    return false;
}

bool NginxServer::startOnce() {
    m_port = freePort();
    m_tlsPort = m_certificatePath.isEmpty() ? 0 : freePort();
    if (m_port == 0 || (!m_certificatePath.isEmpty() && (m_tlsPort == 0 || m_tlsPort == m_port))) {
        m_error = QStringLiteral("no free port on 127.0.0.1");
        return false;
    }
    const QString prefix = m_dir.path();
    const QString conf = path(QStringLiteral("nginx.conf"));
    const QString pidFile = path(QStringLiteral("nginx.pid"));
    const QString errorLog = path(QStringLiteral("logs/error.log"));
    QFile::remove(pidFile);

    const QString tls = m_certificatePath.isEmpty()
                            ? QString()
                            : QStringLiteral("listen 127.0.0.1:%1 ssl;\n"
                                             "    ssl_certificate \"%2\";\n"
                                             "    ssl_certificate_key \"%3\";")
                                  .arg(QString::number(m_tlsPort), m_certificatePath, m_keyPath);
    const QString text = QStringLiteral(R"(daemon off;
master_process off;
pid "%1/nginx.pid";
error_log "%1/logs/error.log";
events { worker_connections 64; }
http {
  log_format ranges '$request_method $request_uri|$http_range|$status';
  access_log "%1/logs/access.log" ranges;
  client_body_temp_path "%1/tmp";
  proxy_temp_path "%1/tmp";
  fastcgi_temp_path "%1/tmp";
  uwsgi_temp_path "%1/tmp";
  scgi_temp_path "%1/tmp";
  types { application/x-shockwave-flash swf; }
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:%2;
    %3
    root "%1/www";
  }
}
)")
                             .arg(prefix, QString::number(m_port), tls);
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.toUtf8()) != text.toUtf8().size()) {
        m_error = QStringLiteral("cannot write ") + conf;
        return false;
    }
    file.close();

    // -e: the error log before the configuration is read, which would
    // otherwise be the system's.
    m_process.setProgram(executable());
    m_process.setArguments(
        {QStringLiteral("-p"), prefix, QStringLiteral("-c"), conf, QStringLiteral("-e"), errorLog});
    m_process.start();
    if (!m_process.waitForStarted()) {
        m_error = QStringLiteral("nginx did not start: ") + m_process.errorString();
        return false;
    }
    // nginx writes its pid file after it has opened the listening socket.
    QElapsedTimer clock;
    clock.start();
    while (QFileInfo(pidFile).size() == 0) {
        if (m_process.state() == QProcess::NotRunning || clock.elapsed() > kStartLimitMs) {
            stop();
            m_error = QStringLiteral("nginx did not come up on port %1: %2 %3")
                          .arg(m_port)
                          .arg(QString::fromUtf8(m_process.readAll()).trimmed(),
                               QString::fromUtf8(readAll(errorLog)).trimmed());
            return false;
        }
        m_process.waitForFinished(20);
    }
    m_error.clear();
    return true;
}

void NginxServer::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    // SIGTERM: a fast shutdown, open keep-alive connections are just closed.
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
