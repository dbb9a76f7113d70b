// Sound outputs. Each load makes a new engine instance with a sound output
// of its own, and the sound server takes a while to open one: the first
// sound of a program came a quarter of a second after its click. So the
// next output is opened ahead and handed to the next instance already
// running. It rests while the page sleeps: a running output costs as much
// as all the rest of an idle window.
//
// The engine mixes its sound ahead, into two buffers that take turns (46 ms
// each at first). A sound started at a frame is heard only after both, and
// the first sound of a program came a tenth of a second after its first
// frame. At that frame both buffers hold the host's silence, so they are
// dropped and the engine refills them at once (kibuHurrySound).
"use strict";
/* exported kibuSoundOutput, kibuSoundHanded, kibuSoundExpectClaim, kibuSoundClaimed,
            kibuSoundHurrySoon, kibuHurryPendingSound, kibuSoundRest, kibuSoundWake */
/* global kibuHurrySound, kibuWaitingBuilt, kibuClockAsleep */

const kibuSound = {
    spare: null, // the output opened ahead
    options: "", // what it was opened with
    claimed: null, // the first output handed out since a waiting instance began
    handed: new Set(), // every output handed to an instance and still open
    hurryFrom: 0, // the tick of a program's first frame, while its sound waits
};

// The output for a new engine instance: the spare if it runs with the same
// options, else a new one; and a new spare a second later.
function kibuSoundOutput(Native, options) {
    const open = () => {
        kibuSound.options = JSON.stringify(options || {});
        kibuSound.spare = new Native(options);
    };
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
    // The first output handed out once a waiting instance's build has
    // begun is that instance's own.
    if (kibuSound.claimed === null)
        kibuSound.claimed = context;
    setTimeout(() => {
        // A waiting instance has an output of its own already.
        if (kibuSound.spare || kibuWaitingBuilt())
            return;
        open();
        if (kibuClockAsleep())
            kibuSound.spare.suspend();
    }, 1000);
    return context;
}

function kibuSoundHanded(context, open) {
    if (open)
        kibuSound.handed.add(context);
    else
        kibuSound.handed.delete(context);
}

// A waiting instance is about to be built: the next output is its own.
function kibuSoundExpectClaim() {
    kibuSound.claimed = null;
}

function kibuSoundClaimed() {
    return kibuSound.claimed;
}

// The program's first frame runs in this display frame: once every instance
// has ticked in it (or, should the count go astray, at the latest in the
// next task), the silence queued before it goes.
function kibuSoundHurrySoon() {
    kibuSound.hurryFrom = performance.now();
    setTimeout(kibuHurryPendingSound, 0);
}

function kibuHurryPendingSound() {
    const tick = kibuSound.hurryFrom;
    kibuSound.hurryFrom = 0;
    if (!tick)
        return;
    // Every output handed to an instance: the stage's, and the waiting
    // instance's, which holds silence too.
    for (const context of kibuSound.handed)
        kibuHurrySound(context, tick);
}

function kibuSoundRest() {
    if (kibuSound.spare)
        kibuSound.spare.suspend();
}

function kibuSoundWake() {
    if (kibuSound.spare)
        kibuSound.spare.resume();
}
