// The engine draws on the display's frame clock, sixty times a second even
// when nothing moves. While the stage is empty or the program paused, the
// clock sleeps: the engine's next tick waits until it wakes. A goto or a
// resize while asleep gets one tick, to draw.
"use strict";
/* exported kibuClockUse, kibuClockAsleep, kibuClockAdvance, kibuSleep, kibuWake, kibuNudge */
/* global kibuDetailTick, kibuDetailRestart, kibuHandOver, kibuHurryPendingSound,
          kibuSoundRest, kibuSoundWake, kibuWaitingRest, kibuWaitingWake */

const kibuClock = {
    asleep: false,
    ahead: 0, // ms the engine's clock runs ahead of the display's
    held: new Map(), // our id -> the engine's callback
    nextId: -1,
    queued: new Set(), // the browser's ids of the callbacks still to run
    frameAt: -1, // the display frame whose callbacks run now
    frameLeft: 0, // how many of them are still to run
    request: null, // the browser's requestAnimationFrame
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
        kibuHandOver();
        callback(now + kibuClock.ahead);
        if (--kibuClock.frameLeft === 0)
            kibuHurryPendingSound();
    });
    kibuClock.queued.add(id);
    return id;
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
