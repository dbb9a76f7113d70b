// The drawing resolution's decisions, fed display frames at chosen times.
//   node detail-test.js kibu-detail.js
/* eslint-env node */
"use strict";
const fs = require("fs");
const vm = require("vm");

// Each case: the program's rate, whether held, then stretches of display
// frames [ms, ticks a second]; the resolutions told, in order.
const cases = [
    { name: "keeps up", rate: 24, run: [[10000, 60]], told: [] },
    { name: "far behind goes to the lowest step at once", rate: 24, run: [[1500, 5.5]], told: [0.25] },
    { name: "behind by more than half stops at the step it can keep", rate: 24, run: [[1500, 9]], told: [0.35] },
    { name: "a little behind goes one step", rate: 24, run: [[1400, 20]], told: [0.75] },
    { name: "passed-over steps wait half a minute", rate: 24, run: [[1500, 5.5], [25000, 60]], told: [0.25] },
    { name: "then back up a step at a time", rate: 24, run: [[1500, 5.5], [40000, 60]], told: [0.25, 0.35, 0.5, 0.75] },
    { name: "a load holding the page up is no tick missed", rate: 24, run: [[900, 1], [5000, 60]], told: [] },
    { name: "held stays at full resolution", rate: 24, held: true, run: [[5000, 5]], told: [] },
    { name: "a slow program needs few ticks", rate: 6, run: [[5000, 6]], told: [] },
    { name: "a program faster than the display keeps full resolution", rate: 120, run: [[10000, 60]], told: [] },
    { name: "a display a little slower than the program's rate", rate: 60, run: [[10000, 50]], told: [] },
    { name: "faster than the display and behind", rate: 120, run: [[1500, 20]], told: [0.35] },
];

const source = fs.readFileSync(process.argv[2], "utf8");
let failures = 0;
for (const c of cases) {
    const told = [];
    const context = { performance: { now: () => 0 }, kibuTellDrawing: r => told.push(r) };
    vm.runInNewContext(source + "\nthis.kibuDetailTick = kibuDetailTick;" +
        "this.kibuDetailReset = kibuDetailReset; this.kibuDetailHold = kibuDetailHold;", context);
    context.kibuDetailReset(c.rate);
    context.kibuDetailHold(!!c.held);
    let now = 0;
    for (const [ms, perSecond] of c.run) {
        const end = now + ms;
        while (now < end) {
            now += 1000 / perSecond;
            context.kibuDetailTick(now);
        }
    }
    if (JSON.stringify(told) !== JSON.stringify(c.told)) {
        console.error(`${c.name}: told ${JSON.stringify(told)}, expected ${JSON.stringify(c.told)}`);
        ++failures;
    }
}
process.exit(failures ? 1 : 0);
