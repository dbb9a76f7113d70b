#include "parentsui/ParentsControls.h"

#include "flash/FlashPlayer.h"
#include "parentsui/ParentsDialog.h"
#include "parentsui/ParentsGateDialog.h"
#include "parentsui/RestPicture.h"
#include "ui/Notifier.h"

#include <QApplication>
#include <QEvent>
#include <QRandomGenerator>
#include <QWindow>

namespace {

const QString kRestState = QStringLiteral("cons/rest.ini");
constexpr int kTickMs = 500;
// Frames from the end at which a program counts as seen to its end.
constexpr int kEndFrames = 2;

} // namespace

ParentsControls::ParentsControls(Hooks hooks, QObject* parent)
    : QObject(parent), m_hooks(std::move(hooks)), m_resume(m_hooks.app.path(ResumeStore::kFile)) {}

ParentsControls::~ParentsControls() = default;

void ParentsControls::load() {
    const auto read = ParentsSettings::read(m_hooks.app.path(ParentsSettings::kFile), &m_settings);
    if (read == ParentsSettings::Read::Damaged)
        m_hooks.notifier->message(
            QStringLiteral("家长设置文件已损坏，家长设置暂时全部关闭。请在“家长设置”中重新保存。"));
    applySettings();
}

void ParentsControls::applySettings() {
    if (!m_settings.restReminder) {
        m_rest.reset();
        if (m_picture)
            m_picture->hide();
        return;
    }
    m_rest = std::make_unique<RestClock>(m_hooks.app.path(kRestState),
                                         m_settings.playMinutes * m_hooks.minuteMs,
                                         m_settings.restMinutes * m_hooks.minuteMs);
    m_rest->load(m_hooks.now());
    if (m_rest->resting(m_hooks.now()))
        startRest();
}

bool ParentsControls::passGate(QWidget* parent) {
    if (m_hooks.passGate)
        return m_hooks.passGate(parent);
    const ParentsGate gate =
        m_hooks.fixedGate ? *m_hooks.fixedGate : ParentsGate::random(*QRandomGenerator::global());
    ParentsGateDialog dialog(gate.question(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (gate.accepts(dialog.typed()))
        return true;
    m_hooks.notifier->message(QStringLiteral("答案不对。这里只有家长才能打开。"));
    return false;
}

void ParentsControls::openSettings(QWidget* parent) {
    if (!passGate(parent))
        return;
    ParentsDialog dialog(m_settings, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ParentsSettings chosen = dialog.chosen();
    QString error;
    if (!chosen.write(m_hooks.app.path(ParentsSettings::kFile), &error)) {
        m_hooks.notifier->message(QStringLiteral("家长设置没有保存：%1").arg(error));
        return;
    }
    m_settings = chosen;
    applySettings();
}

// ---- full screen ----

bool ParentsControls::locked() const {
    return m_settings.childLock && m_fullScreen;
}

void ParentsControls::fullScreenEntered() {
    m_fullScreen = true;
    if (!m_settings.childLock)
        return;
    // No key reaches the window, and the engine keeps its menu to itself.
    qApp->installEventFilter(this);
    m_hooks.player->setContextMenuEnabled(false);
}

void ParentsControls::fullScreenLeft() {
    m_fullScreen = false;
    qApp->removeEventFilter(this);
    m_hooks.player->setContextMenuEnabled(true);
}

bool ParentsControls::mayLeaveFullScreen() {
    return !locked() || passGate(m_hooks.window);
}

bool ParentsControls::mayClose() const {
    return !locked();
}

bool ParentsControls::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (locked() && (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
                     type == QEvent::ShortcutOverride)) {
        // The parents' question, in a window of its own, still takes keys.
        const auto* window = qobject_cast<QWindow*>(watched);
        const auto* widget = qobject_cast<QWidget*>(watched);
        if ((window && window == m_hooks.window->windowHandle()) ||
            (widget && widget->window() == m_hooks.window))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

// ---- rest ----

bool ParentsControls::resting() const {
    return m_rest && m_rest->resting(m_hooks.now());
}

bool ParentsControls::mayStartProgram() const {
    return !resting();
}

void ParentsControls::tick() {
    const FlashPlayer& player = *m_hooks.player;
    const bool playing = player.movie() != FlashPlayer::kNoProgram && player.playing() &&
                         !(m_hooks.minimized && m_hooks.minimized());
    if (playing && !m_program.isEmpty()) {
        m_programPlayed += kTickMs;
        if (player.totalFrames() > 0 && player.frameNum() >= player.totalFrames() - kEndFrames) {
            // Seen to its end: chosen again, it starts from its beginning,
            // however it goes on now.
            m_resume.forget(m_program);
            m_seenToEnd = true;
        }
    }
    if (!m_rest)
        return;
    const qint64 now = m_hooks.now();
    if (m_rest->advance(now, playing)) {
        // The program stops at once; the picture comes with the next tick,
        // when the position bar has caught up with where it stopped.
        if (m_hooks.pause)
            m_hooks.pause();
        return;
    }
    if (m_rest->resting(now))
        showPicture();
    else if (m_picture)
        m_picture->hide();
}

void ParentsControls::startRest() {
    if (m_hooks.pause)
        m_hooks.pause();
    showPicture();
}

void ParentsControls::showPicture() {
    if (!m_picture) {
        m_picture = new RestPicture(m_hooks.window);
        connect(m_picture, &RestPicture::parentAsked, this, [this] {
            if (passGate(m_hooks.window))
                endRest();
        });
    }
    m_picture->setLeft(m_rest->restLeft(m_hooks.now()));
    placePicture();
    m_picture->show();
}

void ParentsControls::endRest() {
    if (m_rest)
        m_rest->endRest();
    if (m_picture)
        m_picture->hide();
}

void ParentsControls::placePicture() {
    // Over the player, wherever it lies now (full screen included), and
    // under the way back out of full screen: with the lock off a child
    // leaves by it, with the lock on it asks the parents' question.
    m_picture->setGeometry(m_hooks.playerArea->geometry());
    m_picture->raise();
    if (m_hooks.wayBack && m_hooks.wayBack->isVisible())
        m_hooks.wayBack->raise();
}

// ---- resume ----

void ParentsControls::programStarted(const QString& program, bool byClick) {
    m_program = program;
    m_programPlayed = 0;
    m_seenToEnd = false;
    // Only a program whose frame is known exactly can be sent back to it.
    m_resumable = m_settings.resumeLong && m_hooks.player->hasExactFrames();
    if (!m_resumable || !byClick)
        return;
    // The program that was playing, chosen again, starts from its beginning.
    if (program == std::exchange(m_left, QString())) {
        m_resume.forget(program);
        return;
    }
    if (const auto frame = m_resume.frameOf(program))
        m_hooks.player->gotoFrame(*frame);
}

void ParentsControls::rememberWhereItIs() {
    const FlashPlayer& player = *m_hooks.player;
    // Only what played for more than a minute is worth coming back to.
    if (m_resumable && !m_seenToEnd && !m_program.isEmpty() && m_programPlayed > m_hooks.minuteMs &&
        player.totalFrames() > 0 && player.frameNum() < player.totalFrames() - kEndFrames)
        m_resume.remember(m_program, player.frameNum());
}

void ParentsControls::programLeaving() {
    rememberWhereItIs();
    m_left = std::exchange(m_program, QString());
    m_programPlayed = 0;
}

void ParentsControls::saveState() {
    rememberWhereItIs();
    if (m_rest)
        m_rest->save();
}
