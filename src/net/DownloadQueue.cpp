#include "DownloadQueue.h"

#include "FileDownload.h"
#include "ServerAddress.h"
#include "catalogue/ProgramName.h"

QString DownloadTexts::progress(int percent) {
    return QStringLiteral("正在下载 %1%").arg(percent);
}

DownloadQueue::DownloadQueue(Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {}

void DownloadQueue::add(int row, const QString& rowText) {
    m_items.append({row, rowText});
    emit added(row, rowText);
    emit rowTextChanged(row, DownloadTexts::queued);
    // An earlier click's download takes this one in turn.
    if (m_items.size() == 1)
        startHead();
}

bool DownloadQueue::contains(int row) const {
    for (const Item& item : m_items)
        if (item.row == row)
            return true;
    return false;
}

void DownloadQueue::startHead() {
    const Item item = m_items.first();
    auto* download =
        new ProgramDownload(m_settings.network, m_settings.downloadBase, m_settings.serverFolder(),
                            m_settings.app.cacheFolder(), ProgramName::fromRow(item.rowText), this);
    download->setRequestLimit(m_settings.requestLimitMs);
    const int row = item.row;
    connect(download, &ProgramDownload::starting, this,
            [this, row] { emit rowTextChanged(row, DownloadTexts::starting); });
    connect(download, &ProgramDownload::contentRangeMissing, this,
            [this] { emit notice(QStringLiteral("无法获取文件大小！")); });
    connect(download, &ProgramDownload::progress, this, [this, row](int percent) {
        emit rowTextChanged(row, DownloadTexts::progress(percent));
    });
    connect(download, &ProgramDownload::finished, this,
            [this, download, item](ProgramDownload::Result result) {
                download->deleteLater();
                onFinished(item, result);
            });
    download->start();
}

void DownloadQueue::onFinished(const Item& item, ProgramDownload::Result result) {
    using Result = ProgramDownload::Result;
    if (result == Result::Complete) {
        // Only the mark turns present; a "*" inside the name is the name's.
        QString present = item.rowText;
        if (present.startsWith(u'*'))
            present[0] = u' ';
        emit rowTextChanged(item.row, present);
        emit completed(item.row, m_settings.app.cacheFolder() + ProgramName::fromRow(item.rowText) +
                                     QStringLiteral(".swf"));
        endHead();
        return;
    }

    emit rowTextChanged(item.row, item.rowText);
    switch (result) {
    case Result::Refused:
        emit notice(QStringLiteral("连接数过多"));
        break;
    case Result::NotFound:
        emit notice(QStringLiteral("文件无法找到"));
        // The server may have moved its programs; the next click uses the
        // folder it names now. The queue waits for the new name.
        refreshServerAddress();
        return;
    case Result::TimedOut:
        emit notice(QStringLiteral("下载文件超时"));
        break;
    case Result::ServerError:
        // Only the last of several failing downloads says so.
        if (m_items.size() == 1)
            emit notice(QStringLiteral("网络繁忙或不畅,请再试"));
        break;
    case Result::NoRangeSupport:
        emit notice(QStringLiteral("不支持断点续传"));
        break;
    case Result::UnsafeName:
        emit notice(
            QStringLiteral("节目名称无效，无法下载：%1").arg(ProgramName::fromRow(item.rowText)));
        break;
    case Result::Failed:
    case Result::Complete:
        break;
    }
    endHead();
}

void DownloadQueue::refreshServerAddress() {
    const AppFolder& app = m_settings.app;
    auto* refresh = new FileDownload(
        m_settings.network, QUrl(m_settings.downloadBase + QStringLiteral("cons/guihu.txt")),
        app.path(QStringLiteral("cons/guihu2.inb")), app.path(ServerAddress::kFile), this);
    refresh->setRequestLimit(m_settings.requestLimitMs);
    connect(refresh, &FileDownload::finished, this, [this, refresh] {
        refresh->deleteLater();
        emit serverAddressRefreshed();
        endHead();
    });
    refresh->start();
}

void DownloadQueue::endHead() {
    m_items.removeFirst();
    emit headRemoved();
    if (!m_items.isEmpty())
        startHead();
}
