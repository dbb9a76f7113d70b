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
    append({row, rowText});
}

void DownloadQueue::addBatch(const QList<QPair<int, QString>>& rows) {
    const int batch = ++m_batches;
    for (const auto& [row, rowText] : rows)
        append({row, rowText, batch});
}

void DownloadQueue::addMissing(const QStringList& rowTexts) {
    QList<QPair<int, QString>> rows;
    for (int i = 0; i < rowTexts.size(); ++i)
        if (ProgramName::isMissingRow(rowTexts.at(i)) && !contains(i))
            rows.append({i, rowTexts.at(i)});
    addBatch(rows);
}

void DownloadQueue::append(const Item& item) {
    m_items.append(item);
    emit added(item.row, item.rowText);
    emit rowTextChanged(item.row, DownloadTexts::queued);
    // An earlier click's download takes this one in turn.
    if (m_items.size() == 1)
        startHead();
}

void DownloadQueue::cancel(int row) {
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).row != row)
            continue;
        if (i == 0) {
            // Ends like any other download; once ended, the head leaves the
            // queue by itself (after a 404, when the address is refreshed).
            if (m_running)
                m_running->cancel();
            return;
        }
        const Item item = m_items.takeAt(i);
        emit removedAt(int(i));
        emit rowTextChanged(item.row, item.rowText);
        return;
    }
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
                onFinished(item, result, download->saveProblem());
            });
    m_running = download;
    download->start();
}

void DownloadQueue::say(const Item& item, const QString& text) {
    // A batch says each thing once, however many of its programs meet it.
    if (item.batch > 0) {
        QSet<QString>& said = m_batchSaid[item.batch];
        if (said.contains(text))
            return;
        said.insert(text);
    }
    emit notice(text);
}

void DownloadQueue::onFinished(const Item& item, ProgramDownload::Result result,
                               const QString& problem) {
    m_running = nullptr;
    using Result = ProgramDownload::Result;
    if (result == Result::Complete) {
        // Only the mark turns present; a "*" inside the name is the name's.
        emit rowTextChanged(item.row, ProgramName::presentRow(ProgramName::fromRow(item.rowText)));
        emit completed(item.row, m_settings.app.cacheFolder() + ProgramName::fromRow(item.rowText) +
                                     QStringLiteral(".swf"));
        endHead();
        return;
    }

    emit rowTextChanged(item.row, item.rowText);
    switch (result) {
    case Result::Refused:
        say(item, QStringLiteral("连接数过多"));
        break;
    case Result::NotFound:
        say(item, QStringLiteral("文件无法找到"));
        // The server may have moved its programs; the next click uses the
        // folder it names now. The queue waits for the new name.
        refreshServerAddress();
        return;
    case Result::TimedOut:
        say(item, QStringLiteral("下载文件超时"));
        break;
    case Result::ServerError:
        // Only the last of several failing downloads says so.
        if (m_items.size() == 1)
            say(item, QStringLiteral("网络繁忙或不畅,请再试"));
        break;
    case Result::NoRangeSupport:
        say(item, QStringLiteral("不支持断点续传"));
        break;
    case Result::UnsafeName:
        say(item,
            QStringLiteral("节目名称无效，无法下载：%1").arg(ProgramName::fromRow(item.rowText)));
        break;
    case Result::CannotSave:
        say(item, problem);
        break;
    case Result::Untrusted:
        say(item, QStringLiteral("下载服务器的安全证书无法验证，节目没有下载。"
                                 "请检查电脑的日期和时间是否正确。"));
        break;
    case Result::Failed:
    case Result::Cancelled:
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
    const Item ended = m_items.takeFirst();
    emit removedAt(0);
    const bool batchGoesOn = std::any_of(m_items.cbegin(), m_items.cend(),
                                         [&](const Item& i) { return i.batch == ended.batch; });
    if (!batchGoesOn)
        m_batchSaid.remove(ended.batch);
    if (!m_items.isEmpty())
        startHead();
}
