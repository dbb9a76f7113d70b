// The page between the player window and the Flash engine. The window calls
// the kibu* functions below; the page tells the window through the web
// channel object "kibu" when it is ready, when the program's frame changes
// and when something went wrong.
"use strict";

// Children's programs never read game controllers, and once anything asks
// for them the browser polls the controllers sixty times a second for as
// long as the page lives.
navigator.getGamepads = () => [];

function kibuHasWebGl() {
    const canvas = document.createElement("canvas");
    return !!(canvas.getContext("webgl2") || canvas.getContext("webgl"));
}

// Each load makes a new engine instance with a sound output of its own, and
// the sound server takes a while to open one: the first sound of a program
// came a quarter of a second after its click. So the next output is opened
// ahead and handed to the next instance already running. It rests while
// the page sleeps: a running output costs as much as all the rest of an
// idle window.
const kibuSound = { spare: null, options: "", claimed: null, handed: new Set(), hurryFrom: 0 };

// The engine mixes its sound ahead, into two buffers that take turns (46 ms
// each at first): it refills one when it has played out and queues it behind
// the other. A sound started at a frame is heard only after both, and the
// first sound of a program came a tenth of a second after its first frame.
// At that frame both buffers hold the host's silence, so they are dropped
// and the engine refills them at once, the first one playing straight away.
// The engine's clock on that output then runs ahead of the output's own by
// the time dropped, so that its view of its buffers stays as it was.
function kibuFollowBuffers(context) {
    const clock = Object.getOwnPropertyDescriptor(BaseAudioContext.prototype, "currentTime").get;
    const follow = { ahead: 0, lean: 0, queued: [], now: () => clock.call(context) };
    context.kibuFollow = follow;
    kibuSound.handed.add(context);
    // An instance that ends closes its output; it shows as closed later.
    const close = context.close.bind(context);
    context.close = () => {
        kibuSound.handed.delete(context);
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
            start(Math.max(0, when - follow.ahead));
        };
        node.addEventListener("ended", () => {
            const at = follow.queued.indexOf(entry);
            if (at >= 0)
                follow.queued.splice(at, 1);
        });
        return node;
    };
}

// Only buffers mixed before the first frame's tick are dropped: one mixed
// after it may carry the program's sound already.
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
        try {
            refill();
        } catch (e) {
            // not the engine's buffer after all
        }
    });
    follow.lean = 0;
}

// Every output handed to an instance: the stage's, and the waiting
// instance's, which holds silence too.
function kibuHurryAllSound(tick) {
    for (const context of kibuSound.handed)
        kibuHurrySound(context, tick);
}

{
    const Native = window.AudioContext;
    const open = options => {
        kibuSound.options = JSON.stringify(options || {});
        kibuSound.spare = new Native(options);
    };
    function KibuAudioContext(options) {
        const spare = kibuSound.spare;
        kibuSound.spare = null;
        // The engine hides the stage until its output runs: one still waking
        // is no use.
        const context = spare && spare.state === "running" &&
            kibuSound.options === JSON.stringify(options || {}) ? spare : new Native(options);
        if (spare && spare !== context)
            spare.close();
        if (context.state === "suspended")
            context.resume();
        kibuFollowBuffers(context);
        // The first output handed out once a waiting instance's build has
        // begun is that instance's own.
        if (kibuSound.claimed === null)
            kibuSound.claimed = context;
        setTimeout(() => {
            // A waiting instance has an output of its own already.
            if (kibuSound.spare || kibuWaiting.player)
                return;
            open(options);
            if (kibuClock.asleep)
                kibuSound.spare.suspend();
        }, 1000);
        return context;
    }
    KibuAudioContext.prototype = Native.prototype;
    window.AudioContext = KibuAudioContext;
}

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

const kibuState = {
    player: null,
    api: null,
    bridge: null,
    hosted: false, // the program was started by our host movie
    lastFrame: -1,
    lastTotal: -1,
    ruffle: null, // the engine, which makes players
    generation: 0, // of the program loaded last, echoed with its frames
    volume: 1,
    forwardTrace: false,
    programRuns: false, // the program has taken the host's place
    emptyStage: 0, // the timer of an empty stage still to load
    pollTimer: 0,
};

// Building an engine instance takes a twentieth of a second, most of the
// time a click waits for its program. So once a program from a folder has
// started, a second instance is built, hidden, with a host that runs its
// frame and waits: the next program from that folder is handed to it, and
// it takes the stage's place. While it waits its engine is paused; its
// sound output runs while the page is awake.
const kibuWaiting = {
    host: null, // the waiting host movie's bytes
    base: "", // the folder its program must come from
    player: null,
    api: null,
    audio: null, // its sound output
    timer: 0, // until it is built
    settling: 0, // until its host's frame has run
};

