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
    // The engine's menu on a right click only: a long press by touch or pen
    // (a child's finger resting on the picture) opens nothing.
    contextMenu: "rightClickOnly",
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
    hosted: false, // the program was started by our host movie
    lastFrame: -1,
    lastTotal: -1,
    generation: 0, // of the program loaded last, echoed with its frames
    volume: 1,
    forwardTrace: false,
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
    kibuState.lastTotal = -1;
}

// Each load makes a new engine instance, which starts at full volume: the
// volume is applied once the load has made it, before its first frame, and
// again whenever an instance turns up with another.
function kibuApplyVolume() {
    if (kibuState.api && kibuState.api.volume !== kibuState.volume)
        kibuState.api.volume = kibuState.volume;
}

function kibuLoadDone() {
    kibuApplyVolume();
    kibuObserveTrace();
}

// Every load names the program's folder as the base, so that the files a
// program loads by a relative name come from beside it.
function kibuOptions(options, base) {
    if (base)
        options.base = base;
    return options;
}

// Loads a movie handed over as bytes: a host movie, the empty stage, or an
// ActionScript 3 program with the host's class added (under its own name).
function kibuLoadHost(generation, base64, hosted, base, name) {
    kibuState.hosted = hosted;
    kibuState.api.load(kibuOptions({ data: kibuBytes(base64), swfFileName: name || "kibu-host.swf" },
        base)).then(kibuLoadDone, e => kibuReport(e));
    kibuLoaded(generation);
}

// Loads a program directly (ActionScript 3: no host can reach its timeline).
function kibuLoadUrl(generation, url, base) {
    kibuState.hosted = false;
    kibuState.api.load(kibuOptions({ url: url }, base)).then(kibuLoadDone, e => kibuReport(e));
    kibuLoaded(generation);
}

function kibuCall(name, ...args) {
    try {
        return kibuState.api.callExternalInterface(name, ...args);
    } catch (e) {
        return undefined;
    }
}

// Whether the program has taken the host's place: until then the host's
// own frame would pass for the program's, and its timeline must not move
// (its one frame starts the program).
function kibuProgramRuns() {
    return kibuState.hosted && kibuCall("kibuRootKind") === "object";
}

// Pushes the program's frame and frame count to the window whenever they
// change (a program may load another movie in its own place).
function kibuPoll() {
    kibuApplyVolume();
    if (!kibuProgramRuns())
        return;
    const frame = kibuCall("kibuFrame");
    const total = kibuCall("kibuTotal");
    if (typeof frame !== "number" || !(frame >= 1))
        return;
    if (frame !== kibuState.lastFrame || total !== kibuState.lastTotal) {
        kibuState.lastFrame = frame;
        kibuState.lastTotal = total;
        kibuState.bridge.frameChanged(kibuState.generation, frame,
            typeof total === "number" ? total : 0);
    }
}

function kibuPlay() {
    kibuState.api.resume();
    if (kibuProgramRuns())
        kibuCall("kibuPlay");
}

function kibuStop() {
    if (kibuProgramRuns())
        kibuCall("kibuStop");
    kibuState.api.suspend();
    kibuPoll();
}

function kibuGoto(frame, playing) {
    if (kibuProgramRuns())
        kibuCall(playing ? "kibuGotoPlay" : "kibuGotoStop", frame);
    kibuPoll();
}

// What the program traces goes to the window only when it asks. Each load
// makes a new engine instance, which needs the observer anew.
function kibuForwardTrace(on) {
    kibuState.forwardTrace = on;
}

// The engine's own right-click menu, off while a child's full screen is
// locked: a click in the capturing phase never reaches the player.
function kibuBlockMenu(event) {
    event.preventDefault();
    event.stopImmediatePropagation();
}

function kibuSetMenu(enabled) {
    if (enabled)
        window.removeEventListener("contextmenu", kibuBlockMenu, true);
    else
        window.addEventListener("contextmenu", kibuBlockMenu, true);
}

function kibuObserveTrace() {
    kibuState.api.traceObserver = message => {
        if (kibuState.forwardTrace)
            kibuState.bridge.traced(String(message));
    };
}

function kibuSetVolume(volume) {
    kibuState.volume = volume;
    kibuApplyVolume();
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
        player.addEventListener("loadedmetadata", kibuApplyVolume);
        setInterval(kibuPoll, 40);
        kibuState.bridge.pageReady();
    });
});
