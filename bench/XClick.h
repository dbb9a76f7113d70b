#pragma once

// A left click pressed through XTest from the timing process itself, so the
// clock starts at the press (starting a tool for it would add its own
// start-up before the press).

#include <QElapsedTimer>
#include <QPoint>

namespace XClick {

// Presses and releases the left button at a point of the screen; the clock,
// if given, starts at the press.
void at(QPoint where, QElapsedTimer* clock = nullptr);

} // namespace XClick
