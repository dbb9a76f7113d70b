#include "CategoryTable.h"

#include <QtGlobal>

QString Category::listFile() const {
    return QStringLiteral("cons/b%1.inb").arg(number, 2, 10, QLatin1Char('0'));
}

QString Category::infoPage() const {
    return QStringLiteral("show%1.htm").arg(number);
}

QString Category::voiceClip() const {
    return QStringLiteral("SOUND%1").arg(number, 2, 10, QLatin1Char('0'));
}

namespace CategoryTable {

const std::array<Category, kCount>& all() {
    // The keys are historical and do not match the labels (key 1 says
    // "xiaogushi" but the category is 中文儿歌); they are only compared, so
    // they stay as the stored data knows them.
    static const std::array<Category, kCount> table{{
        {1, u"/xiaogushi/", u"中文儿歌", u"中文儿歌", true},
        {2, u"/chengyugushi/", u"中文童谣", u"中文童谣", true},
        {3, u"/tonghua/", u"英文儿歌", u"英文儿歌", true},
        {4, u"/zhongwenerge/", u"小故事", u"小故事", true},
        {5, u"/zhongwentongyao/", u"成语故事", u"童话故事", true},
        {6, u"/yingwenerge/", u"童话故事", u"学英语", true},
        {7, u"/xuegushi/", u"学古诗", u"学古诗", false},
        {8, u"/xuepinyin/", u"学拼音", u"学拼音", false},
        {9, u"/baikechangshi/", u"百科常识", u"识字", false},
        {10, u"/yizhiyouxi/", u"益智游戏", u"益智游戏", false},
        {11, u"/paint/", u"涂色拼图", u"涂色拼图", false},
        {12, u"/shuxueyouxi/", u"数学游戏", u"数学游戏", false},
        {13, u"/yuwenyouxi/", u"语文游戏", u"语文游戏", false},
        {14, u"/bangbangenglish/", u"棒棒英语", u"英语游戏", false},
    }};
    return table;
}

const Category& byNumber(int number) {
    Q_ASSERT(number >= 1 && number <= kCount);
    return all()[static_cast<size_t>(number - 1)];
}

bool isCategoryKey(const QString& key) {
    for (const Category& c : all())
        if (key == QString::fromUtf16(c.listKey))
            return true;
    return false;
}

} // namespace CategoryTable