// The engine draws on the display's frame clock, sixty times a second even
// when nothing moves. While the stage is empty or the program paused, the
// clock sleeps: the engine's next tick waits until it wakes. A goto or a
// resize while asleep gets one tick, to draw.
const kibuClock = {
    asleep: false,
    ahead: 0, // ms the engine's clock runs ahead of the display's
    held: new Map(), // our id -> the engine's callback
    nextId: -1,
    queued: new Set(), // the browser's ids of the callbacks still to run
    frameAt: -1, // the display frame whose callbacks run now
    frameLeft: 0, // how many of them are still to run
};
// Drawing that keeps up. The engine draws on a 2D canvas, where its
// quality setting changes nothing and the cost grows with the canvas's
// pixels. When the engine gets fewer ticks a second than the program has
// frames, it draws at a lower resolution, which the browser scales up; back
// at full resolution once it ticks at nearly the display's rate again. A
// resolution that fell behind is not tried again for half a minute. Each
// load starts at full resolution.
const kibuDetail = {
    steps: [1, 0.75, 0.5, 0.35],
    step: 0,
    nativeRatio: window.devicePixelRatio || 1,
    rate: 12,
    ticks: 0,
    lastTick: -1, // the display frame counted last
    since: 0, // when the ticks were last counted
    changed: 0, // when the resolution last changed, or a load began
    behindAt: [], // by step: when it last fell behind
};
Object.defineProperty(window, "devicePixelRatio", {
    get: () => kibuDetail.nativeRatio * kibuDetail.steps[kibuDetail.step],
});

function kibuDetailReset(rate) {
    kibuDetail.step = 0;
    kibuDetail.rate = rate || 12;
    kibuDetail.ticks = 0;
    kibuDetail.since = kibuDetail.changed = performance.now();
}

function kibuDetailTick(now) {
    // Every instance ticks at the display's frame; counted once.
    if (now === kibuDetail.lastTick)
        return;
    kibuDetail.lastTick = now;
    ++kibuDetail.ticks;
    const span = now - kibuDetail.since;
    if (span < 1000)
        return;
    const perSecond = kibuDetail.ticks * 1000 / span;
    kibuDetail.ticks = 0;
    kibuDetail.since = now;
    if (span > 2000 || now - kibuDetail.changed < 2000)
        return; // just woken, or the program is still starting
    const d = kibuDetail;
    if (perSecond < d.rate * 0.9 && d.step < d.steps.length - 1) {
        d.behindAt[d.step] = now;
        ++d.step;
        d.changed = now;
    } else if (perSecond > 50 && d.step > 0 && now - d.changed > 4000 &&
               !(now - (d.behindAt[d.step - 1] || -Infinity) < 30000)) {
        --d.step;
        d.changed = now;
    }
}

{
    const nativeRequest = window.requestAnimationFrame.bind(window);
    const nativeCancel = window.cancelAnimationFrame.bind(window);
    // Queues the engine's callback for the next display frame.
    const counted = callback => {
        const id = nativeRequest(now => {
            // Every callback queued before a display frame runs in it.
            if (now !== kibuClock.frameAt) {
                kibuClock.frameAt = now;
                kibuClock.frameLeft = kibuClock.queued.size;
            }
            kibuClock.queued.delete(id);
            kibuDetailTick(now);
            kibuHandOver();
            callback(now + kibuClock.ahead);
            if (--kibuClock.frameLeft === 0)
                kibuHurryPendingSound();
        });
        kibuClock.queued.add(id);
        return id;
    };
    window.requestAnimationFrame = callback => {
        if (!kibuClock.asleep)
            return counted(callback);
        const id = kibuClock.nextId--;
        kibuClock.held.set(id, callback);
        return id;
    };
    window.cancelAnimationFrame = id => {
        if (id < 0) {
            kibuClock.held.delete(id);
        } else {
            kibuClock.queued.delete(id);
            nativeCancel(id);
        }
    };
    kibuClock.release = () => {
        const held = [...kibuClock.held.values()];
        kibuClock.held.clear();
        kibuDetail.since = performance.now();
        kibuDetail.ticks = 0;
        for (const callback of held)
            counted(callback);
    };
}

// The engine runs a new root's first frame once a whole frame time has
// passed, a twelfth of a second for many programs. At the tick where the
// program has taken the host's place, its clock moves on by one frame, so
// its first frame shows at once; the program keeps its own rate.
function kibuHandOver() {
    if (!kibuState.handingOver || !kibuProgramRuns())
        return;
    kibuState.handingOver = false;
    kibuClock.ahead += 1000 / kibuDetail.rate;
    // Once every instance has ticked in this display frame, the program's
    // first frame has run (or, should the count go astray, at the latest
    // in the next task).
    kibuSound.hurryFrom = performance.now();
    setTimeout(kibuHurryPendingSound, 0);
}

