#include "Form1.h"

#include "catalogue/CategoryTable.h"
#include "catalogue/History.h"
#include "catalogue/ListLoader.h"
#include "catalogue/ProgramName.h"
#include "catalogue/TextFile.h"
#include "flash/FlashPlayer.h"
#include "manager/Dialog.h"
#include "net/DownloadQueue.h"
#include "net/PartialFiles.h"
#include "net/ServerAddress.h"
#include "parentsui/ParentsControls.h"
#include "player/PlayModeButtons.h"
#include "player/PlayerControls.h"
#include "shell/Controls.h"
#include "shell/DesktopServices.h"
#include "shell/DesktopShortcut.h"
#include "shell/InfoBrowser.h"
#include "shell/StartupChecks.h"
#include "shell/VoicePlayer.h"
#include "ui/Notifier.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>

namespace {

const QString kDownloading = QStringLiteral("正在下载，请稍候！");
const QString kCustomCaption = QStringLiteral("自定义节目");
const QString kUserListPage = QStringLiteral("show15.htm");
const QString kOfflinePage = QStringLiteral("res/showoff.htm");
const QString kTempWarning =
    QStringLiteral("请先解压缩再使用，不要直接运行压缩包！否则每次都要下载");

} // namespace

PictureBox* Form1::Image(int n) const {
    return categoryImages.at(static_cast<size_t>(n - 1));
}

// ---- start-up and shutdown ----

void Form1::Form_Load() {
    m_cacheFolder = m_settings.app.cacheFolder();
    m_parents->load();
    m_loaded = true;
    Form_Resize();
    ReadServerFolder();
    m_services.player->setMovie(FlashPlayer::kNoProgram);
    Image20->setPicture(PlayerControls::mutePicture(false));
    m_services.browser->setSilent(true);
    m_services.browser->showOnly(m_settings.webBase, m_settings.app.path(kOfflinePage));
    SelectFirstCategory();
    CheckTempFolder();
    ScanCustomGroups();
}

void Form1::ReadServerFolder() {
    if (const auto folder = ServerAddress::readServerFolder(m_settings.app))
        m_serverFolder = *folder;
}

void Form1::CheckTempFolder() {
    if (StartupChecks::runsFromTemp(m_settings.app.root()))
        m_services.notifier->message(kTempWarning);
}

void Form1::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_parents->programLeaving();
    const QString datePath = m_settings.app.path(StartupChecks::kDateFile);
    const QDate today = m_services.today ? m_services.today() : QDate::currentDate();
    if (StartupChecks::dailyPageDue(TextFile::readFirstField(datePath), today))
        m_services.urlOpener->open(m_settings.webBase + QStringLiteral("a.htm"));
    // The program ends whether or not the date could be written.
    TextFile::rewrite(datePath, {StartupChecks::dateText(today)});
    if (m_services.endProcess)
        m_services.endProcess();
}

void Form1::saveState() {
    m_parents->saveState();
}

