#pragma once

// How the web engine (the Flash engine's page and the information strip) is
// set up; decided before the application object exists, as Qt requires.
namespace WebEngineSetup {

// Whether the machine has a GPU the engine can draw with. Without one, GL
// would be the software rasteriser anyway, only slower to start and larger.
bool hasGpu();

// Picks the drawing path (GPU through shared GL contexts, or plain software
// with no GL at all) and the engine's process settings: one renderer for
// both pages, audio inside the browser process, no pages kept for going
// back; and, for the processes the engine starts, large freed memory given
// back. Call before the QApplication is made.
void apply();

} // namespace WebEngineSetup
