// The peer of the .xlsx reading benchmark: SheetJS reads a workbook's first sheet into rows of
// text, as Rowcaster's reader does. Prints the seconds it took (reading and converting only).
//   NODE_PATH=… node sheetjs_read.js FILE
'use strict';
const XLSX = require('xlsx');
const t0 = process.hrtime.bigint();
const wb = XLSX.readFile(process.argv[2], { dense: true });
const rows = XLSX.utils.sheet_to_json(wb.Sheets[wb.SheetNames[0]], { header: 1, raw: false, defval: '' });
const secs = Number(process.hrtime.bigint() - t0) / 1e9;
console.log(`${rows.length} ${secs.toFixed(3)}`);
