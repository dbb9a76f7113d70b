// Loading programs and handing over to them, and what the window asks of
// the program on the stage: play, stop, go to a frame, volume, traces.
"use strict";
/* exported kibuLoadHost, kibuLoadUrl, kibuPlay, kibuStop, kibuGoto, kibuForwardTrace, kibuSetMenu,
            kibuSetVolume, kibuVolume, kibuHandOver, kibuTakeStage, kibuStart, kibuBytes,
            kibuCall, kibuCallOn, kibuNewPlayer, kibuLoadDone */
/* global kibuReport, kibuTellFrame, kibuTellTrace, kibuTidyStage, kibuWake, kibuSleep, kibuNudge,
          kibuClockAdvance, kibuDetailReset, kibuDetailRate, kibuSoundHurrySoon,
          kibuPrepareWaiting, kibuOpenInWaiting, kibuWaitingIs, kibuWaitingSetVolume,
          kibuDropWaiting */

const kibuState = {
    player: null,
    api: null,
    hosted: false, // the program was started by our host movie
    lastFrame: -1,
    lastTotal: -1,
    ruffle: null, // the engine, which makes players
    generation: 0, // of the program loaded last, echoed with its frames
    volume: 1,
    forwardTrace: false,
    programRuns: false, // the program has taken the host's place
    handingOver: false, // until the program's first tick
    emptyStage: 0, // the timer of an empty stage still to load
    pollTimer: 0,
};

// The first player, once the engine is there.
function kibuStart(ruffle) {
    kibuState.ruffle = ruffle;
    kibuState.player = kibuNewPlayer();
    kibuState.api = kibuState.player.ruffle();
}

function kibuNewPlayer() {
    const player = kibuState.ruffle.createPlayer();
    document.getElementById("stage").appendChild(player);
    kibuTidyStage(player);
    player.addEventListener("panic", () => {
        if (player === kibuState.player)
            kibuReport("engine stopped");
        else if (kibuWaitingIs(player))
            kibuDropWaiting();
    });
    player.addEventListener("loadedmetadata", kibuApplyVolume);
    return player;
}

// A player that has its program running takes the stage's place.
function kibuTakeStage(player, api) {
    const previous = kibuState.player;
    kibuState.player = player;
    kibuState.api = api;
    previous.remove();
}

// The engine runs a new root's first frame once a whole frame time has
// passed, a twelfth of a second for many programs. At the tick where the
// program has taken the host's place, its clock moves on by one frame, so
// its first frame shows at once; the program keeps its own rate.
function kibuHandOver() {
    if (!kibuState.handingOver || !kibuProgramRuns())
        return;
    kibuState.handingOver = false;
    kibuClockAdvance(1000 / kibuDetailRate());
    kibuSoundHurrySoon();
}

// The program's frame goes to the window once per frame of the program, and
// only while it plays.
function kibuPollWhilePlaying(on) {
    clearInterval(kibuState.pollTimer);
    const frameMs = Math.max(10, Math.min(250, 1000 / kibuDetailRate()));
    kibuState.pollTimer = on && kibuState.hosted ? setInterval(kibuPoll, frameMs) : 0;
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

function kibuVolume() {
    return kibuState.volume;
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
        kibuTellFrame(kibuState.generation, frame, typeof total === "number" ? total : 0);
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
            kibuTellTrace(String(message));
    };
}

function kibuSetVolume(volume) {
    kibuState.volume = volume;
    kibuApplyVolume();
    kibuWaitingSetVolume(volume);
}
