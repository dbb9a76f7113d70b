#pragma once

class QWidget;

// Brings a window to the front at the user's word (the player started a
// second time): un-minimised, as it was otherwise, over the other windows
// and with the keys.
namespace WindowFront {

void bring(QWidget* window);

} // namespace WindowFront
