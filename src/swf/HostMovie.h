#pragma once

#include "swf/SwfInfo.h"

#include <QByteArray>
#include <QString>

// The engine exposes no frame position or goto of its own, and only a SWF 8
// or later movie can register script callbacks. So an ActionScript 1/2
// program is started by a one-frame SWF 8 host movie made to its measure
// (its stage; no background, so the program's own applies) that runs fast,
// so that its frame comes soon after the load. The
// host registers the callbacks below, then has the program replace it at
// level 0. The engine keeps the callbacks on the player, and each one finds
// the root by name when it is called, so they act on the program, which is
// then the root with its own version, levels, paths and stage.
namespace HostMovie {

// Frames a second of the host, whose one frame hands over to the program.
constexpr double kHostRate = 60;

// Callback names, as the page calls them.
inline const QString kFrame = QStringLiteral("kibuFrame");       // () -> _currentframe
inline const QString kTotal = QStringLiteral("kibuTotal");       // () -> _totalframes
inline const QString kGotoPlay = QStringLiteral("kibuGotoPlay"); // (frame) gotoAndPlay
inline const QString kGotoStop = QStringLiteral("kibuGotoStop"); // (frame) gotoAndStop
inline const QString kPlay = QStringLiteral("kibuPlay");         // () play
inline const QString kStop = QStringLiteral("kibuStop");         // () stop
// () -> "object" once the program is the root, "undefined" while the host
// still is (the host has no prototype).
inline const QString kRootKind = QStringLiteral("kibuRootKind");

// Only in a waiting host: () -> true once its frame has run, and (url) the
// program at url takes the host's place.
inline const QString kReady = QStringLiteral("kibuReady");
inline const QString kOpen = QStringLiteral("kibuOpen");

// The host for a program at programUrl (a file:// URL).
QByteArray build(const Swf::Info& program, const QString& programUrl);

// A host that runs its frame and then waits to be told its program: built
// ahead in an engine instance of its own, it has a program on the screen
// without the time an instance takes to build.
QByteArray waiting();

// A blank one-frame movie: the stage when no program is loaded.
QByteArray emptyStage();

} // namespace HostMovie
