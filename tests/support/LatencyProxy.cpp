#include "LatencyProxy.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <deque>
#include <memory>
#include <vector>

namespace {

// Bytes leave in pieces of this size, each taking its time on the link.
constexpr qint64 kPiece = 4096;

// One direction of one connection: what was read, and when it may be
// written on the other side.
struct Lane {
    QPointer<QTcpSocket> from, to;
    std::deque<std::pair<double, QByteArray>> queue; // due time (ms), bytes
    double linkFreeAt = 0;
    bool fromClosed = false;
};

} // namespace

class LatencyProxy::Worker : public QObject {
public:
    Worker(LatencyProxy& owner) : m_owner(owner) {
        m_clock.start();
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { deliver(); });
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }
    QTcpServer m_server;

private:
    double now() const { return double(m_clock.nsecsElapsed()) / 1e6; }

    void accept() {
        while (QTcpSocket* client = m_server.nextPendingConnection()) {
            ++m_owner.m_connections;
            auto* server = new QTcpSocket(this);
            client->setParent(this);
            client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            server->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            auto up = std::make_shared<Lane>();
            auto down = std::make_shared<Lane>();
            up->from = client;
            up->to = server;
            down->from = server;
            down->to = client;
            m_lanes.push_back(up);
            m_lanes.push_back(down);
            for (const auto& lane : {up, down}) {
                QObject::connect(lane->from, &QTcpSocket::readyRead, this,
                                 [this, lane] { take(*lane); });
                QObject::connect(lane->from, &QTcpSocket::disconnected, this, [this, lane] {
                    take(*lane);
                    lane->fromClosed = true;
                    schedule();
                });
            }
            server->connectToHost(m_owner.m_serverHost, m_owner.m_serverPort);
        }
    }

    void take(Lane& lane) {
        if (!lane.from)
            return;
        const QByteArray bytes = lane.from->readAll();
        for (qsizetype at = 0; at < bytes.size(); at += kPiece) {
            const QByteArray piece = bytes.mid(at, kPiece);
            const double start = std::max(now(), lane.linkFreeAt);
            const double sending =
                m_owner.m_rate > 0 ? double(piece.size()) * 1000.0 / double(m_owner.m_rate) : 0;
            lane.linkFreeAt = start + sending;
            lane.queue.emplace_back(lane.linkFreeAt + m_owner.m_delayMs, piece);
        }
        schedule();
    }

    void deliver() {
        const double t = now();
        for (const auto& lane : m_lanes) {
            while (!lane->queue.empty() && lane->queue.front().first <= t) {
                // The server side may still be connecting: writes wait in
                // its buffer until it is.
                if (lane->to)
                    lane->to->write(lane->queue.front().second);
                lane->queue.pop_front();
            }
            if (lane->fromClosed && lane->queue.empty() && lane->to &&
                lane->to->state() != QAbstractSocket::UnconnectedState)
                lane->to->disconnectFromHost();
        }
        schedule();
    }

    void schedule() {
        double next = -1;
        for (const auto& lane : m_lanes) {
            if (!lane->queue.empty() && (next < 0 || lane->queue.front().first < next))
                next = lane->queue.front().first;
            if (lane->fromClosed && lane->queue.empty() && lane->to &&
                lane->to->state() == QAbstractSocket::ConnectedState)
                next = now();
        }
        if (next >= 0)
            m_timer.start(std::max(0, int(next - now())));
    }

    LatencyProxy& m_owner;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::vector<std::shared_ptr<Lane>> m_lanes;
};

LatencyProxy::LatencyProxy(QString serverHost, quint16 serverPort, int delayMs,
                           qint64 bytesPerSecond)
    : m_serverHost(std::move(serverHost)), m_serverPort(serverPort), m_delayMs(delayMs),
      m_rate(bytesPerSecond) {}

LatencyProxy::~LatencyProxy() {
    if (m_worker)
        QMetaObject::invokeMethod(
            m_context, [w = m_worker] { delete w; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}

bool LatencyProxy::start() {
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
    bool ok = false;
    QMetaObject::invokeMethod(
        m_context,
        [this, &ok] {
            m_worker = new Worker(*this);
            ok = m_worker->m_server.listen(QHostAddress::LocalHost, 0);
            m_port = m_worker->m_server.serverPort();
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

QString LatencyProxy::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}
