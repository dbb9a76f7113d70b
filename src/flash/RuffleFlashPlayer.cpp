#include "RuffleFlashPlayer.h"

#include "base/FileOps.h"
#include "flash/GuestPage.h"
#include "swf/As3Host.h"
#include "swf/HostMovie.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLoggingCategory>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>
#include <QtConcurrent>
#include <algorithm>
#include <utility>

// Said only when asked for (QT_LOGGING_RULES="kibu.engine.info=true").
Q_LOGGING_CATEGORY(lcEngine, "kibu.engine", QtWarningMsg)

namespace {

const QString kHostPage = QStringLiteral("kibu-host.html");
constexpr int kStartLimitMs = 30000;
// How long an ActionScript 3 program with the added class may take to say
// that its constructor has run.
constexpr int kProbeLimitMs = 5000;

QString jsString(const QString& s) {
    QString out = s;
    out.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    out.replace(u'\n', QLatin1String("\\n")).replace(u'\r', QLatin1String("\\r"));
    out.replace(QChar(0x2028), QLatin1String("\\u2028"))
        .replace(QChar(0x2029), QLatin1String("\\u2029"));
    return u'"' + out + u'"';
}

// A folder as the page names it, the base of the programs in it.
QString folderUrl(const QString& folder) {
    return QUrl::fromLocalFile(QDir::cleanPath(QDir(folder).absolutePath()) + u'/')
        .toString(QUrl::FullyEncoded);
}

QString base64(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64());
}

QString fileUrl(const QString& path) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

// On a worker thread: the program with the host's class, written to copy;
// empty when it cannot take the class (it then plays as it is).
QString rewriteInto(const QString& program, const QString& copy) {
    QFile in(program);
    if (!in.open(QIODevice::ReadOnly) || in.size() > Swf::kMaxPlainLength)
        return {};
    const std::optional<QByteArray> rewritten = As3Host::rewrite(in.readAll());
    if (!rewritten || !QDir().mkpath(QFileInfo(copy).absolutePath()))
        return {};
    return FileOps::writeAtomically(copy, *rewritten) ? copy : QString();
}

} // namespace

const QString RuffleFlashPlayer::kTooLarge = QStringLiteral("这个节目文件太大，不能播放。");

// The object the page talks to through the web channel.
class RufflePageBridge : public QObject {
    Q_OBJECT
public:
    explicit RufflePageBridge(RuffleFlashPlayer* player) : QObject(player), m_player(player) {}

public slots:
    void pageReady() { m_player->onPageReady(); }
    void frameChanged(int generation, int frame, int total) {
        m_player->onFrame(generation, frame, total);
    }
    void failed(const QString& reason) { m_player->onFailure(reason); }
    void traced(const QString& message) { emit m_player->traced(message); }
    // The share of full resolution the engine draws at, lowered while the
    // machine cannot keep the program's frame rate.
    void drawing(double share) {
        qCInfo(lcEngine) << "drawing at" << share << "of full resolution";
    }

private:
    RuffleFlashPlayer* m_player;
};

RuffleFlashPlayer::RuffleFlashPlayer(const QString& engineFolder, Start when, QObject* parent)
    : QObject(parent), m_stack(new QStackedWidget), m_engineFolder(engineFolder) {
    m_message = new QLabel(m_stack);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    // Until the engine is there, the area looks like the empty stage.
    QPalette white = m_message->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_message->setPalette(white);
    m_message->setAutoFillBackground(true);
    m_stack->addWidget(m_message);
    if (when == Start::Now)
        start();
}

void RuffleFlashPlayer::start() {
    if (m_view || !m_failure.isEmpty())
        return;
    m_view = new QWebEngineView(m_stack);
    m_stack->insertWidget(0, m_view);
    m_stack->setCurrentWidget(m_view);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_page = new GuestPage(m_engineFolder,
                           QUrl::fromLocalFile(QDir(m_engineFolder).absoluteFilePath(kHostPage)),
                           m_view);
    m_view->setPage(m_page);
    allowCurrentProgram();
    QWebEnginePage* page = m_page;

    // The channel's own script comes from Qt's resources; the page is a
    // local file, so it is handed in rather than linked.
    QFile channelJs(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (channelJs.open(QIODevice::ReadOnly)) {
        QWebEngineScript script;
        script.setName(QStringLiteral("qwebchannel"));
        script.setSourceCode(QString::fromUtf8(channelJs.readAll()));
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        page->scripts().insert(script);
    }
    m_bridge = new RufflePageBridge(this);
    m_channel = new QWebChannel(this);
    m_channel->registerObject(QStringLiteral("kibu"), m_bridge);
    page->setWebChannel(m_channel);

    // The renderer may end (a crash, or killed).
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    onFailure(QStringLiteral("engine process ended"));
            });
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (!ok)
            onFailure(QStringLiteral("player page could not be loaded"));
    });

    const QString pagePath = QDir(m_engineFolder).filePath(kHostPage);
    if (!QFileInfo::exists(pagePath) ||
        !QFileInfo::exists(QDir(m_engineFolder).filePath(QStringLiteral("ruffle.js")))) {
        m_filesMissing = true;
        onFailure(QStringLiteral("engine files missing in %1")
                      .arg(QDir::toNativeSeparators(m_engineFolder)));
        return;
    }
    loadPage();
}

