// Which engine ticks run while a waiting instance's tick is parked, with
// engine instances that, as the engine does, ask for their next frame from
// each tick.
//   node park-test.js kibu-clock.js kibu-waiting.js
/* eslint-env node */
"use strict";
const fs = require("fs");
const vm = require("vm");

// Each case: steps run in order; then how often each instance ticked over
// the last five display frames.
//   "stage" / "other": an instance starts ticking; "build": the waiting
//   instance is being built (its tick starts); "settle": it has settled;
//   "open" / "drop": it is handed a program / dropped; "sleep" / "wake".
const cases = [
    { name: "the waiting tick rests, the stage's runs", steps: ["stage", "build", "settle"],
      ticks: { stage: 5, waiting: 0 } },
    { name: "handed a program it ticks again", steps: ["stage", "build", "settle", "open"],
      ticks: { stage: 5, waiting: 5 } },
    { name: "dropped it never ticks again", steps: ["stage", "build", "settle", "drop"],
      ticks: { stage: 5, waiting: 0 } },
    { name: "another load meanwhile: nothing is parked", steps: ["stage", "build", "other", "settle"],
      ticks: { stage: 5, waiting: 5, other: 5 } },
    { name: "built with the stage asleep", steps: ["stage", "sleep", "build", "settle", "wake"],
      ticks: { stage: 5, waiting: 0 } },
    { name: "asleep, then handed a program", steps: ["stage", "build", "settle", "sleep", "open", "wake"],
      ticks: { stage: 5, waiting: 5 } },
];

const source = fs.readFileSync(process.argv[2], "utf8") + fs.readFileSync(process.argv[3], "utf8");
let failures = 0;
for (const c of cases) {
    const frames = new Map(); // the browser's id -> callback
    let nextId = 1;
    const context = {
        window: {
            requestAnimationFrame: callback => {
                frames.set(nextId, callback);
                return nextId++;
            },
            cancelAnimationFrame: id => frames.delete(id),
        },
        setTimeout: () => 0,
        clearTimeout: () => {},
    };
    for (const name of ["kibuDetailTick", "kibuDetailRestart", "kibuHandOver", "kibuHurryPendingSound",
        "kibuSoundRest", "kibuSoundWake"])
        context[name] = () => {};
    vm.runInNewContext(source + "\nkibuClockUse(window.requestAnimationFrame, window.cancelAnimationFrame);" +
        "this.kibuWaiting = kibuWaiting; this.kibuSleep = kibuSleep; this.kibuWake = kibuWake;" +
        "this.settle = kibuParkWaitingTick; this.callbacks = kibuClockCallbacks;" +
        "this.unpark = kibuClockUnpark;", context);
    const counts = {};
    const start = name => {
        counts[name] = 0;
        const tick = () => {
            ++counts[name];
            context.window.requestAnimationFrame(tick);
        };
        context.window.requestAnimationFrame(tick);
    };
    let now = 0;
    const frame = () => {
        now += 1000 / 60;
        const due = [...frames.values()];
        frames.clear();
        for (const callback of due)
            callback(now);
    };
    for (const step of c.steps) {
        if (step === "build") {
            context.kibuWaiting.ticksBefore = context.callbacks();
            start("waiting");
        } else if (step === "stage" || step === "other") {
            start(step);
        } else if (step === "settle") {
            context.settle();
        } else if (step === "open" || step === "drop") {
            context.unpark(step === "open");
        } else if (step === "sleep") {
            context.kibuSleep();
        } else if (step === "wake") {
            context.kibuWake();
        }
        frame();
        frame();
    }
    const before = { ...counts };
    for (let i = 0; i < 5; ++i)
        frame();
    const ticked = {};
    for (const name of Object.keys(c.ticks))
        ticked[name] = counts[name] - before[name];
    if (JSON.stringify(ticked) !== JSON.stringify(c.ticks)) {
        console.error(`${c.name}: ticked ${JSON.stringify(ticked)}, expected ${JSON.stringify(c.ticks)}`);
        ++failures;
    }
}
process.exit(failures ? 1 : 0);
