#include "UserLists.h"

#include "CategoryTable.h"
#include "CustomPrograms.h"
#include "ProgramName.h"
#include "TextFile.h"

QString UserLists::addFavourite(const QString& listKey, bool selected,
                                const QString& rowText) const {
    if (listKey == ListKey::custom)
        return QStringLiteral("此类不能加入！");
    if (!selected)
        return QStringLiteral("请先选择节目");
    if (!ProgramName::isPresentRow(rowText))
        return QStringLiteral("请下载完成后再加入“收藏”！");
    QString error;
    if (!TextFile::append(m_app.path(kFavourites), ProgramName::fromRow(rowText), &error))
        return QStringLiteral("无法写入收藏列表：%1").arg(error);
    return rowText + QStringLiteral(" 成功加入到收藏");
}

QString UserLists::deleteEntry(const QString& file, const QStringList& rowTexts, int row) const {
    QStringList names;
    for (int i = 0; i < rowTexts.size(); ++i)
        if (i != row)
            names.append(ProgramName::fromRow(rowTexts.at(i)));
    QString error;
    if (!TextFile::rewrite(m_app.path(file), names, &error))
        return QStringLiteral("无法写入列表文件 %1：%2").arg(file, error);
    return {};
}

QString UserLists::clear(const QString& file) const {
    QString error;
    if (!TextFile::truncate(m_app.path(file), &error))
        return QStringLiteral("无法写入列表文件 %1：%2").arg(file, error);
    return {};
}

QStringList UserLists::customGroups() const {
    return CustomPrograms::groups(m_app.path(CustomPrograms::kFolder));
}

QString UserLists::groupFolder(const QString& group) const {
    return m_app.path(CustomPrograms::kFolder + u'/' + group);
}

QStringList UserLists::customPrograms(const QString& group) const {
    if (!ProgramName::isSafe(group))
        return {};
    return CustomPrograms::programs(groupFolder(group));
}

QString UserLists::customProgramFile(const QString& group, const QString& row) const {
    if (!ProgramName::isSafe(group) || !ProgramName::isSafe(row))
        return {};
    return CustomPrograms::programFile(groupFolder(group), row);
}

QString UserLists::emptyGroupHint() {
    return QStringLiteral("您可以把喜欢的swf格式flash放在") + u'"' +
           QStringLiteral("Kibu播放器\\自定义节目") + u'"' +
           QStringLiteral("各分类文件夹下,请参照使用帮助");
}
