// The page's modules share names through the window: each lists what it
// offers in an "exported" comment and what it takes from the others in a
// "global" comment, which ESLint trusts. This check holds the lists to the
// code: every name taken is offered by another module (or the browser's
// web channel), and every name offered is defined at the module's top.
//   node shared-names.js MODULE.js ...
/* eslint-env node */
"use strict";
const fs = require("fs");
const path = require("path");

const fromChannel = new Set(["QWebChannel", "qt"]);
const listed = (text, kind) => [...text.matchAll(new RegExp("/\\*\\s*" + kind + "\\s([^*]*)\\*/", "g"))]
    .flatMap(m => m[1].split(/[\s,]+/).filter(Boolean));
const modules = process.argv.slice(2).map(file => {
    const text = fs.readFileSync(file, "utf8");
    return { name: path.basename(file), text, offers: listed(text, "exported"), takes: listed(text, "global") };
});
const problems = [];
const offeredBy = new Map();
for (const m of modules)
    for (const name of m.offers) {
        if (!new RegExp("^(function|const|let) " + name + "\\b", "m").test(m.text))
            problems.push(`${m.name} offers ${name} but defines no such name at its top`);
        offeredBy.set(name, m.name);
    }
for (const m of modules)
    for (const name of m.takes)
        if (!fromChannel.has(name) && (!offeredBy.has(name) || offeredBy.get(name) === m.name))
            problems.push(`${m.name} takes ${name}, which no other module offers`);
if (modules.length === 0)
    problems.push("no modules given");
for (const p of problems)
    console.error(p);
process.exit(problems.length ? 1 : 0);
