// shell/: the main window, its layout and chrome, start-up and shutdown, and the desktop
// parts (information strip, voice clips, message boxes, shortcut).

#pragma once

#include "catalogue/AppFolder.h"
#include "catalogue/UserLists.h"
#include "parents/ParentsGate.h"
#include "player/PlaybackTick.h"
#include "shell/Layout.h"

#include <QDate>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class DownloadQueue;
class FlashPlayer;
class InfoBrowser;
class LinkLabel;
class Notifier;
class PictureBox;
class ParentsControls;
class PlayerControls;
class PlayModeButtons;
class QComboBox;
class QListWidget;
class QMenu;
class QAction;
class QNetworkAccessManager;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class UrlOpener;
class VoicePlayer;
class WidgetLayoutWindow;

// Where the program lives and which servers it talks to.
struct AppSettings {
    AppFolder app;
    QString downloadBase; // ends with "/"
    QString webBase;      // ends with "/"
    // For trying the parents' settings out quickly: how long a minute of
    // play and rest lasts, and a fixed parents' question.
    qint64 minuteMs = 60000;
    std::optional<ParentsGate> fixedGate;
    // What the desktop shortcut starts; empty: the application folder's
    // kibu-player (an installed program's launcher otherwise).
    QString shortcutTarget;
};

// The parts of the outside world the window talks to, so that every handler
// runs with stand-ins in tests.
struct Form1Services {
    FlashPlayer* player = nullptr;
    InfoBrowser* browser = nullptr;
    VoicePlayer* voice = nullptr;
    Notifier* notifier = nullptr;
    UrlOpener* urlOpener = nullptr;
    std::function<QDate()> today;
    // Ends the program once the window has closed.
    std::function<void()> endProcess;
    // The self-update check, started once five minutes after start-up.
    std::function<void()> checkForUpdate;
    // Every download goes through this.
    QNetworkAccessManager* network = nullptr;
    // How long one range request may take (tests shorten it).
    int requestLimitMs = 24000;
    // The user's desktop folder; empty when there is none.
    std::function<QString()> desktopFolder;
    // Asks the parents' question; empty: the real dialog.
    std::function<bool(QWidget*)> passGate;
};

