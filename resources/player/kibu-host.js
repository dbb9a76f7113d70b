// The page between the player window and the Flash engine. The window calls
// the kibu* functions below; the page tells the window through the web
// channel object "kibu" when it is ready, when the program's frame changes
// and when something went wrong.
"use strict";

window.RufflePlayer = window.RufflePlayer || {};
window.RufflePlayer.config = {
    autoplay: "on",
    unmuteOverlay: "hidden",
    splashScreen: false,
    polyfills: false,
    allowScriptAccess: true,
    contextMenu: "on",
    quality: "high",
    scale: "showAll",
    wmode: "window",
    allowNetworking: "all",
    allowFullscreen: false,
    letterbox: "on",
    showSwfDownload: false,
    logLevel: "error",
    publicPath: "./",
};

const kibuState = {
    player: null,
    api: null,
    bridge: null,
    hosted: false, // the program runs inside our host movie
    lastFrame: -1,
    generation: 0, // of the program loaded last, echoed with its frames
    volume: 1,
};

function kibuReport(text) {
    if (kibuState.bridge)
        kibuState.bridge.failed(String(text));
}

function kibuBytes(base64) {
    const raw = atob(base64);
    const bytes = new Uint8Array(raw.length);
    for (let i = 0; i < raw.length; ++i)
        bytes[i] = raw.charCodeAt(i);
    return bytes;
}

function kibuLoaded(generation) {
    kibuState.generation = generation;
    kibuState.lastFrame = -1;
    kibuState.api.volume = kibuState.volume;
}

// Loads a movie handed over as bytes: a host movie, or the empty stage.
function kibuLoadHost(generation, base64, hosted) {
    kibuState.hosted = hosted;
    kibuState.api.load({ data: kibuBytes(base64), swfFileName: "kibu-host.swf" })
        .catch(e => kibuReport(e));
    kibuLoaded(generation);
}

// Loads a program directly (ActionScript 3: no host can reach its timeline).
function kibuLoadUrl(generation, url) {
    kibuState.hosted = false;
    kibuState.api.load({ url: url }).catch(e => kibuReport(e));
    kibuLoaded(generation);
}

function kibuCall(name, ...args) {
    if (!kibuState.hosted)
        return undefined;
    try {
        return kibuState.api.callExternalInterface(name, ...args);
    } catch (e) {
        return undefined;
    }
}

// Pushes the program's frame to the window whenever it changes.
function kibuPoll() {
    const frame = kibuCall("kibuFrame");
    if (typeof frame !== "number" || !(frame >= 1))
        return;
    if (frame !== kibuState.lastFrame) {
        kibuState.lastFrame = frame;
        kibuState.bridge.frameChanged(kibuState.generation, frame);
    }
}

function kibuPlay() {
    kibuState.api.resume();
    kibuCall("kibuPlay");
}

function kibuStop() {
    kibuCall("kibuStop");
    kibuState.api.suspend();
    kibuPoll();
}

function kibuGoto(frame, playing) {
    kibuCall(playing ? "kibuGotoPlay" : "kibuGotoStop", frame);
    kibuPoll();
}

function kibuSetVolume(volume) {
    kibuState.volume = volume;
    if (kibuState.api)
        kibuState.api.volume = volume;
}

// Two fixes to the engine's own stage, inside its shadow root:
// - after a pause it draws a big play button over the stage; the window has
//   its own play button, so that one stays hidden;
// - each load adds a new canvas and leaves the previous program's canvas in
//   place, on top of it; only the newest canvas is kept.
function kibuTidyStage(player) {
    const root = player.shadowRoot;
    if (!root) {
        setTimeout(() => kibuTidyStage(player), 0);
        return;
    }
    const style = document.createElement("style");
    style.textContent = "#play-button { display: none !important; }";
    root.appendChild(style);
    const keepNewestCanvas = () => {
        const canvases = root.querySelectorAll("canvas");
        for (let i = 0; i < canvases.length - 1; ++i)
            canvases[i].remove();
    };
    new MutationObserver(keepNewestCanvas).observe(root, { childList: true, subtree: true });
    keepNewestCanvas();
}

window.addEventListener("DOMContentLoaded", () => {
    new QWebChannel(qt.webChannelTransport, channel => {
        kibuState.bridge = channel.objects.kibu;
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
        const player = ruffle.createPlayer();
        document.getElementById("stage").appendChild(player);
        kibuState.player = player;
        kibuState.api = player.ruffle();
        kibuTidyStage(player);
        player.addEventListener("panic", () => kibuReport("engine stopped"));
        setInterval(kibuPoll, 40);
        kibuState.bridge.pageReady();
    });
});
