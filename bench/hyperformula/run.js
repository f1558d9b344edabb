// The peer of SheetBench: the same workload in HyperFormula, timed the same way.
// Rows i = 1..N: A = i; B = A*2+1; C = IF(MOD(A,3)=0,B,-B); D = D(i-1)+C (D1 = C1);
// E = SUM(A(i-9):Ai), clipped at row 1.
// Usage: node run.js N
// Prints {"build_ms", "edit_ms", "full_ms", "d_first", "d_edit", "e_last"}.
'use strict';
const { HyperFormula } = require('hyperformula');

const n = Number(process.argv[2]);
const rows = [];
for (let i = 1; i <= n; ++i) {
  rows.push([
    i,
    `=A${i}*2+1`,
    `=IF(MOD(A${i},3)=0,B${i},-B${i})`,
    i === 1 ? '=C1' : `=D${i - 1}+C${i}`,
    `=SUM(A${Math.max(1, i - 9)}:A${i})`,
  ]);
}
const ms = (start) => Number(process.hrtime.bigint() - start) / 1e6;
const value = (hf, col, row) => hf.getCellValue({ sheet: 0, col, row });

let t = process.hrtime.bigint();
const hf = HyperFormula.buildFromArray(rows, { licenseKey: 'gpl-v3', maxRows: Math.max(n, 40000) });
const buildMs = ms(t);
const dFirst = value(hf, 3, n - 1);

t = process.hrtime.bigint();
hf.setCellContents({ sheet: 0, col: 0, row: 0 }, [[1000]]);
const dEdit = value(hf, 3, n - 1);
const editMs = ms(t);

t = process.hrtime.bigint();
hf.rebuildAndRecalculate();
const fullMs = ms(t);

console.log(JSON.stringify({
  build_ms: buildMs, edit_ms: editMs, full_ms: fullMs,
  d_first: dFirst, d_edit: dEdit, e_last: value(hf, 4, n - 1),
}));
