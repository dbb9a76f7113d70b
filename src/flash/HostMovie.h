#pragma once

#include "SwfInfo.h"

#include <QByteArray>
#include <QString>

// The engine exposes no frame position or goto of its own, and a movie can
// only register script callbacks from SWF 8 on. So every ActionScript 1/2
// program is played inside a one-frame SWF 8 host movie made to its measure
// (stage, frame rate, background): the host loads the program into _level1
// and registers the callbacks below, which act on _level1's timeline. The
// program keeps its own version and bytes.
namespace HostMovie {

// Callback names, as the page calls them.
inline const QString kFrame = QStringLiteral("kibuFrame");       // () -> _currentframe
inline const QString kGotoPlay = QStringLiteral("kibuGotoPlay"); // (frame) gotoAndPlay
inline const QString kGotoStop = QStringLiteral("kibuGotoStop"); // (frame) gotoAndStop
inline const QString kPlay = QStringLiteral("kibuPlay");         // () play
inline const QString kStop = QStringLiteral("kibuStop");         // () stop

// The host for a program at programUrl (a file:// URL).
QByteArray build(const Swf::Info& program, const QString& programUrl);

// A blank one-frame movie: the stage when no program is loaded.
QByteArray emptyStage();

} // namespace HostMovie
