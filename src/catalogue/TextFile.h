#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The program's data files are plain text in GBK (code page 936) with CR LF
// line ends, as written by every earlier installation. All reading and
// writing of them goes through here.
namespace TextFile {

struct Lines {
    bool ok = false;
    QStringList lines; // every non-empty line, in file order
    QString error;     // why the file could not be read, when !ok
};

// Splits decoded text into lines. A line ends at CR LF (or a lone LF or CR,
// which hand-edited files may hold); a last line without terminator counts.
// Empty lines are dropped; a line of spaces is kept as it is.
QStringList splitLines(const QString& text);

// Decodes GBK without losing a byte: what does not decode is kept in a form
// that encode() turns back into the same bytes.
QString decode(const QByteArray& bytes);
// Encodes text as GBK; false when a character has no GBK form, so that a
// name is never written back as a different name.
bool encode(const QString& text, QByteArray* out);

Lines readLines(const QString& path);

// Whole-file rewrite: every entry followed by CR LF, in order. Atomic: the
// file is either the old one or the complete new one.
bool rewrite(const QString& path, const QStringList& lines, QString* error = nullptr);
// Appends one entry followed by CR LF, creating the file when missing.
bool append(const QString& path, const QString& line, QString* error = nullptr);
// Leaves a file of length 0.
bool truncate(const QString& path, QString* error = nullptr);

// The first comma-separated field of a text: leading blanks (and blank
// lines) are skipped; a field that starts with a double quote is the text
// between its quotes; otherwise it runs to the first comma or the end of
// the line. Empty when the text holds nothing but blanks.
QString firstField(const QString& text);
// firstField of a text; nothing when the text holds nothing but blanks.
std::optional<QString> firstFieldIfAny(const QString& text);
// firstField of a file; nothing when the file is missing, unreadable or
// holds no field at all.
std::optional<QString> readFirstField(const QString& path);

} // namespace TextFile
