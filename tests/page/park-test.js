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
const source = process.argv.slice(2).map(f => fs.readFileSync(f, "utf8")).join("\n") +
    "\nkibuClockUse(window.requestAnimationFrame, () => {}); this.steps = {" +
    " build: () => { kibuWaiting.ticksBefore = kibuClockCallbacks(); }, settle: kibuParkWaitingTick," +
    " open: () => kibuClockUnpark(true), drop: () => kibuClockUnpark(false), sleep: kibuSleep, wake: kibuWake };";
let failures = 0;
for (const [steps, expected] of cases) {
    const frames = [], counts = {};
    const context = { window: { requestAnimationFrame: f => frames.push(f) }, setTimeout() {}, clearTimeout() {} };
    for (const name of ["kibuDetailTick", "kibuDetailRestart", "kibuHandOver", "kibuHurryPendingSound",
        "kibuSoundRest", "kibuSoundWake"])
        context[name] = () => {};
    vm.runInNewContext(source, context);
    const frame = now => frames.splice(0).forEach(f => f(now));
    for (const step of steps.split(" ")) {
        (context.steps[step] || (() => {}))();
        if (!context.steps[step] || step === "build") {
            const name = step === "build" ? "waiting" : step;
            const tick = () => ++counts[name] && context.window.requestAnimationFrame(tick);
            counts[name] = 0;
            context.window.requestAnimationFrame(tick);
        }
        [1, 2].forEach(frame);
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