void Form1::closeEvent(QCloseEvent* event) {
    // A locked full screen stays, whatever keys a child finds.
    if (!m_parents->mayClose()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

// ---- categories ----

void Form1::Image_Click(int n) {
    const Category& category = CategoryTable::byNumber(n);
    const QString key = QString::fromUtf16(category.listKey);
    if (m_currentListKey == key || refuseWhileDownloading())
        return;
    m_currentListKey = key;
    LoadList(category.listFile());
    navigateInfo(m_settings.webBase + category.infoPage());
    ResetCategoryPictures();
    Image(n)->setPicture(QString::number(category.selectedBitmap()));
    PlayCategoryVoice(category.voiceClip());
    m_modes->reset(category.playModes);
    Combo1->setEditText(kCustomCaption);
}

void Form1::SelectFirstCategory() {
    const Category& first = CategoryTable::byNumber(1);
    m_currentListKey = QString::fromUtf16(first.listKey);
    LoadList(first.listFile());
    navigateInfo(m_settings.webBase + first.infoPage());
    ResetCategoryPictures();
    Image(1)->setPicture(QString::number(first.selectedBitmap()));
}

void Form1::ResetCategoryPictures() {
    for (const Category& c : CategoryTable::all())
        Image(c.number)->setPicture(QString::number(c.normalBitmap()));
}

void Form1::PlayCategoryVoice(const QString& clip) {
    m_services.voice->play(clip);
}

// ---- lists ----

void Form1::LoadList(const QString& relativePath) {
    const ListLoader::Result result =
        ListLoader::load(m_settings.app.path(relativePath), m_cacheFolder);
    List1->clear();
    m_chosenRow = -1;
    if (!result.ok) {
        m_services.notifier->message(
            QStringLiteral("无法读取节目列表文件 %1：%2").arg(relativePath, result.error));
        return;
    }
    List1->addItems(result.rows);
    List1->setCurrentRow(-1);
}

int Form1::selectedRow() const {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    return selected.isEmpty() ? -1 : List1->row(selected.first());
}

void Form1::selectRow(int row) {
    if (row >= 0 && row == selectedRow()) {
        List1_Click();
        return;
    }
    List1->setCurrentRow(row);
}

QStringList Form1::mainListRows() const {
    QStringList rows;
    for (int i = 0; i < List1->count(); ++i)
        rows.append(List1->item(i)->text());
    return rows;
}

void Form1::setRowText(int row, const QString& text) {
    if (QListWidgetItem* item = List1->item(row))
        item->setText(text);
}

// ---- choosing and playing ----

void Form1::List1_Click() {
    const int row = selectedRow();
    // A row that is queued or downloading starts when its download ends.
    if (row < 0 || m_queue->contains(row))
        return;
    // During a rest nothing starts, and the highlight stays where it was.
    if (!m_parents->mayStartProgram()) {
        const QSignalBlocker quiet(List1);
        List1->setCurrentRow(m_chosenRow);
        return;
    }
    m_chosenRow = row;
    const QString text = List1->item(row)->text();
    if (m_currentListKey == ListKey::custom)
        return startCustomProgram(text);
    const auto path = ProgramName::swfPath(m_cacheFolder, ProgramName::fromRow(text));
    if (!path || !QFileInfo(*path).isFile())
        return QueueDownload();
    leaveProgram();
    startProgram(*path, true);
    AddToHistory();
}

void Form1::leaveProgram() {
    // Where the program was left is read before it is unloaded: the engine
    // forgets its frames with it.
    m_parents->programLeaving();
    m_services.player->setMovie(FlashPlayer::kNoProgram);
}

void Form1::startCustomProgram(const QString& row) {
    leaveProgram();
    // A custom program starts by itself and is not recorded in the history.
    const QString path = m_userLists.customProgramFile(Combo1->currentText(), row);
    if (!path.isEmpty())
        startProgram(path, false);
}

void Form1::startProgram(const QString& path, bool play) {
    FlashPlayer& player = *m_services.player;
    player.setMovie(path);
    if (play)
        player.play();
    HScroll1->setMaximum(PositionBar::maximumFor(player.totalFrames()));
    m_parents->programStarted(m_settings.app.relativeName(path), !m_advancing);
}

void Form1::AddToHistory() {
    if (m_currentListKey == ListKey::favourites || m_currentListKey == ListKey::custom ||
        m_currentListKey == ListKey::history)
        return;
    const int row = selectedRow();
    if (row >= 0)
        History::record(m_settings.app.path(History::kFile),
                        ProgramName::fromRow(List1->item(row)->text()));
}

void Form1::QueueDownload() {
    const int row = selectedRow();
    if (row >= 0)
        m_queue->add(row, List1->item(row)->text());
}

void Form1::onProgramDownloaded(int row, const QString& cacheFile) {
    // During a rest the program waits in the cache; its row shows it ready.
    if (!m_parents->mayStartProgram())
        return;
    // Still at the head of the queue, so the click this raises is ignored.
    List1->setCurrentRow(row);
    m_chosenRow = row;
    leaveProgram();
    startProgram(cacheFile, true);
    AddToHistory();
}

void Form1::cleanUpPartialDownloads() {
    PartialFiles::cleanUp(m_cacheFolder, ListLoader::programsInLists(m_settings.app),
                          QDateTime::currentDateTime());
}

void Form1::HScroll1_Scroll() {
    // During a rest the program stays where it is; the next tick puts the
    // thumb back.
    if (!m_parents->mayStartProgram())
        return;
    // While dragging, the thumb's position leads the bar's value.
    m_controls->seek(HScroll1->sliderPosition());
}

void Form1::WebBrowser1_NavigateError() {
    // The offline page ships with the program; should even it fail, trying
    // it again would only fail again, for ever.
    if (m_showingOfflinePage)
        return;
    navigateInfo(m_settings.app.path(kOfflinePage));
}

void Form1::WebBrowser1_LinkElsewhere(const QString& url) {
    // Another site's page opens in the desktop's browser; with the child
    // lock on, a click in the strip takes no child out onto the web.
    if (!m_parents->settings().childLock)
        m_services.urlOpener->open(url);
}

void Form1::navigateInfo(const QString& url) {
    m_showingOfflinePage = url == m_settings.app.path(kOfflinePage);
    m_services.browser->navigate(url);
}

PlayMode Form1::playMode() const {
    return m_modes->mode();
}

// ---- player buttons ----

void Form1::Image15_Click() {
    if (m_parents->mayStartProgram())
        m_controls->play();
}

void Form1::Image16_Click() {
    m_controls->pause();
}

void Form1::Image17_Click() {
    m_controls->enterFullScreen();
    m_parents->fullScreenEntered();
}

void Form1::Command6_Click() {
    if (!m_parents->mayLeaveFullScreen())
        return;
    m_controls->leaveFullScreen();
    m_parents->fullScreenLeft();
}

void Form1::Image20_Click() {
    const bool muted = m_controls->toggleMute();
    m_services.voice->setMuted(muted);
    Image20->setPicture(PlayerControls::mutePicture(muted));
}

bool Form1::muted() const {
    return m_controls->muted();
}

bool Form1::isFullScreenMode() const {
    return m_controls->isFullScreen();
}

// ---- favourites, history and custom programs ----

bool Form1::refuseWhileDownloading() {
    if (List2->count() == 0)
        return false;
    m_services.notifier->notice(kDownloading);
    return true;
}

void Form1::Label2_Click() {
    showUserList(ListKey::favourites, UserLists::kFavourites);
}

void Form1::Label3_Click() {
    showUserList(ListKey::history, UserLists::kHistory);
}

void Form1::showUserList(const QString& key, const QString& file) {
    if (m_currentListKey == key || refuseWhileDownloading())
        return;
    m_currentListKey = key;
    LoadList(file);
    m_modes->setMode(PlayMode::None);
    navigateInfo(m_settings.webBase + kUserListPage);
    ResetCategoryPictures();
    Combo1->setEditText(kCustomCaption);
}

void Form1::List1_MouseDown(Qt::MouseButton button, const QPoint& position) {
    // The right button chooses the row under the pointer exactly as a left
    // click would, playing or queueing it, before its menu opens.
    const QListWidgetItem* item = List1->itemAt(position);
    if (button == Qt::RightButton && item)
        selectRow(List1->row(item));
}

void Form1::List1_MouseUp(Qt::MouseButton button, const QPoint& globalPosition) {
    if (button != Qt::RightButton)
        return;
    // The download entries serve a category's rows only.
    const bool category = CategoryTable::isCategoryKey(m_currentListKey);
    file1_4->setEnabled(category && m_queue->contains(selectedRow()));
    file1_5->setEnabled(category);
    QMenu* menu = file1;
    if (m_currentListKey == ListKey::favourites)
        menu = file2;
    else if (m_currentListKey == ListKey::history)
        menu = file3;
    menu->popup(globalPosition);
}

void Form1::file1_3_Click() {
    const int row = selectedRow();
    m_services.notifier->message(m_userLists.addFavourite(
        m_currentListKey, row >= 0, row >= 0 ? List1->item(row)->text() : QString()));
}

void Form1::file1_4_Click() {
    m_queue->cancel(selectedRow());
}

void Form1::file1_5_Click() {
    if (CategoryTable::isCategoryKey(m_currentListKey))
        m_queue->addMissing(mainListRows());
}

void Form1::file2_3_Click() {
    deleteUserListRow(UserLists::kFavourites);
}

void Form1::file3_3_Click() {
    deleteUserListRow(UserLists::kHistory);
}

void Form1::deleteUserListRow(const QString& file) {
    // While a download runs, rows carry status texts and the queue points
    // at rows by their place; neither may change under it.
    const int row = selectedRow();
    if (row < 0 || refuseWhileDownloading())
        return;
    const QString error = m_userLists.deleteEntry(file, mainListRows(), row);
    if (!error.isEmpty()) {
        m_services.notifier->message(error);
        return;
    }
    // Removing the row must not choose (and play) its neighbour: afterwards
    // nothing is selected.
    const QSignalBlocker quiet(List1);
    delete List1->takeItem(row);
    List1->clearSelection();
    List1->setCurrentRow(-1);
    m_chosenRow = -1;
}

void Form1::file2_4_Click() {
    clearUserList(UserLists::kFavourites, QStringLiteral("确实要清空收藏列表吗？"));
}

void Form1::file3_4_Click() {
    clearUserList(UserLists::kHistory, QStringLiteral("确实要清空历史记录吗？"));
}

void Form1::clearUserList(const QString& file, const QString& question) {
    if (refuseWhileDownloading() || !m_services.notifier->confirm(question))
        return;
    const QString error = m_userLists.clear(file);
    if (!error.isEmpty())
        m_services.notifier->message(error);
    else
        List1->clear();
    m_chosenRow = -1;
}

void Form1::ScanCustomGroups() {
    Combo1->addItems(m_userLists.customGroups());
    Combo1->setEditText(kCustomCaption);
}

bool Form1::Combo1_DropDown() {
    if (m_currentListKey == ListKey::custom || List2->count() == 0)
        return true;
    Combo1->setEditText(kCustomCaption);
    m_services.notifier->notice(kDownloading);
    List1->setFocus();
    return false;
}

void Form1::Combo1_Click() {
    // Chosen with the keys, the list never opened: the same refusal.
    if (!Combo1_DropDown())
        return;
    m_currentListKey = ListKey::custom;
    m_modes->setMode(PlayMode::None);
    navigateInfo(m_settings.webBase + kUserListPage);
    ResetCategoryPictures();
    List1->clear();
    m_chosenRow = -1;
    List1->addItems(m_userLists.customPrograms(Combo1->currentText()));
    if (List1->count() == 0)
        m_services.notifier->message(UserLists::emptyGroupHint());
    List1->setFocus();
}

// ---- links ----

void Form1::Label4_Click() {
    Dialog dialog(m_settings.app, *m_services.notifier, this);
    connect(&dialog, &Dialog::parentsRequested, &dialog,
            [this, &dialog] { m_parents->openSettings(&dialog); });
    dialog.exec();
}

void Form1::Label1_Click() {
    const QString message =
        DesktopShortcut::create(m_services.desktopFolder ? m_services.desktopFolder() : QString(),
                                m_settings.app.root(), m_settings.shortcutTarget);
    if (!message.isEmpty())
        m_services.notifier->message(message);
}
