#include "ResumeStore.h"

#include "base/FileOps.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

ResumeStore::ResumeStore(QString path) : m_path(std::move(path)) {}

void ResumeStore::load() const {
    // Read when first needed: with resuming off, never.
    if (m_loaded)
        return;
    m_loaded = true;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    // A damaged file is as good as none: resuming is a convenience.
    for (const QJsonValue& v : QJsonDocument::fromJson(f.readAll()).array()) {
        const QJsonObject o = v.toObject();
        const QString program = o.value(QStringLiteral("program")).toString();
        const int frame = o.value(QStringLiteral("frame")).toInt(-1);
        if (!program.isEmpty() && frame >= 0)
            m_entries.append({program, frame});
    }
    while (m_entries.size() > kMaxEntries)
        m_entries.removeFirst();
}

void ResumeStore::save() const {
    QJsonArray array;
    for (const auto& [program, frame] : m_entries)
        array.append(
            QJsonObject{{QStringLiteral("program"), program}, {QStringLiteral("frame"), frame}});
    FileOps::writeAtomically(m_path, QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::optional<int> ResumeStore::frameOf(const QString& program) const {
    load();
    for (const auto& [name, frame] : m_entries)
        if (name == program)
            return frame;
    return std::nullopt;
}

void ResumeStore::remember(const QString& program, int frame) {
    load();
    m_entries.removeIf([&](const QPair<QString, int>& e) { return e.first == program; });
    m_entries.append({program, frame});
    while (m_entries.size() > kMaxEntries)
        m_entries.removeFirst();
    save();
}

void ResumeStore::forget(const QString& program) {
    load();
    if (m_entries.removeIf([&](const QPair<QString, int>& e) { return e.first == program; }) > 0)
        save();
}

QStringList ResumeStore::programs() const {
    load();
    QStringList names;
    for (const auto& e : m_entries)
        names.append(e.first);
    return names;
}
