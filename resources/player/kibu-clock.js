// The engine draws on the display's frame clock, sixty times a second even
// when nothing moves. While the stage is empty or the program paused, the
// clock sleeps: the engine's next tick waits until it wakes. A goto or a
// resize while asleep gets one tick, to draw. An engine instance that only
// waits (see kibu-waiting.js) can have its tick parked: it runs again once
// let go.
"use strict";
/* exported kibuClockUse, kibuClockAsleep, kibuClockAdvance, kibuSleep, kibuWake, kibuNudge,
            kibuClockCallbacks, kibuClockPark, kibuClockUnpark */
/* global kibuDetailTick, kibuDetailRestart, kibuHandOver, kibuHurryPendingSound,
          kibuSoundRest, kibuSoundWake, kibuWaitingRest, kibuWaitingWake */

const kibuClock = {
    asleep: false,
    ahead: 0, // ms the engine's clock runs ahead of the display's
    held: new Map(), // our id -> the engine's callback
    nextId: -1,
    queued: new Map(), // the browser's id -> the engine's callback, still to run
    frameAt: -1, // the display frame whose callbacks run now
    frameLeft: 0, // how many of them are still to run
    request: null, // the browser's requestAnimationFrame
    parked: null, // the callback not to run until let go
    parkedWaits: false, // whether it came and waits to be let go
};

// Takes the place of the browser's frame requests, which it is given.
function kibuClockUse(nativeRequest, nativeCancel) {
    kibuClock.request = nativeRequest;
    window.requestAnimationFrame = callback => {
        if (!kibuClock.asleep)
            return kibuClockQueue(callback);
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
}

// Queues the engine's callback for the next display frame.
function kibuClockQueue(callback) {
    const id = kibuClock.request(now => {
        // Every callback queued before a display frame runs in it.
        if (now !== kibuClock.frameAt) {
            kibuClock.frameAt = now;
            kibuClock.frameLeft = kibuClock.queued.size;
        }
        kibuClock.queued.delete(id);
        kibuDetailTick(now);
        if (callback === kibuClock.parked) {
            kibuClock.parkedWaits = true;
        } else {
            kibuHandOver();
            callback(now + kibuClock.ahead);
        }
        if (--kibuClock.frameLeft === 0)
            kibuHurryPendingSound();
    });
    kibuClock.queued.set(id, callback);
    return id;
}

// The engine's callbacks waiting for a display frame, queued or held.
function kibuClockCallbacks() {
    return new Set([...kibuClock.queued.values(), ...kibuClock.held.values()]);
}

function kibuClockPark(callback) {
    kibuClockUnpark(false);
    kibuClock.parked = callback;
}

// Lets the parked callback go; it runs at the next display frame unless
// dropped (its instance is gone).
function kibuClockUnpark(run) {
    const callback = kibuClock.parked;
    const waits = kibuClock.parkedWaits;
    kibuClock.parked = null;
    kibuClock.parkedWaits = false;
    if (run && waits)
        window.requestAnimationFrame(callback);
}

function kibuClockRelease() {
    const held = [...kibuClock.held.values()];
    kibuClock.held.clear();
    kibuDetailRestart();
    for (const callback of held)
        kibuClockQueue(callback);
}

function kibuClockAsleep() {
    return kibuClock.asleep;
}

// The engine's clock moves on by ms at once, and keeps that lead.
function kibuClockAdvance(ms) {
    kibuClock.ahead += ms;
}

function kibuSleep() {
    kibuClock.asleep = true;
    kibuSoundRest();
    kibuWaitingRest();
}

function kibuWake() {
    kibuClock.asleep = false;
    kibuClockRelease();
    kibuSoundWake();
    kibuWaitingWake();
}

// One tick while asleep.
function kibuNudge() {
    if (kibuClock.asleep)
        kibuClockRelease();
}
