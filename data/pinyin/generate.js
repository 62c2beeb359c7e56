#!/usr/bin/env node
// Generates pinyin.dat, the dictionary of Rowcaster's pinyin engine, from the npm packages
// pinyin-pro (MIT) and @pinyin-pro/data (ISC), plus extra-phrases.tsv of this folder.
//
//   mkdir /tmp/py && cd /tmp/py && npm install pinyin-pro@3.29.4 @pinyin-pro/data@1.3.1
//   NODE_PATH=/tmp/py/node_modules node data/pinyin/generate.js data/pinyin/pinyin.dat
//
// File layout (little-endian), read by src/platform/pinyin/PinyinEngine.cpp:
//   "RCPY" u32 version=1
//   u32 nSyllables, then each syllable as UTF-8 ending with NUL (toneless, lower case, ü kept)
//   u32 nChars; per char: u32 codepoint, u32 firstReading, u8 nReadings   (sorted by codepoint)
//   u32 nReadings; u16 syllable per reading (a char's default reading first)
//   u32 nFolds; per fold: u16 char, u16 simplified char (traditional → simplified, for phrases)
//   two phrase tables, words then surnames, each:
//     u32 nPhrases, u32 nKeyChars; u8 length per phrase; u16 cost per phrase (−ln p × 100);
//     u16 char per key char; u8 reading index per key char     (phrases sorted by their chars)
'use strict';
const fs = require('fs');
const path = require('path');
const { pinyin, polyphonic } = require('pinyin-pro');
const complete = require('@pinyin-pro/data/complete.json');
const traditional = require('@pinyin-pro/data/traditional.json');

const out = process.argv[2] || path.join(__dirname, 'pinyin.dat');

function toneless(s) {
  return s.normalize('NFD').replace(/[\u0300\u0301\u0304\u030C]/g, '').normalize('NFC').toLowerCase();
}
const chars = (s) => [...s];

// --- syllables ---
const syllables = [];
const syllableId = new Map();
function sid(s) {
  if (!syllableId.has(s)) { syllableId.set(s, syllables.length); syllables.push(s); }
  return syllableId.get(s);
}

// --- characters: default reading first, then every other reading ---
const ranges = [[0x3007, 0x3007], [0x3400, 0x4DBF], [0x4E00, 0x9FFF], [0xF900, 0xFAFF], [0x20000, 0x2EBEF], [0x30000, 0x3134F]];
const charReadings = new Map();  // codepoint -> [syllable strings]
for (const [lo, hi] of ranges) {
  for (let cp = lo; cp <= hi; ++cp) {
    const ch = String.fromCodePoint(cp);
    let def = toneless(pinyin(ch, { toneType: 'none' }));
    if (def === ch || !/^[a-zêüḿńň]+$/u.test(def)) continue;
    const entry = complete[ch];  // the dictionary's own single-character reading wins
    if (entry) {
      const r = toneless(Array.isArray(entry) ? entry[0] : entry);
      if (/^[a-zêü]+$/u.test(r)) def = r;
    }
    const list = [def];
    for (const r of (polyphonic(ch, { toneType: 'none', type: 'array' })[0] || [])) {
      const t = toneless(r);
      if (/^[a-zêü]+$/u.test(t) && !list.includes(t)) list.push(t);
    }
    charReadings.set(cp, list);
  }
}
// Our own additions: phrases, and single characters whose usual reading the dictionary has wrong
// (伯 bo, not bai: 伯父, 伯乐, and given names such as 马伯庸).
const extras = [];
for (const line of fs.readFileSync(path.join(__dirname, 'extra-phrases.tsv'), 'utf8').split('\n')) {
  if (!line.trim() || line.startsWith('#')) continue;
  const [text, reading, prob] = line.split('\t');
  extras.push([text, reading, Number(prob || 1e-9)]);
  if (chars(text).length !== 1 || !charReadings.has(text.codePointAt(0))) continue;
  const list = charReadings.get(text.codePointAt(0));
  const usual = toneless(reading.trim());
  list.splice(0, list.length, usual, ...list.filter((r) => r !== usual));
}

function readingIndex(cp, syl) {
  const list = charReadings.get(cp);
  let k = list.indexOf(syl);
  if (k < 0) { list.push(syl); k = list.length - 1; }
  return k;
}

// --- phrases: the full dictionary with probabilities, then our own additions ---
function phrases(entries) {
  const result = new Map();  // text -> {cost, sel[]}
  for (const [text, reading, prob] of entries) {
    const cs = chars(text);
    const syls = toneless(reading).split(/\s+/).filter(Boolean);
    if (cs.length !== syls.length || cs.length > 255) continue;
    if (!cs.every((c) => charReadings.has(c.codePointAt(0)))) continue;
    if (!syls.every((s) => /^[a-zêü]+$/u.test(s))) continue;
    const cost = Math.max(0, Math.min(65535, Math.round(-Math.log(prob) * 100)));
    result.set(text, { cost, syls });
  }
  return result;
}
const wordEntries = Object.entries(complete).map(([k, v]) => Array.isArray(v) ? [k, v[0], v[1] || 1e-12] : [k, v, 1e-12]);
wordEntries.push(...extras);
const words = phrases(wordEntries);