void RuffleFlashPlayer::loadPage() {
    m_failure.clear();
    m_ready = false;
    m_stack->setCurrentWidget(m_view);
    m_view->load(QUrl::fromLocalFile(QDir(m_engineFolder).absoluteFilePath(kHostPage)));
    // Without a display or GL the page never comes up and nothing else
    // reports it; the player area says so while the rest keeps working.
    const int attempt = ++m_pageLoads;
    QTimer::singleShot(kStartLimitMs, this, [this, attempt] {
        if (!m_ready && attempt == m_pageLoads)
            onFailure(QStringLiteral("engine did not start"));
    });
}

RuffleFlashPlayer::~RuffleFlashPlayer() {
    if (m_stack && !m_stack->parent())
        delete m_stack;
}

QWidget* RuffleFlashPlayer::widget() {
    return m_stack;
}

void RuffleFlashPlayer::send(const QString& script) {
    if (m_failure.isEmpty() && m_ready)
        m_page->runJavaScript(script);
}

void RuffleFlashPlayer::command(const QString& script) {
    if (!m_failure.isEmpty())
        return;
    if (!m_ready || m_preparing)
        m_pending.append(script);
    else
        send(script);
}

void RuffleFlashPlayer::flushPending() {
    // Play, stop and goto given while the page was loading, or while the
    // program was being prepared, act on the program once it is there.
    if (m_ready && !m_preparing)
        for (const QString& script : std::exchange(m_pending, {}))
            send(script);
}

void RuffleFlashPlayer::onPageReady() {
    if (!m_failure.isEmpty())
        return;
    qCInfo(lcEngine) << "engine page ready";
    m_ready = true;
    m_startedOnce = true;
    // A fresh page knows nothing of what the window set on the last one.
    send(QStringLiteral("kibuSetVolume(%1);").arg(m_muted ? 0 : 1));
    send(QStringLiteral("kibuSetWaitingHost(\"%1\");").arg(base64(HostMovie::waiting())));
    prepareWaiting();
    if (!m_menuEnabled)
        setContextMenuEnabled(false);
    if (m_forwardTrace)
        setTraceForwarding(true);
    if (m_fullResolution)
        setFullResolution(true);
    loadCurrentMovie();
    flushPending();
    emit ready();
}

void RuffleFlashPlayer::onFailure(const QString& reason) {
    if (!m_failure.isEmpty())
        return;
    m_failure = reason;
    m_ready = false;
    m_pending.clear();
    // Said once, where the program would be; the next program chosen gets
    // a fresh page and engine (but for missing files, which stay missing).
    m_message->setText(
        m_startedOnce
            ? QStringLiteral("这个节目没能播放。请再点一下节目。")
            : QStringLiteral("节目播放器无法启动（%1）。\n其他功能仍可使用。").arg(reason));
    if (m_stack)
        m_stack->setCurrentWidget(m_message);
    emit failed(reason);
}

void RuffleFlashPlayer::setMovie(const QString& movie) {
    if (!m_failure.isEmpty() && !m_filesMissing && m_view && movie != kNoProgram)
        loadPage();
    m_movie = movie;
    m_pending.clear(); // they were meant for the previous program
    ++m_generation;    // frames still on their way belong to it too
    m_paused = false;
    m_frame = 0;
    m_frameSeen = false;
    m_pendingGoto = -1;
    m_sinceAdvance.start();
    m_preparing = false;
    m_rewritten.clear();
    m_refusal.clear();
    m_kind = Kind::None;
    m_totalFrames = 0;
    m_timedStart = 0;
    m_timedClock.start();
    showStage();
    if (movie != kNoProgram) {
        // The header only: the rest of the file may be anything. A pipe or
        // a device is not read at all (opening one could wait for ever).
        const QFileInfo file(movie);
        m_info = file.isFile() ? Swf::readHead(movie) : Swf::Info();
        m_frameRate = m_info.valid && m_info.frameRate > 0 ? m_info.frameRate : 12;
        if (m_info.tooLarge() || file.size() > Swf::kMaxPlainLength) {
            refuse(kTooLarge);
        } else {
            m_totalFrames = m_info.valid ? m_info.frameCount : 0;
            m_kind = Kind::Hosted;
            // The program itself gets the host's callbacks; one that cannot
            // plays as it is, its position counted by time.
            if (m_info.valid && m_info.actionScript3)
                prepareRewrite();
        }
    }
    allowCurrentProgram();
    loadCurrentMovie();
}

