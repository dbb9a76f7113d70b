#pragma once

#include "FlashPlayer.h"
#include "swf/SwfInfo.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class GuestPage;
class QJsonObject;
class QTemporaryDir;
class QLabel;
class QStackedWidget;
class QWebChannel;
class QWebEngineView;
class RufflePageBridge;

// The Flash player on Ruffle, inside Qt WebEngine. One page and one engine
// serve the run: they start loading when the player is made, and every
// program change reuses them. Should the page's renderer end or the engine
// stop, the player area says so once, and the next program chosen gets a
// fresh page and engine. Frame position and play state are cached here and
// pushed by the page, so reading them never waits for the engine.
//
// Programs are strangers: the page (a GuestPage) lets a program read only
// its own folder, and the window's thread reads no more of a program than
// its header. Rewriting an ActionScript 3 program happens on a worker
// thread, and the page loads the rewritten copy from a private folder.
class RuffleFlashPlayer : public QObject, public FlashPlayer {
    Q_OBJECT
public:
    enum class Start { Now, Later };
    // engineFolder holds the engine files and our host page. Started later,
    // the engine loads only when start() is called (after the window shows,
    // so that it never holds the window back); until then the player area
    // is empty and every request waits for the engine.
    explicit RuffleFlashPlayer(const QString& engineFolder, Start when = Start::Now,
                               QObject* parent = nullptr);
    void start();
    ~RuffleFlashPlayer() override;

    QString movie() const override { return m_movie; }
    void setMovie(const QString& movie) override;
    void play() override;
    void stopPlay() override;
    void gotoFrame(int frame) override;
    int frameNum() const override;
    int totalFrames() const override { return m_totalFrames; }
    bool playing() const override;
    bool hasExactFrames() const override { return m_kind == Kind::Hosted; }
    void setMuted(bool muted) override;
    void setContextMenuEnabled(bool enabled) override;
    QWidget* widget() override;

    bool isReady() const { return m_ready; }
    // The player area's text for a program it refuses to play; empty when
    // the current program is not refused.
    QString refusal() const { return m_refusal; }
    static const QString kTooLarge;
    // Where programs mostly come from: the page prepares to start the next
    // one from there quickly, the first one after it starts included.
    void expectProgramsFrom(const QString& folder);
    // Always draw at full resolution, even when the machine misses frames
    // (for comparing drawing costs); off at first.
    void setFullResolution(bool on);
    // Whether what programs trace reaches traced(); off at first.
    void setTraceForwarding(bool on);
    // Why the engine stopped or could not start, until it starts again.
    QString failure() const { return m_failure; }

signals:
    void ready();
    void frameChanged(int frame);
    void failed(const QString& reason);
    void traced(const QString& message);

private:
    friend class RufflePageBridge;
    enum class Kind { None, Hosted, Timed };

    void loadPage();
    void onPageReady();
    void onFrame(int generation, int oneBasedFrame, int total);
    void onFailure(const QString& reason);
    // Scripts for the page: a setting is sent only to a ready page (a fresh
    // page is told every setting when it is ready); a command for the
    // program waits until the program is on its way to the page.
    void send(const QString& script);
    void command(const QString& script);
    void flushPending();
    void loadCurrentMovie();
    // An ActionScript 3 program gets the host's class on a worker thread.
    void prepareRewrite();
    void onRewritten(int generation, const QString& copy);
    void allowCurrentProgram();
    void showStage();
    void refuse(const QString& text);
    void loadBytes(const QByteArray& swf, const QJsonObject& how);
    // Has the page get an instance ready for the expected folder, at once.
    void prepareWaiting();
    void watchRewrittenProgram();
    int timedFrame() const;

    QPointer<QStackedWidget> m_stack;
    QString m_engineFolder;
    QWebEngineView* m_view = nullptr;
    GuestPage* m_page = nullptr;
    QLabel* m_message = nullptr;
    QWebChannel* m_channel = nullptr;
    RufflePageBridge* m_bridge = nullptr;

    bool m_ready = false;
    bool m_startedOnce = false;  // a page has been ready once
    bool m_filesMissing = false; // for good: nothing to start again
    int m_pageLoads = 0;
    QString m_failure; // why the page or engine stopped, until the next start
    bool m_menuEnabled = true;
    bool m_forwardTrace = false;
    bool m_fullResolution = false;
    QString m_expectedBase; // where programs mostly come from, as a page URL
    QStringList m_pending;  // scripts waiting for the page

    QString m_movie = kNoProgram;
    int m_generation = 0; // counts program changes
    Kind m_kind = Kind::None;
    Swf::Info m_info;         // of the current program: its header
    QString m_refusal;        // why the current program is not played
    bool m_preparing = false; // its rewrite is under way
    QString m_rewritten;      // the ActionScript 3 program with the host's class, a copy
    std::unique_ptr<QTemporaryDir> m_copies; // where such copies are kept
    int m_totalFrames = 0;
    double m_frameRate = 12;
    bool m_muted = false;
    bool m_paused = false;

    // Hosted programs: the last frame the page reported (0-based) and when
    // the timeline last moved.
    int m_frame = 0;
    bool m_frameSeen = false; // the program's first frame has run
    int m_pendingGoto = -1;   // asked for before the program ran
    QElapsedTimer m_sinceAdvance;

    // Timed programs (ActionScript 3): frame = start frame + playing time x
    // rate, wrapping at the frame count.
    int m_timedStart = 0;
    QElapsedTimer m_timedClock;
};
