#include "TestCa.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>

namespace {

// Elliptic-curve keys: made in milliseconds, unlike RSA ones.
const QStringList kNewKey{QStringLiteral("-newkey"), QStringLiteral("ec"),
                          QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:P-256"),
                          QStringLiteral("-nodes")};
const QString kDays = QStringLiteral("2");

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString subjectAltName(const QStringList& names) {
    QStringList entries;
    for (const QString& name : names)
        entries.append(
            (QHostAddress(name).isNull() ? QStringLiteral("DNS:") : QStringLiteral("IP:")) + name);
    return QStringLiteral("subjectAltName=") + entries.join(u',');
}

} // namespace

bool TestCa::make() {
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return false;
    }
    if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kNewKey +
                 QStringList{QStringLiteral("-keyout"), path(QStringLiteral("ca.key")),
                             QStringLiteral("-out"), path(QStringLiteral("ca.pem")),
                             QStringLiteral("-days"), kDays, QStringLiteral("-subj"),
                             QStringLiteral("/CN=Kibu test authority")}))
        return false;
    m_ca = read(QStringLiteral("ca"));
    return !m_ca.isNull();
}

TestCa::Identity TestCa::issue(const QStringList& names) {
    const QString name = QStringLiteral("server%1").arg(++m_issued);
    const QString extensions = path(name + QStringLiteral(".ext"));
    QFile file(extensions);
    if (m_ca.isNull() || !file.open(QIODevice::WriteOnly))
        return Identity();
    file.write((subjectAltName(names) + QStringLiteral("\nbasicConstraints=critical,CA:FALSE\n"
                                                       "extendedKeyUsage=serverAuth\n"))
                   .toUtf8());
    file.close();
    if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-new")} + kNewKey +
                 QStringList{QStringLiteral("-keyout"), path(name + QStringLiteral(".key")),
                             QStringLiteral("-out"), path(name + QStringLiteral(".csr")),
                             QStringLiteral("-subj"), QStringLiteral("/CN=") + names.value(0)}) ||
        !openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                  path(name + QStringLiteral(".csr")), QStringLiteral("-CA"), m_ca.certificatePath,
                  QStringLiteral("-CAkey"), m_ca.keyPath, QStringLiteral("-set_serial"),
                  QString::number(m_issued + 1), QStringLiteral("-days"), kDays,
                  QStringLiteral("-extfile"), extensions, QStringLiteral("-out"),
                  path(name + QStringLiteral(".pem"))}))
        return Identity();
    return read(name);
}

TestCa::Identity TestCa::selfSigned(const QStringList& names) {
    const QString name = QStringLiteral("self%1").arg(++m_issued);
    if (!m_dir.isValid() ||
        !openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kNewKey +
                 QStringList{QStringLiteral("-keyout"), path(name + QStringLiteral(".key")),
                             QStringLiteral("-out"), path(name + QStringLiteral(".pem")),
                             QStringLiteral("-days"), kDays, QStringLiteral("-subj"),
                             QStringLiteral("/CN=") + names.value(0), QStringLiteral("-addext"),
                             subjectAltName(names)}))
        return Identity();
    return read(name);
}

bool TestCa::openssl(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    process.closeWriteChannel();
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    m_error = QStringLiteral("openssl %1 failed: %2 %3")
                  .arg(arguments.value(0), process.errorString(),
                       QString::fromLocal8Bit(process.readAll()).trimmed());
    return false;
}

TestCa::Identity TestCa::read(const QString& name) {
    Identity identity;
    identity.certificatePath = path(name + QStringLiteral(".pem"));
    identity.keyPath = path(name + QStringLiteral(".key"));
    identity.certificate = QSslCertificate(readAll(identity.certificatePath), QSsl::Pem);
    identity.key = QSslKey(readAll(identity.keyPath), QSsl::Ec, QSsl::Pem);
    if (identity.isNull())
        m_error = QStringLiteral("cannot read ") + identity.certificatePath;
    return identity;
}
