// net/: ranged downloads, the program download queue, the server-address file, self-update.

#pragma once

#include "ProgramDownload.h"
#include "catalogue/AppFolder.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>
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
    // Queues several rows, in order, as one batch: a message that several
    // of them would give is given once.
    void addBatch(const QList<QPair<int, QString>>& rows);
    // Every row of the list shown whose program is missing (its mark says so) and
    // not queued yet, in list order, as one batch.
    void addMissing(const QStringList& rowTexts);
    // Takes the row out of the queue, stopping its download if it runs (the
    // part downloaded so far stays for next time); its row shows its text
    // as queued again.
    void cancel(int row);
    bool contains(int row) const;
    int size() const { return int(m_items.size()); }

signals:
    void added(int row, const QString& rowText);
    // The item at this place of the queue has left it (0: the one that ran).
    void removedAt(int position);
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
        int batch = 0; // 0: a single click
    };

    void append(const Item& item);
    void startHead();
    void onFinished(const Item& item, ProgramDownload::Result result, const QString& problem);
    void say(const Item& item, const QString& text);
    void refreshServerAddress();
    void endHead();

    Settings m_settings;
    QList<Item> m_items;
    QPointer<ProgramDownload> m_running;
    int m_batches = 0;
    QHash<int, QSet<QString>> m_batchSaid; // what each batch has told already
};
