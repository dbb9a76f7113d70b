#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (and SIGHUP), as the desktop sends them at log-out or shut-down,
// turned into a signal on the event loop: the handler only writes a byte
// to a pipe that the loop watches.
class EndSignal : public QObject {
    Q_OBJECT
public:
    explicit EndSignal(QObject* parent = nullptr);
    ~EndSignal() override;

signals:
    void received();

private:
    QSocketNotifier* m_notifier = nullptr;
};
