#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// An ActionScript 3 program gets its frame position and goto the way an
// ActionScript 1/2 program gets them from its host movie, but from inside:
// its own file is rewritten in memory. One DoABC tag is added with a class
// that extends the program's document class (a plain MovieClip without
// one); its constructor registers the host's callbacks, acting on this,
// then runs the program's own constructor. SymbolClass id 0 names the added
// class. The program stays the root, with its own stage, names and events;
// every other byte stays as it was.
namespace As3Host {

// The added class's package. Its own name is the program's class's, so that
// the root still reads as "[object Main]".
inline const QString kPackage = QStringLiteral("kibu.player");

// The added class, as SymbolClass names it, for a document class ("pkg.Name",
// or flash.display.MovieClip without one).
QString className(const QString& base);

// The rewritten program (uncompressed), or nothing, with the reason, when it
// cannot be rewritten: not an ActionScript 3 SWF, an unreadable ABC, a
// document class that is final, not a MovieClip, or not found.
std::optional<QByteArray> rewrite(const QByteArray& program, QString* why = nullptr);

} // namespace As3Host
