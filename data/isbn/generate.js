// Writes ranges.tsv, the ISBN ranges the program hyphenates by, from the npm package isbn3 (MIT),
// whose groups.js is generated from the International ISBN Agency's RangeMessage.xml.
//   mkdir /tmp/isbn && (cd /tmp/isbn && npm install isbn3@2.0.11)
//   NODE_PATH=/tmp/isbn/node_modules node data/isbn/generate.js data/isbn/ranges.tsv
// One line a registration group: prefix-group TAB agency name TAB first-last,first-last,... of
// its registrant elements (both ends as long as the element).
'use strict';
const fs = require('fs');
const groups = require('isbn3/lib/groups.js');
const version = require('isbn3/package.json').version;
const out = process.argv[2];
if (!out) throw new Error('usage: generate.js OUT.tsv');
const lines = [`# ISBN ranges from isbn3 ${version} (MIT, groups.js from the International ISBN Agency's RangeMessage.xml)`];
for (const [group, { name, ranges }] of Object.entries(groups)) {
  for (const [first, last] of ranges) if (first.length !== last.length) throw new Error(`${group}: ${first}-${last}`);
  lines.push(`${group}\t${name}\t${ranges.map(([a, b]) => `${a}-${b}`).join(',')}`);
}
fs.writeFileSync(out, lines.join('\n') + '\n');
console.log(`${out}: ${lines.length - 1} groups`);
