// catalogue/: categories, list files and LoadList, history, favourites and custom groups.

#pragma once

#include <QString>
#include <array>

// The fourteen fixed categories, one per picture along the top of the window.
struct Category {
    int number; // 1..14, also the picture control Image<number>
    const char16_t* listKey;
    const char16_t* tooltip;
    const char16_t* label; // the text drawn on the picture
    bool playModes;        // whether play all / repeat one stay usable

    QString listFile() const;  // "cons/bNN.inb"
    QString infoPage() const;  // "showN.htm", below the web site base URL
    QString voiceClip() const; // "SOUNDNN"
    int normalBitmap() const { return 100 + number; }
    int selectedBitmap() const { return 200 + number; }
};

namespace CategoryTable {

constexpr int kCount = 14;

const std::array<Category, kCount>& all();
// The category with this number (1..14).
const Category& byNumber(int number);
// Whether a current-list key is one of the fourteen categories'.
bool isCategoryKey(const QString& key);

} // namespace CategoryTable

// The current-list keys of the three views that are not categories.
namespace ListKey {
inline const QString favourites = QStringLiteral("shoucang");
inline const QString history = QStringLiteral("lishi");
inline const QString custom = QStringLiteral("zidingyi");
} // namespace ListKey
