#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A certificate authority of one test run, made when it is needed with
// Debian's openssl command, and the server certificates it issues. Keys and
// certificates live in a private temporary folder that goes with it: none
// is ever kept or committed, and nothing of it reaches the system's store
// (a test hands certificate() to NetworkSetup::trustAlso).
class TestCa {
public:
    // A server's certificate and key, as files (for nginx and curl) and read.
    struct Identity {
        QString certificatePath;
        QString keyPath;
        QSslCertificate certificate;
        QSslKey key;
        bool isNull() const { return certificate.isNull() || key.isNull(); }
    };

    // Makes the authority's key and certificate. On false, errorString()
    // says why (no openssl command, most likely).
    bool make();
    QString errorString() const { return m_error; }
    QSslCertificate certificate() const { return m_ca.certificate; }
    QString certificatePath() const { return m_ca.certificatePath; }

    // A certificate this authority made out for names: host names and IP
    // addresses, the first also its common name. Null on failure.
    Identity issue(const QStringList& names);
    // One for names that signs itself: no authority stands behind it.
    Identity selfSigned(const QStringList& names);

private:
    bool openssl(const QStringList& arguments);
    Identity read(const QString& name);
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    Identity m_ca;
    int m_issued = 0;
    QString m_error;
};
