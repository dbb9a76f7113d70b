#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// Where long programs were left: program → frame, newest last, at most
// kMaxEntries, in a file of its own (JSON, written atomically).
class ResumeStore {
public:
    static constexpr int kMaxEntries = 200;
    static inline const QString kFile = QStringLiteral("cons/resume.json");

    explicit ResumeStore(QString path);

    std::optional<int> frameOf(const QString& program) const;
    // The newest entry; the oldest goes past kMaxEntries.
    void remember(const QString& program, int frame);
    void forget(const QString& program);
    QStringList programs() const; // oldest first

private:
    void load() const;
    void save() const;

    QString m_path;
    mutable bool m_loaded = false;
    mutable QList<QPair<QString, int>> m_entries;
};
