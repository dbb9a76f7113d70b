// Drawing that keeps up. The engine draws on a 2D canvas, where its
// quality setting changes nothing and the cost grows with the canvas's
// pixels. When the engine gets fewer ticks a second than the program has
// frames (or than the display has, for a program faster than that), it
// draws at a lower resolution, which the browser scales up: at once as low
// as the ticks it got say it must (the cost follows the pixels only in
// part, so the share of the ticks it got is the share of the resolution
// kept); back up a step at a time once it ticks at nearly the display's
// rate again. Ticks are counted over a second, or over half of one when
// they are far too few, so that a program too busy for the machine is
// drawn smoothly soon after it starts. A resolution that fell behind, or
// was passed over on the way down, is not tried again for half a minute.
// Each load starts at full resolution, and its count at its first ticks,
// once loading has stopped holding the page up. Held, it stays at full
// resolution (for comparing what drawing costs).
"use strict";
/* exported kibuDetailReset, kibuDetailHold, kibuDetailTick, kibuDetailRestart, kibuDetailRatio, kibuDetailRate */
/* global kibuTellDrawing */

const kibuDetail = {
    steps: [1, 0.75, 0.5, 0.35, 0.25], // of the display's pixel ratio
    step: 0,
    rate: 12, // the program's frames a second
    displayRate: 50, // ticks a second that count as the display's full rate
    ticks: 0,
    lastTick: -1, // the display frame counted last
    since: 0, // when the ticks were last counted
    changed: 0, // when the resolution last changed, or a load began
    settled: 0, // ticks counted from then on are the resolution's own; null until a load ticks
    behindAt: [], // by step: when it last fell behind
    held: false, // full resolution whatever the ticks
};

function kibuDetailHold(on) {
    kibuDetail.held = on;
    if (on && kibuDetail.step !== 0)
        kibuDetailStep(0, performance.now());
}

function kibuDetailReset(rate) {
    if (kibuDetail.step !== 0)
        kibuTellDrawing(1);
    kibuDetail.step = 0;
    kibuDetail.rate = rate || 12;
    kibuDetail.ticks = 0;
    kibuDetail.since = kibuDetail.changed = performance.now();
    kibuDetail.settled = null;
}

// The count starts again: the clock wakes, and the time asleep is no tick
// missed.
function kibuDetailRestart() {
    kibuDetail.since = performance.now();
    kibuDetail.ticks = 0;
}

// The share of the display's pixel ratio drawn now.
function kibuDetailRatio() {
    return kibuDetail.steps[kibuDetail.step];
}

function kibuDetailRate() {
    return kibuDetail.rate;
}

function kibuDetailStep(step, now) {
    kibuDetail.step = step;
    kibuDetail.changed = kibuDetail.settled = now;
    kibuTellDrawing(kibuDetail.steps[step]);
}

function kibuDetailTick(now) {
    const d = kibuDetail;
    // Every instance ticks at the display's frame; counted once.
    if (now === d.lastTick)
        return;
    d.lastTick = now;
    if (d.settled === null)
        d.settled = now + 250; // the first frames' shapes are still being prepared
    if (now < d.settled || d.held) {
        d.since = now;
        d.ticks = 0;
        return;
    }
    ++d.ticks;
    const span = now - d.since;
    if (span < 500)
        return;
    const perSecond = d.ticks * 1000 / span;
    // A program may ask for more frames than the display has ticks: each
    // tick then runs several of its frames, and that is no reason to draw
    // less sharply.
    const rate = Math.min(d.rate, d.displayRate);
    if (span < 1000 && perSecond >= rate / 3)
        return;
    d.ticks = 0;
    d.since = now;
    if (span > 2000)
        return; // just woken
    if (perSecond < rate * 0.9 && d.step < d.steps.length - 1) {
        d.behindAt[d.step] = now;
        const enough = d.steps[d.step] * perSecond / rate;
        let step = d.step + 1;
        while (step < d.steps.length - 1 && d.steps[step] > enough)
            d.behindAt[step++] = now; // passed over: it would fall behind too
        kibuDetailStep(step, now);
    } else if (perSecond > d.displayRate && d.step > 0 && now - d.changed > 4000 &&
               !(now - (d.behindAt[d.step - 1] || -Infinity) < 30000)) {
        kibuDetailStep(d.step - 1, now);
    }
}