function kibuHurryPendingSound() {
    const tick = kibuSound.hurryFrom;
    kibuSound.hurryFrom = 0;
    if (tick)
        kibuHurryAllSound(tick);
}

function kibuSleep() {
    kibuClock.asleep = true;
    if (kibuSound.spare)
        kibuSound.spare.suspend();
    if (kibuWaiting.audio)
        kibuWaiting.audio.suspend();
}

function kibuWake() {
    kibuClock.asleep = false;
    kibuClock.release();
    if (kibuSound.spare)
        kibuSound.spare.resume();
    if (kibuWaiting.audio)
        kibuWaiting.audio.resume();
}

// One tick while asleep.
function kibuNudge() {
    if (kibuClock.asleep)
        kibuClock.release();
}

// The program's frame goes to the window once per frame of the program, and
// only while it plays.
function kibuPollWhilePlaying(on) {
    clearInterval(kibuState.pollTimer);
    const frameMs = Math.max(10, Math.min(250, 1000 / kibuDetail.rate));
    kibuState.pollTimer = on && kibuState.hosted ? setInterval(kibuPoll, frameMs) : 0;
}

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
    kibuState.programRuns = false;
    kibuState.handingOver = kibuState.hosted;
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

// The load under way in each player, which the next one waits for.
const kibuLoads = new WeakMap();

// Starts a load in a fresh engine instance: awake, at full resolution.
// how: { hosted, base, name, rate }.
function kibuLoad(generation, options, how) {
    clearTimeout(kibuState.emptyStage);
    kibuWake();
    kibuDetailReset(how.rate);
    const player = kibuState.player;
    const api = kibuState.api;
    // One load at a time in an instance: a load begun while the one before
    // is still under way (the engine compiles its code for the first) can
    // end with that movie's stage colour under this one.
    const start = () => api.load(kibuOptions(options, how.base));
    const loading = (kibuLoads.get(player) || Promise.resolve()).then(start, start);
    kibuLoads.set(player, loading);
    loading.then(() => {
        if (kibuState.player !== player)
            return; // a waiting instance took the stage's place meanwhile
        kibuLoadDone();
        if (how.url)
            kibuPrepareWaiting(how.base);
        // The empty stage: once drawn, no frames, no sound output, no ticks.
        if (!how.hosted && !options.url)
            setTimeout(() => {
                if (kibuState.generation !== generation)
                    return;
                kibuState.api.suspend();
                kibuSleep();
            }, 250);
    }, e => {
        if (kibuState.player === player)
            kibuReport(e);
    });
}

function kibuSetWaitingHost(base64) {
    kibuWaiting.host = kibuBytes(base64);
}

function kibuDropWaiting() {
    clearTimeout(kibuWaiting.timer);
    clearTimeout(kibuWaiting.settling);
    if (kibuWaiting.player)
        kibuWaiting.player.remove(); // which ends its instance
    kibuWaiting.player = kibuWaiting.api = kibuWaiting.audio = null;
}

// A second later (unless told otherwise), so that the program just started
// has its first frames to itself.
function kibuPrepareWaiting(base, delay = 1000) {
    clearTimeout(kibuWaiting.timer);
    if (!kibuWaiting.host || (kibuWaiting.player && kibuWaiting.base === base))
        return;
    kibuWaiting.timer = setTimeout(() => {
        kibuDropWaiting();
        const player = kibuNewPlayer();
        player.classList.add("kibu-waiting");
        const api = player.ruffle();
        kibuWaiting.player = player;
        kibuWaiting.api = api;
        kibuWaiting.base = base;
        kibuSound.claimed = null;
        api.load({ data: kibuWaiting.host, swfFileName: "kibu-host.swf", base: base }).then(() => {
            if (kibuWaiting.api !== api)
                return;
            api.volume = kibuState.volume;
            kibuSettleWaiting(api, kibuSound.claimed, 40);
        }, () => {
            if (kibuWaiting.api === api)
                kibuDropWaiting();
        });
    }, delay);
}

