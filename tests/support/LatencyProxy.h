#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>
#include <atomic>

// A TCP relay between clients and one server that delays each direction and
// caps each direction's byte rate, the way a home link does. It runs in a
// thread of its own, so that the test or benchmark around it can block
// without slowing the link down.
class LatencyProxy {
public:
    // delayMs is added in each direction (the round trip gains twice it);
    // bytesPerSecond caps each direction (0: no cap).
    LatencyProxy(QString serverHost, quint16 serverPort, int delayMs, qint64 bytesPerSecond);
    ~LatencyProxy();
    LatencyProxy(const LatencyProxy&) = delete;
    LatencyProxy& operator=(const LatencyProxy&) = delete;

    // Listens on 127.0.0.1 and a free port; false if it cannot.
    bool start();
    quint16 port() const { return m_port; }
    QString baseUrl() const; // "http://127.0.0.1:PORT/"
    // Client connections accepted so far.
    int connections() const { return m_connections; }

private:
    class Worker;

    QString m_serverHost;
    quint16 m_serverPort;
    int m_delayMs;
    qint64 m_rate;
    QThread m_thread;
    QObject* m_context = nullptr; // lives in the thread
    Worker* m_worker = nullptr;
    quint16 m_port = 0;
    std::atomic<int> m_connections{0};
};