void RuffleFlashPlayer::allowCurrentProgram() {
    if (!m_page)
        return;
    if (m_kind == Kind::None)
        m_page->access().setProgram({});
    else
        m_page->access().setProgram(QFileInfo(m_movie).absolutePath(), m_rewritten);
}

void RuffleFlashPlayer::prepareRewrite() {
    if (!m_copies) {
        m_copies = std::make_unique<QTemporaryDir>(
            QDir(QDir::tempPath()).filePath(QStringLiteral("kibu-player-XXXXXX")));
        if (!m_copies->isValid()) {
            m_copies.reset();
            m_kind = Kind::Timed;
            return;
        }
    }
    // Each program change has a copy of its own, so that an older one the
    // engine may still be reading is never overwritten; older ones go.
    const QDir copies(m_copies->path());
    for (const QString& older : copies.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir(copies.filePath(older)).removeRecursively();
    const QString copy = copies.filePath(
        QStringLiteral("%1/%2").arg(m_generation).arg(QFileInfo(m_movie).fileName()));
    m_preparing = true;
    const int generation = m_generation;
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        onRewritten(generation, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(rewriteInto, m_movie, copy));
}

void RuffleFlashPlayer::onRewritten(int generation, const QString& copy) {
    if (generation != m_generation) {
        if (!copy.isEmpty())
            QFile::remove(copy);
        return;
    }
    m_preparing = false;
    m_rewritten = copy;
    if (copy.isEmpty()) {
        m_kind = Kind::Timed;
        m_timedClock.start();
    } else {
        watchRewrittenProgram();
    }
    allowCurrentProgram();
    loadCurrentMovie();
    flushPending();
}

void RuffleFlashPlayer::showStage() {
    if (m_failure.isEmpty() && m_view)
        m_stack->setCurrentWidget(m_view);
}

void RuffleFlashPlayer::refuse(const QString& text) {
    m_refusal = text;
    m_message->setText(text);
    m_stack->setCurrentWidget(m_message);
}

void RuffleFlashPlayer::watchRewrittenProgram() {
    // The added class answers as soon as the program's constructor has run;
    // should it never, the program plays as it is.
    const int generation = m_generation;
    QTimer::singleShot(kProbeLimitMs, this, [this, generation] {
        if (generation != m_generation || m_frameSeen || m_rewritten.isEmpty() || !m_ready)
            return;
        m_rewritten.clear();
        m_kind = Kind::Timed;
        allowCurrentProgram();
        m_timedClock.start();
        ++m_generation;
        loadCurrentMovie();
    });
}

void RuffleFlashPlayer::loadCurrentMovie() {
    // The page loads whatever is current once it is ready, and once it is
    // prepared.
    if (!m_ready || m_preparing)
        return;
    if (m_kind == Kind::None) {
        loadBytes(HostMovie::emptyStage(), {{QStringLiteral("hosted"), false}});
        return;
    }
    const QFileInfo file(m_movie);
    const QString url = fileUrl(m_movie);
    // Relative names in the program resolve against its own folder.
    const QString base = folderUrl(file.absolutePath());
    if (m_kind == Kind::Timed) {
        send(QStringLiteral("kibuLoadUrl(%1, %2, %3, %4);")
                 .arg(m_generation)
                 .arg(jsString(url), jsString(base))
                 .arg(m_frameRate));
        return;
    }
    QJsonObject how{{QStringLiteral("hosted"), true},
                    {QStringLiteral("base"), base},
                    {QStringLiteral("rate"), m_frameRate}};
    if (!m_rewritten.isEmpty()) {
        // The copy is read by the engine itself, as the program would be.
        how.insert(QStringLiteral("file"), fileUrl(m_rewritten));
        loadBytes({}, how);
        return;
    }
    // The page may hand the program to a host that waits for it.
    how.insert(QStringLiteral("url"), url);
    loadBytes(HostMovie::build(m_info, url), how);
}

void RuffleFlashPlayer::expectProgramsFrom(const QString& folder) {
    m_expectedBase = folderUrl(folder);
    if (m_ready)
        prepareWaiting();
}

void RuffleFlashPlayer::prepareWaiting() {
    if (!m_expectedBase.isEmpty())
        send(QStringLiteral("kibuPrepareWaiting(%1, 0);").arg(jsString(m_expectedBase)));
}

void RuffleFlashPlayer::loadBytes(const QByteArray& swf, const QJsonObject& how) {
    send(QStringLiteral("kibuLoadHost(%1, \"%2\", %3);")
             .arg(m_generation)
             .arg(base64(swf),
                  QString::fromUtf8(QJsonDocument(how).toJson(QJsonDocument::Compact))));
}

void RuffleFlashPlayer::onFrame(int generation, int oneBasedFrame, int total) {
    if (m_kind != Kind::Hosted || generation != m_generation)
        return;
    const int frame = oneBasedFrame - 1;
    if (frame != m_frame || !m_frameSeen)
        m_sinceAdvance.start();
    m_frame = frame;
    const bool firstFrame = !m_frameSeen;
    m_frameSeen = true;
    // The engine's count wins: a program may have loaded another movie in
    // its own place.
    if (total > 0)
        m_totalFrames = total;
    emit frameChanged(frame);
    // A goto given while the program was still loading goes now.
    if (firstFrame && m_pendingGoto >= 0)
        gotoFrame(std::exchange(m_pendingGoto, -1));
}

void RuffleFlashPlayer::setContextMenuEnabled(bool enabled) {
    m_menuEnabled = enabled;
    send(QStringLiteral("kibuSetMenu(%1);")
             .arg(enabled ? QStringLiteral("true") : QStringLiteral("false")));
}

void RuffleFlashPlayer::setFullResolution(bool on) {
    m_fullResolution = on;
    send(QStringLiteral("kibuDetailHold(%1);")
             .arg(on ? QStringLiteral("true") : QStringLiteral("false")));
}

void RuffleFlashPlayer::setTraceForwarding(bool on) {
    m_forwardTrace = on;
    send(QStringLiteral("kibuForwardTrace(%1);")
             .arg(on ? QStringLiteral("true") : QStringLiteral("false")));
}

void RuffleFlashPlayer::play() {
    if (m_kind == Kind::None)
        return;
    if (m_kind == Kind::Timed && m_paused) {
        m_timedClock.start();
    }
    m_paused = false;
    m_sinceAdvance.start();
    // Before its first frame has run, the program's own timeline is left
    // alone: a program that stops on its first frame stays there, however
    // late this play reaches the page.
    command(QStringLiteral("kibuPlay(%1);")
                .arg(m_frameSeen ? QStringLiteral("true") : QStringLiteral("false")));
}

void RuffleFlashPlayer::stopPlay() {
    if (m_kind == Kind::None)
        return;
    if (m_kind == Kind::Timed && !m_paused)
        m_timedStart = timedFrame();
    m_paused = true;
    command(QStringLiteral("kibuStop();"));
}

void RuffleFlashPlayer::gotoFrame(int frame) {
    if (m_kind == Kind::None)
        return;
    const int target =
        m_totalFrames > 0 ? std::clamp(frame, 0, m_totalFrames - 1) : std::max(frame, 0);
    if (m_kind == Kind::Timed) {
        // The engine cannot seek such a program; the position restarts its
        // count at the requested frame.
        m_timedStart = target;
        m_timedClock.start();
        return;
    }
    if (!m_frameSeen) {
        m_pendingGoto = target;
        return;
    }
    m_frame = target;
    m_sinceAdvance.start();
    command(QStringLiteral("kibuGoto(%1, %2);")
                .arg(target + 1)
                .arg(m_paused ? QStringLiteral("false") : QStringLiteral("true")));
}

int RuffleFlashPlayer::timedFrame() const {
    if (m_totalFrames <= 0)
        return 0;
    if (m_paused)
        return m_timedStart;
    const auto advanced =
        static_cast<qint64>(static_cast<double>(m_timedClock.elapsed()) * m_frameRate / 1000.0);
    return static_cast<int>((m_timedStart + advanced) % m_totalFrames);
}

int RuffleFlashPlayer::frameNum() const {
    switch (m_kind) {
    case Kind::None:
        return 0;
    case Kind::Timed:
        return timedFrame();
    case Kind::Hosted:
        return m_frame;
    }
    return 0;
}

bool RuffleFlashPlayer::playing() const {
    if (m_kind == Kind::None || m_paused || !m_failure.isEmpty())
        return false;
    if (m_kind == Kind::Timed)
        return true;
    // Until the program's first frame has run nothing plays. The engine
    // keeps running when a program stops its own timeline, so playing means
    // the frame moved lately: within a few frame periods, and never less
    // than a second.
    if (!m_frameSeen)
        return false;
    const qint64 window = std::max<qint64>(1200, static_cast<qint64>(4000.0 / m_frameRate));
    return m_sinceAdvance.isValid() && m_sinceAdvance.elapsed() < window;
}

void RuffleFlashPlayer::setMuted(bool muted) {
    m_muted = muted;
    if (m_ready)
        send(QStringLiteral("kibuSetVolume(%1);").arg(muted ? 0 : 1));
}

#include "RuffleFlashPlayer.moc"
