// Which engine instances tick, over five display frames, once steps ran
// (two frames each): "stage"/"other" start one, "build" starts the waiting
// one, "settle" parks its tick, "open"/"drop" let it go, "sleep"/"wake".
//   node park-test.js kibu-clock.js kibu-waiting.js
/* eslint-env node */
"use strict";
const fs = require("fs");
const vm = require("vm");

const cases = [
    ["stage build settle", { stage: 5, waiting: 0 }],
    ["stage build settle open", { stage: 5, waiting: 5 }],
    ["stage build settle drop", { stage: 5, waiting: 0 }],
    ["stage build other settle", { stage: 5, waiting: 5, other: 5 }], // another load: none parked
    ["stage build settle sleep open wake", { stage: 5, waiting: 5 }],
];
const source = fs.readFileSync(process.argv[2], "utf8") + fs.readFileSync(process.argv[3], "utf8") +
    "\nkibuClockUse(window.requestAnimationFrame, window.cancelAnimationFrame);" +
    "this.steps = { build: () => { kibuWaiting.ticksBefore = kibuClockCallbacks(); }," +
    " settle: kibuParkWaitingTick, open: () => kibuClockUnpark(true)," +
    " drop: () => kibuClockUnpark(false), sleep: kibuSleep, wake: kibuWake };";
let failures = 0;
for (const [steps, expected] of cases) {
    const frames = [];
    const context = { window: { requestAnimationFrame: f => frames.push(f), cancelAnimationFrame() {} } };
    for (const name of ["kibuDetailTick", "kibuDetailRestart", "kibuHandOver", "kibuHurryPendingSound",
        "kibuSoundRest", "kibuSoundWake", "setTimeout", "clearTimeout"])
        context[name] = () => {};
    vm.runInNewContext(source, context);
    const counts = {};
    const frame = now => frames.splice(0).forEach(f => f(now));
    for (const step of steps.split(" ")) {
        if (["stage", "other", "build"].includes(step)) {
            const name = step === "build" ? "waiting" : step;
            counts[name] = 0;
            const tick = () => ++counts[name] && context.window.requestAnimationFrame(tick);
            (context.steps[step] || (() => {}))();
            context.window.requestAnimationFrame(tick);
        } else {
            context.steps[step]();
        }
        frame(1);
        frame(2);
    }
    const before = { ...counts };
    [3, 4, 5, 6, 7].forEach(frame);
    const ticked = Object.fromEntries(Object.keys(expected).map(n => [n, counts[n] - before[n]]));
    if (JSON.stringify(ticked) !== JSON.stringify(expected)) {
        console.error(`${steps}: ticked ${JSON.stringify(ticked)}, expected ${JSON.stringify(expected)}`);
        ++failures;
    }
}
process.exit(failures ? 1 : 0);
