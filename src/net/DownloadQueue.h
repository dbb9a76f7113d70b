// net/: ranged downloads, the program download queue, the server-address file, self-update.

#pragma once

#include "ProgramDownload.h"
#include "catalogue/AppFolder.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QNetworkAccessManager;

// The row texts of a program while it waits and downloads.
namespace DownloadTexts {
inline const QString queued = QStringLiteral("准备下载");
inline const QString starting = QStringLiteral("开始下载");
QString progress(int percent); // "正在下载 n%"
} // namespace DownloadTexts

// The program download queue: clicked rows of the main list download one
// after the other, in click order. It owns the order of (row index, row
// text) and runs one ProgramDownload at a time; the window shows what its
// signals say. A row is in the queue from its click until its download has
// ended, so the queue is non-empty exactly while a download runs or waits.
class DownloadQueue : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QNetworkAccessManager* network = nullptr;
        QString downloadBase; // ends with "/"
        AppFolder app;
        int requestLimitMs = 24000;
        // The server folder at the moment a download starts (it changes after
        // a refresh of the server-address file).
        std::function<QString()> serverFolder;
    };

    explicit DownloadQueue(Settings settings, QObject* parent = nullptr);

    // Queues the row; starts it at once when nothing else downloads.
    void add(int row, const QString& rowText);
    bool contains(int row) const;
    int size() const { return int(m_items.size()); }

signals:
    void added(int row, const QString& rowText);
    // The head's download has ended and it has left the queue.
    void headRemoved();
    void rowTextChanged(int row, const QString& text);
    void notice(const QString& text);
    // The program of the row is in the cache now; its row shows it present.
    void completed(int row, const QString& cacheFile);
    // A 404 brought a fresh server-address file (or tried to); read it
    // before the next download starts.
    void serverAddressRefreshed();

private:
    struct Item {
        int row;
        QString rowText;
    };

    void startHead();
    void onFinished(const Item& item, ProgramDownload::Result result);
    void refreshServerAddress();
    void endHead();

    Settings m_settings;
    QList<Item> m_items;
};
