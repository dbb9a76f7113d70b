#pragma once

#include "RangeTransport.h"

#include <QPointer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Range requests through Qt's own client, one at a time: for every server
// behind a proxy, and for servers that did not keep up with pipelining.
class QtRangeTransport : public RangeTransport {
    Q_OBJECT
public:
    QtRangeTransport(QNetworkAccessManager* network, QUrl url, QObject* parent = nullptr);
    ~QtRangeTransport() override;

    int capacity() const override { return 1; }
    void ask(const Headers& headers) override;
    void close() override;

private:
    Head head() const;
    void onFinished();

    QNetworkAccessManager* m_network;
    QUrl m_url;
    QPointer<QNetworkReply> m_reply;
};