// Surnames: the surname table inside pinyin-pro (single and compound surnames with the reading
// they take as a surname).
const bundle = fs.readFileSync(require.resolve('pinyin-pro'), 'utf8');
const start = bundle.indexOf('={"南宫"');
const end = bundle.indexOf('},', start);
if (start < 0 || end < 0) throw new Error('surname table not found in this pinyin-pro version');
const surnameTable = JSON.parse(bundle.slice(start + 1, end + 1));
if (Object.keys(surnameTable).length < 400) throw new Error('surname table looks wrong');
// Full names read whole in name mode, as if they were one long surname (柏杨 bo yang, whose 柏
// alone is the surname bai): extra-names.tsv of this folder.
const surnameEntries = Object.entries(surnameTable).map(([k, v]) => [k, v, 1]);
for (const line of fs.readFileSync(path.join(__dirname, 'extra-names.tsv'), 'utf8').split('\n')) {
  if (!line.trim() || line.startsWith('#')) continue;
  const [text, reading] = line.split('\t');
  surnameEntries.push([text, reading, 1]);
}
const surnames = phrases(surnameEntries);

// Traditional → simplified, used only to find phrases written in traditional characters.
const folds = [];
for (const [t, s] of Object.entries(traditional)) {
  const tc = t.codePointAt(0), sc = s.codePointAt(0);
  if (chars(t).length === 1 && chars(s).length === 1 && charReadings.has(tc) && charReadings.has(sc) && tc !== sc) folds.push([tc, sc]);
}

// --- numbering and writing ---
const cps = [...charReadings.keys()].sort((a, b) => a - b);
const charId = new Map(cps.map((cp, i) => [cp, i]));
if (cps.length > 65535) throw new Error('too many characters for 16-bit ids');

function phraseTable(map) {
  const list = [...map.entries()].map(([text, v]) => {
    const cs = chars(text).map((c) => c.codePointAt(0));
    return { ids: cs.map((cp) => charId.get(cp)), sel: cs.map((cp, i) => readingIndex(cp, v.syls[i])), cost: v.cost };
  });
  list.sort((a, b) => {
    for (let i = 0; i < Math.min(a.ids.length, b.ids.length); ++i) if (a.ids[i] !== b.ids[i]) return a.ids[i] - b.ids[i];
    return a.ids.length - b.ids.length;
  });
  return list;
}
const wordTable = phraseTable(words);
const surnameList = phraseTable(surnames);

const parts = [];
const u8 = (v) => { const b = Buffer.alloc(1); b.writeUInt8(v); parts.push(b); };
const u16 = (v) => { const b = Buffer.alloc(2); b.writeUInt16LE(v); parts.push(b); };
const u32 = (v) => { const b = Buffer.alloc(4); b.writeUInt32LE(v); parts.push(b); };
const u16s = (arr) => { const b = Buffer.alloc(arr.length * 2); arr.forEach((v, i) => b.writeUInt16LE(v, i * 2)); parts.push(b); };
const u8s = (arr) => { parts.push(Buffer.from(arr)); };

parts.push(Buffer.from('RCPY'));
u32(1);
// Every reading gets its syllable id before the syllable list is written.
const readingSyl = [];
const charRecords = cps.map((cp) => {
  const first = readingSyl.length;
  for (const s of charReadings.get(cp)) readingSyl.push(sid(s));
  return [cp, first, charReadings.get(cp).length];
});
u32(syllables.length);
for (const s of syllables) parts.push(Buffer.from(s + '\0', 'utf8'));
u32(cps.length);
for (const [cp, first, n] of charRecords) { u32(cp); u32(first); u8(n); }
u32(readingSyl.length);
u16s(readingSyl);
u32(folds.length);
for (const [t, s] of folds) { u16(charId.get(t)); u16(charId.get(s)); }
for (const table of [wordTable, surnameList]) {
  const keyChars = table.reduce((n, p) => n + p.ids.length, 0);
  u32(table.length);
  u32(keyChars);
  u8s(table.map((p) => p.ids.length));
  u16s(table.map((p) => p.cost));
  u16s(table.flatMap((p) => p.ids));
  u8s(table.flatMap((p) => p.sel));
}
fs.writeFileSync(out, Buffer.concat(parts));
console.log(`${out}: ${syllables.length} syllables, ${cps.length} characters, ${wordTable.length} phrases, ` +
            `${surnameList.length} surnames, ${folds.length} traditional folds`);
