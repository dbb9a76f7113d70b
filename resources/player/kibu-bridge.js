// The page's side of the web channel: the window calls the page's kibu*
// functions, and the page tells the window, through the channel object
// "kibu", when it is ready, when the program's frame changes, what it
// traces, at what share of full resolution it draws, and when something
// went wrong.
"use strict";
/* exported kibuReport, kibuTellFrame, kibuTellTrace, kibuTellDrawing */
/* global QWebChannel, qt, kibuStart, kibuNudge */

const kibuBridge = {
    window: null, // the channel object, once the channel is open
};

function kibuReport(text) {
    if (kibuBridge.window)
        kibuBridge.window.failed(String(text));
}

function kibuTellFrame(generation, frame, total) {
    kibuBridge.window.frameChanged(generation, frame, total);
}

function kibuTellTrace(message) {
    kibuBridge.window.traced(message);
}

function kibuTellDrawing(share) {
    if (kibuBridge.window)
        kibuBridge.window.drawing(share);
}

window.addEventListener("DOMContentLoaded", () => {
    new QWebChannel(qt.webChannelTransport, channel => {
        kibuBridge.window = channel.objects.kibu;
        let ruffle = null;
        try {
            ruffle = window.RufflePlayer.newest();
        } catch (e) {
            ruffle = null;
        }
        if (!ruffle) {
            kibuReport("engine files missing");
            return;
        }
        kibuStart(ruffle);
        window.addEventListener("resize", kibuNudge);
        window.addEventListener("pointerdown", kibuNudge, true);
        kibuBridge.window.pageReady();
    });
});
