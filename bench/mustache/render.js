// The peer of HtmlBench: renders a template over JSON data with mustache.js,
// timed as the library's renderer is timed (data read and template parsed
// untimed, the first render on its own, then warm-ups and 20 timed renders).
// Usage: node render.js TEMPLATE DATA.json OUT.html
// Prints {"first_ms": ..., "median_ms": ...} and writes the page to OUT.html.
'use strict';
const fs = require('fs');
const Mustache = require('mustache');

const [templatePath, dataPath, outPath] = process.argv.slice(2);
const template = fs.readFileSync(templatePath, 'utf8');
const data = JSON.parse(fs.readFileSync(dataPath, 'utf8'));
Mustache.parse(template);

const ms = (start) => Number(process.hrtime.bigint() - start) / 1e6;

let t = process.hrtime.bigint();
let out = Mustache.render(template, data);
const first = ms(t);
for (let i = 0; i < 2; ++i)
  out = Mustache.render(template, data);

const times = [];
for (let i = 0; i < 20; ++i) {
  t = process.hrtime.bigint();
  out = Mustache.render(template, data);
  times.push(ms(t));
}
times.sort((a, b) => a - b);
fs.writeFileSync(outPath, out, 'utf8');
console.log(JSON.stringify({ first_ms: first, median_ms: (times[9] + times[10]) / 2 }));
