// manager/: the list manager dialog "设置".

#pragma once

#include "catalogue/AppFolder.h"

#include <QDialog>
#include <array>

class Notifier;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QShowEvent;

// The settings dialog: reorder and prune the program list of one category.
// Controls and handlers keep the names the rest of the program knows them by.
class Dialog : public QDialog {
    Q_OBJECT
public:
    // The loaded-file name while no category is loaded.
    static inline const QString kNothingLoaded = QStringLiteral("none");

    Dialog(const AppFolder& app, Notifier& notifier, QWidget* parent = nullptr);

    // Controls.
    QGroupBox* Frame1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    std::array<QPushButton*, 14> categoryButtons{}; // Command1 .. Command14
    QListWidget* List1 = nullptr;
    QPushButton* Command18 = nullptr; // 向上移动
    QPushButton* Command19 = nullptr; // 向下移动
    QPushButton* Command20 = nullptr; // 删除节目
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* ParentsButton = nullptr; // 家长设置, below the frame on the left

    QPushButton* Command(int n) const; // n = 1..14

    // "bNN.inb" of the list being edited, or kNothingLoaded.
    const QString& loadedFileName() const { return m_loadedFileName; }

    // Events.
    void Form_Load();
    void Command_Click(int n); // Command1_Click .. Command14_Click
    void Command18_Click();
    void Command19_Click();
    void Command20_Click();
    void OKButton_Click();
    void CancelButton_Click();

signals:
    // "家长设置" was clicked.
    void parentsRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void applyAppearance();
    void connectHandlers();
    // The selected row, or -1; a current row that is not selected does not
    // count, so keyboard focus alone never picks a row to move or delete.
    int selectedRow() const;
    void swapRows(int a, int b);

    AppFolder m_app;
    Notifier& m_notifier;
    QString m_loadedFileName = kNothingLoaded;
};