// The host's frame, which registers its callbacks, needs a tick; once it
// has run, the engine pauses, and its sound output (which the pause rests)
// runs on while the page is awake, so that a program's first sound need
// not wait for one to open. An instance whose frame never comes is dropped.
function kibuSettleWaiting(api, audio, tries) {
    if (kibuWaiting.api !== api)
        return;
    if (kibuCallOn(api, "kibuReady") !== true) {
        if (tries === 0) {
            kibuDropWaiting();
            return;
        }
        kibuNudge();
        kibuWaiting.settling = setTimeout(() => kibuSettleWaiting(api, audio, tries - 1), 50);
        return;
    }
    api.suspend();
    kibuWaiting.audio = audio;
    if (audio && !kibuClock.asleep)
        audio.resume();
}

// Hands the program to the waiting instance, which takes the stage's place;
// false when none waits for a program from that folder.
function kibuOpenInWaiting(how) {
    const api = kibuWaiting.api;
    if (!api || kibuWaiting.base !== how.base || kibuCallOn(api, "kibuReady") !== true)
        return false;
    const player = kibuWaiting.player;
    kibuWaiting.player = kibuWaiting.api = kibuWaiting.audio = null;
    const previous = kibuState.player;
    kibuState.player = player;
    kibuState.api = api;
    player.classList.remove("kibu-waiting");
    previous.remove();
    kibuWake();
    kibuDetailReset(how.rate);
    api.resume();
    kibuLoadDone();
    kibuCall("kibuOpen", how.url);
    kibuPrepareWaiting(how.base);
    return true;
}

// Loads a host movie handed over as bytes, or an ActionScript 3 program with
// the host's class added (how.file: the copy the player wrote), both hosted;
// or the empty stage. Leaving a program for another empties the stage on
// the way: the empty stage waits one turn, and a program that follows at
// once takes its place.
function kibuLoadHost(generation, base64, how) {
    clearTimeout(kibuState.emptyStage);
    kibuState.hosted = how.hosted;
    kibuLoaded(generation);
    if (how.url && kibuOpenInWaiting(how)) {
        kibuPollWhilePlaying(true);
        return;
    }
    const options = how.file ? { url: how.file } :
        { data: kibuBytes(base64), swfFileName: "kibu-host.swf" };
    if (how.hosted)
        kibuLoad(generation, options, how);
    else
        kibuState.emptyStage = setTimeout(() => kibuLoad(generation, options, how), 0);
    kibuPollWhilePlaying(how.hosted);
}

// Loads a program directly (ActionScript 3: no host can reach its timeline).
function kibuLoadUrl(generation, url, base, rate) {
    kibuState.hosted = false;
    kibuLoaded(generation);
    kibuLoad(generation, { url: url }, { hosted: false, base: base, rate: rate });
    kibuPollWhilePlaying(false);
}

function kibuCallOn(api, name, ...args) {
    try {
        return api.callExternalInterface(name, ...args);
    } catch (e) {
        return undefined;
    }
}

function kibuCall(name, ...args) {
    return kibuCallOn(kibuState.api, name, ...args);
}

// Whether the program has taken the host's place: until then the host's
// own frame would pass for the program's, and its timeline must not move
// (its one frame starts the program).
function kibuProgramRuns() {
    // Once it has, it stays so until the next load.
    if (!kibuState.programRuns)
        kibuState.programRuns = kibuState.hosted && kibuCall("kibuRootKind") === "object";
    return kibuState.programRuns;
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

function kibuPlay(timeline) {
    kibuWake();
    kibuState.api.resume();
    if (timeline && kibuProgramRuns())
        kibuCall("kibuPlay");
    kibuPollWhilePlaying(true);
}

function kibuStop() {
    if (kibuProgramRuns())
        kibuCall("kibuStop");
    kibuState.api.suspend();
    kibuPoll();
    kibuPollWhilePlaying(false);
    kibuSleep();
}

function kibuGoto(frame, playing) {
    if (kibuProgramRuns())
        kibuCall(playing ? "kibuGotoPlay" : "kibuGotoStop", frame);
    kibuPoll();
    kibuNudge();
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
    if (kibuWaiting.api && kibuWaiting.api.volume !== volume)
        kibuWaiting.api.volume = volume;
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

function kibuNewPlayer() {
    const player = kibuState.ruffle.createPlayer();
    document.getElementById("stage").appendChild(player);
    kibuTidyStage(player);
    player.addEventListener("panic", () => {
        if (player === kibuState.player)
            kibuReport("engine stopped");
        else if (player === kibuWaiting.player)
            kibuDropWaiting();
    });
    player.addEventListener("loadedmetadata", kibuApplyVolume);
    return player;
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
        kibuState.ruffle = ruffle;
        const player = kibuNewPlayer();
        kibuState.player = player;
        kibuState.api = player.ruffle();
        window.addEventListener("resize", kibuNudge);
        window.addEventListener("pointerdown", kibuNudge, true);
        kibuState.bridge.pageReady();
    });
});