// The main window. Controls and handlers keep the names the stored data and
// the rest of the program know them by; each handler hands its work to the
// subsystem that owns it: the catalogue (lists, favourites, history, custom
// groups), the download queue, the player controls and the tick. The
// controls, looks, menus and wiring are in Form1Design.cpp.
class Form1 : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Kibu播放器1.3");
    // Inner size the window is designed for: 15240 x 10665 twips.
    static constexpr int kDesignInnerWidth = 15240;
    static constexpr int kDesignInnerHeight = 10665;

    Form1(AppSettings settings, Form1Services services, QWidget* parent = nullptr);
    ~Form1() override;

    // Controls.
    std::array<PictureBox*, 14> categoryImages{}; // Image1 .. Image14
    PictureBox* Image15 = nullptr;                // play
    PictureBox* Image16 = nullptr;                // pause
    PictureBox* Image17 = nullptr;                // full screen
    PictureBox* Image20 = nullptr;                // mute
    QListWidget* List1 = nullptr;                 // the main list
    QListWidget* List2 = nullptr;                 // download-busy queue (hidden)
    QListWidget* List3 = nullptr;                 // scratch list (hidden)
    LinkLabel* Label1 = nullptr;                  // 桌面
    LinkLabel* Label2 = nullptr;                  // 收藏
    LinkLabel* Label3 = nullptr;                  // 历史
    LinkLabel* Label4 = nullptr;                  // 设置
    QRadioButton* Option1 = nullptr;              // 播放全部
    QRadioButton* Option2 = nullptr;              // 单曲循环
    QComboBox* Combo1 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QPushButton* Command6 = nullptr;
    QTimer* Timer1 = nullptr;
    // The main list's context menus: categories and custom groups, the
    // favourites, the history.
    QMenu* file1 = nullptr;
    QMenu* file2 = nullptr;
    QMenu* file3 = nullptr;
    QAction *file1_1 = nullptr, *file1_2 = nullptr, *file1_3 = nullptr;
    QAction *file1_4 = nullptr, *file1_5 = nullptr; // cancel one, fetch the whole category
    QAction *file2_1 = nullptr, *file2_2 = nullptr, *file2_3 = nullptr, *file2_4 = nullptr;
    QAction *file3_1 = nullptr, *file3_2 = nullptr, *file3_3 = nullptr, *file3_4 = nullptr;
    QWidget* ShockwaveFlash1 = nullptr;
    QWidget* WebBrowser1 = nullptr;

    PictureBox* Image(int n) const;

    // Form-level state.
    const QString& currentListKey() const { return m_currentListKey; }
    // The favourites, history and custom views set their own keys.
    void setCurrentListKey(const QString& key) { m_currentListKey = key; }
    const QString& cacheFolder() const { return m_cacheFolder; }
    const QString& serverFolder() const { return m_serverFolder; }
    const Module1& layoutModule() const { return m_module1; }

    // Events and routines.
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    // The session or the process ends without the window closing: what a
    // child would want back is saved.
    void saveState();
    void Form_MouseMove();
    void Label1_MouseMove();
    void Label2_MouseMove();
    void Label3_MouseMove();
    void Label4_MouseMove();
    void Image_Click(int n); // Image1_Click .. Image14_Click
    void SelectFirstCategory();
    void ResetCategoryPictures();
    void PlayCategoryVoice(const QString& clip);
    void LoadList(const QString& relativePath);
    void ReadServerFolder();
    void CheckTempFolder();

    // Choosing and playing.
    void List1_Click();
    void AddToHistory();
    void QueueDownload();
    void Timer1_Timer();
    void HScroll1_Scroll();
    void WebBrowser1_NavigateError();
    void WebBrowser1_LinkElsewhere(const QString& url);

    // The player buttons; pause and full screen also serve the list menus.
    void Image15_Click();  // play
    void Image16_Click();  // pause
    void Image17_Click();  // full screen
    void Command6_Click(); // back from full screen
    void Image20_Click();  // mute
    bool muted() const;
    bool isFullScreenMode() const;
    ParentsControls& parents() const { return *m_parents; }
    int tickCount() const { return m_tick.ticks(); }

    // Favourites, history, custom programs and the links.
    void Label1_Click();
    void Label2_Click();
    void Label3_Click();
    void Label4_Click();
    void List1_MouseDown(Qt::MouseButton button, const QPoint& position);
    void List1_MouseUp(Qt::MouseButton button, const QPoint& globalPosition);
    void file1_3_Click(); // add to the favourites
    void file1_4_Click(); // cancel the chosen row's download
    void file1_5_Click(); // download every missing program of the category
    void file2_3_Click(); // delete one favourite
    void file2_4_Click(); // clear the favourites
    void file3_3_Click(); // delete one history entry
    void file3_4_Click(); // clear the history
    void ScanCustomGroups();
    // False refuses to open the list.
    bool Combo1_DropDown();
    void Combo1_Click();

    // The selected row of the main list, -1 with none.
    int selectedRow() const;
    // Selects a row the way a user's click does, running List1_Click also
    // when the row was selected already.
    void selectRow(int row);
    PlayMode playMode() const;

signals:
    // The window has been painted for the first time: what can wait until
    // the user sees it starts now.
    void shownOnScreen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void applyAppearance();
    void buildLayoutWindow();
    void connectHandlers();
    void setLabelHighlight(LinkLabel* label, bool highlighted);
    void leaveProgram();
    void startProgram(const QString& path, bool play);
    void startCustomProgram(const QString& row);
    QStringList mainListRows() const;
    void navigateInfo(const QString& url);
    void setRowText(int row, const QString& text);
    void onProgramDownloaded(int row, const QString& cacheFile);
    void cleanUpPartialDownloads();
    void showUserList(const QString& key, const QString& file);
    void deleteUserListRow(const QString& file);
    void clearUserList(const QString& file, const QString& question);
    bool refuseWhileDownloading();
    class TickWindow;

    AppSettings m_settings;
    Form1Services m_services;
    Module1 m_module1;
    std::unique_ptr<WidgetLayoutWindow> m_layoutWindow;

    QString m_currentListKey;
    QString m_cacheFolder;
    QString m_serverFolder;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_painted = false;

    PlaybackTick m_tick;
    std::unique_ptr<TickWindow> m_tickWindow;
    UserLists m_userLists;
    DownloadQueue* m_queue = nullptr;
    std::unique_ptr<PlayModeButtons> m_modes;
    std::unique_ptr<PlayerControls> m_controls;
    ParentsControls* m_parents = nullptr;
    bool m_advancing = false; // play all is moving on to the next row
    bool m_showingOfflinePage = false;
    int m_rowAtPress = -1; // the selected row when the mouse went down on the list
    int m_chosenRow = -1;  // the row whose program was chosen last
};
