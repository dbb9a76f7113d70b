// Building an engine instance takes a twentieth of a second, most of the
// time a click waits for its program. So once a program from a folder has
// started, a second instance is built, hidden, with a host that runs its
// frame and waits: the next program from that folder is handed to it, and
// it takes the stage's place. While it waits its engine is paused and its
// tick parked; its sound output runs while the page is awake.
"use strict";
/* exported kibuSetWaitingHost, kibuPrepareWaiting, kibuOpenInWaiting, kibuWaitingBuilt,
            kibuWaitingIs, kibuWaitingSetVolume, kibuWaitingRest, kibuWaitingWake,
            kibuDropWaiting */
/* global kibuBytes, kibuNewPlayer, kibuCallOn, kibuCall, kibuVolume, kibuTakeStage,
          kibuLoadDone, kibuWake, kibuNudge, kibuClockAsleep, kibuDetailReset,
          kibuSoundExpectClaim, kibuSoundClaimed, kibuClockCallbacks, kibuClockPark,
          kibuClockUnpark */

const kibuWaiting = {
    host: null, // the waiting host movie's bytes
    base: "", // the folder its program must come from
    player: null,
    api: null,
    audio: null, // its sound output
    timer: 0, // until it is built
    settling: 0, // until its host's frame has run
    ticksBefore: null, // the engine's callbacks from before it was built
};

function kibuSetWaitingHost(base64) {
    kibuWaiting.host = kibuBytes(base64);
}

function kibuWaitingBuilt() {
    return kibuWaiting.player !== null;
}

function kibuWaitingIs(player) {
    return player === kibuWaiting.player;
}

function kibuWaitingSetVolume(volume) {
    if (kibuWaiting.api && kibuWaiting.api.volume !== volume)
        kibuWaiting.api.volume = volume;
}

function kibuWaitingRest() {
    if (kibuWaiting.audio)
        kibuWaiting.audio.suspend();
}

function kibuWaitingWake() {
    if (kibuWaiting.audio)
        kibuWaiting.audio.resume();
}

function kibuDropWaiting() {
    clearTimeout(kibuWaiting.timer);
    clearTimeout(kibuWaiting.settling);
    if (kibuWaiting.player)
        kibuWaiting.player.remove(); // which ends its instance
    kibuClockUnpark(false);
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
        kibuWaiting.ticksBefore = kibuClockCallbacks();
        const player = kibuNewPlayer();
        player.classList.add("kibu-waiting");
        const api = player.ruffle();
        kibuWaiting.player = player;
        kibuWaiting.api = api;
        kibuWaiting.base = base;
        kibuSoundExpectClaim();
        api.load({ data: kibuWaiting.host, swfFileName: "kibu-host.swf", base: base }).then(() => {
            if (kibuWaiting.api !== api)
                return;
            api.volume = kibuVolume();
            kibuSettleWaiting(api, kibuSoundClaimed(), 40);
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
    kibuParkWaitingTick();
    kibuWaiting.audio = audio;
    if (audio && !kibuClockAsleep())
        audio.resume();
}

// A paused instance still ticks at every display frame. Its tick is the one
// callback new since it was built; when that is not plain (another load
// began meanwhile), it ticks on.
function kibuParkWaitingTick() {
    const before = kibuWaiting.ticksBefore || new Set();
    kibuWaiting.ticksBefore = null; // the stage's old ticks are not kept alive
    const fresh = [...kibuClockCallbacks()].filter(callback => !before.has(callback));
    if (fresh.length === 1)
        kibuClockPark(fresh[0]);
}

// Hands the program to the waiting instance, which takes the stage's place;
// false when none waits for a program from that folder.
function kibuOpenInWaiting(how) {
    const api = kibuWaiting.api;
    if (!api || kibuWaiting.base !== how.base || kibuCallOn(api, "kibuReady") !== true)
        return false;
    const player = kibuWaiting.player;
    kibuWaiting.player = kibuWaiting.api = kibuWaiting.audio = null;
    kibuClockUnpark(true);
    player.classList.remove("kibu-waiting"); // shown before the stage's is taken away
    kibuTakeStage(player, api);
    kibuWake();
    kibuDetailReset(how.rate);
    api.resume();
    kibuLoadDone();
    kibuCall("kibuOpen", how.url);
    kibuPrepareWaiting(how.base);
    return true;
}
