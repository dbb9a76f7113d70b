// Every place where the page reaches into the engine (Ruffle 0.6.0, the npm
// package @ruffle-rs/ruffle 0.6.0) or replaces a browser interface the
// engine uses. Each override below says what it relies on; an engine
// upgrade must check them all, and kibuEngineInternalsMissing() names those
// the engine in use lacks (a test asks it).
"use strict";
/* exported kibuEngine, kibuHurrySound, kibuTidyStage, kibuEngineInternalsMissing */
/* global kibuSoundOutput, kibuSoundHanded, kibuClockUse, kibuDetailRatio */

const kibuEngine = {
    refillSeen: false, // a buffer the engine queued carried its refill handler
};

// Ruffle 0.6.0: its configuration object, read when the engine loads.
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
    // Without a GPU the web engine offers no WebGL, and each load would try
    // the GPU renderers first.
    preferredRenderer: kibuHasWebGl() ? undefined : "canvas",
    scale: "showAll",
    wmode: "window",
    allowNetworking: "all",
    // A program's links lead nowhere: the child stays in the player.
    openUrlMode: "deny",
    allowFullscreen: false,
    letterbox: "on",
    showSwfDownload: false,
    logLevel: "error",
    publicPath: "./",
};

function kibuHasWebGl() {
    const canvas = document.createElement("canvas");
    return !!(canvas.getContext("webgl2") || canvas.getContext("webgl"));
}

// Ruffle 0.6.0 asks for game controllers on every tick. Children's programs
// never read them, and once anything asks the browser polls the controllers
// sixty times a second for as long as the page lives.
navigator.getGamepads = () => [];

// Ruffle 0.6.0 makes an AudioContext per instance with `new AudioContext`;
// the sound module hands out one opened ahead (see kibu-sound.js).
{
    const Native = window.AudioContext;
    const KibuAudioContext = function (options) {
        const context = kibuSoundOutput(Native, options);
        kibuFollowBuffers(context);
        return context;
    };
    KibuAudioContext.prototype = Native.prototype;
    window.AudioContext = KibuAudioContext;
}

// Ruffle 0.6.0 mixes its sound ahead into two AudioBufferSourceNodes that
// take turns: it sets each node's `onended` to its refill handler, which
// mixes the next buffer and queues it behind the other. It reads the
// output's `currentTime` to place each buffer. The engine's clock on an
// output runs ahead of the output's own by the time kibuHurrySound dropped,
// so that its view of its buffers stays as it was.
function kibuFollowBuffers(context) {
    const clock = Object.getOwnPropertyDescriptor(BaseAudioContext.prototype, "currentTime").get;
    const follow = { ahead: 0, lean: 0, queued: [], now: () => clock.call(context) };
    context.kibuFollow = follow;
    kibuSoundHanded(context, true);
    // An instance that ends closes its output; it shows as closed later.
    const close = context.close.bind(context);
    context.close = () => {
        kibuSoundHanded(context, false);
        return close();
    };
    Object.defineProperty(context, "currentTime", {
        get: () => follow.now() + follow.ahead - follow.lean,
    });
    const create = context.createBufferSource.bind(context);
    context.createBufferSource = () => {
        const node = create();
        const start = node.start.bind(node);
        const entry = { node: node, when: 0, mixed: 0 };
        node.start = (when = 0) => {
            entry.when = when;
            entry.mixed = performance.now();
            follow.queued.push(entry);
            if (typeof node.onended === "function")
                kibuEngine.refillSeen = true;
            start(Math.max(0, when - follow.ahead));
        };
        node.addEventListener("ended", () => {
            if (typeof node.onended === "function")
                kibuEngine.refillSeen = true;
            const at = follow.queued.indexOf(entry);
            if (at >= 0)
                follow.queued.splice(at, 1);
        });
        return node;
    };
}

// Drops the engine's queued buffers on an output and has it refill them at
// once (see kibu-sound.js for when). Only buffers mixed before the tick are
// dropped: one mixed after it may carry the program's sound already.
function kibuHurrySound(context, tick) {
    const follow = context.kibuFollow;
    if (context.state !== "running" || follow.queued.length === 0 ||
        follow.queued.some(entry => entry.mixed >= tick))
        return;
    const queued = follow.queued.splice(0).sort((a, b) => a.when - b.when);
    const refills = queued.map(entry => {
        const refill = entry.node.onended;
        entry.node.onended = null;
        entry.node.stop();
        return refill;
    });
    const last = queued[queued.length - 1];
    follow.ahead = last.when + last.node.buffer.duration - follow.now();
    // The first refill would look late to the engine, which would then
    // double its buffers: it sees the other half played.
    follow.lean = queued[0].node.buffer.duration / 2;
    refills.forEach((refill, i) => {
        if (i === 1)
            follow.lean = 0;
        if (typeof refill !== "function")
            return; // a buffer without the engine's handler: nothing to refill
        try {
            refill();
        } catch (e) {
            // Not the engine's buffer after all; the program plays on.
            console.warn("sound refill failed: " + e);
        }
    });
    follow.lean = 0;
}

// Ruffle 0.6.0 ticks on requestAnimationFrame: the clock module decides
// when each tick runs (see kibu-clock.js).
kibuClockUse(window.requestAnimationFrame.bind(window), window.cancelAnimationFrame.bind(window));

// Ruffle 0.6.0 sizes its canvas by devicePixelRatio, read on every resize
// and tick: the resolution module lowers it under load (kibu-detail.js).
{
    const nativeRatio = window.devicePixelRatio || 1;
    Object.defineProperty(window, "devicePixelRatio", {
        get: () => nativeRatio * kibuDetailRatio(),
    });
}

// Two fixes to Ruffle 0.6.0's own stage, inside its shadow root:
// - after a pause it draws a big play button (#play-button) over the stage;
//   the window has its own play button, so that one stays hidden;
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

// The engine parts relied on above, and those of its interface the page
// uses, that player (which has played a program with sound) lacks.
function kibuEngineInternalsMissing(player) {
    const missing = [];
    const root = player && player.shadowRoot;
    if (!root || !root.querySelector("#play-button"))
        missing.push("#play-button");
    if (!root || !root.querySelector("canvas"))
        missing.push("canvas");
    const api = player && typeof player.ruffle === "function" ? player.ruffle() : null;
    for (const name of ["load", "callExternalInterface", "suspend", "resume"])
        if (!api || typeof api[name] !== "function")
            missing.push(name);
    for (const name of ["traceObserver", "volume"])
        if (!api || !(name in api))
            missing.push(name);
    if (!kibuEngine.refillSeen)
        missing.push("AudioBufferSourceNode.onended refill");
    return missing;
}
