// Writes realistic book tables for the benchmarks: Chinese titles and authors with role terms, ISBNs
// of known publishers, prices, years, subjects. Columns are named like the subfields they hold.
//
//   node gen_books.js xls ROWS OUT.xls      (SheetJS, BIFF8)
//   node gen_books.js dbf ROWS OUT.dbf      (DBFFile, dBASE III, GBK)
//   node gen_books.js xlsx ROWS OUT.xlsx    (SheetJS, shared strings)
//   node gen_books.js csv ROWS OUT.csv      (RFC 4180, UTF-8)
'use strict';
const [kind, rowsArg, out] = process.argv.slice(2);
const rows = Number(rowsArg);

let seed = 20261206;
const rnd = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
const pick = (a) => a[Math.floor(rnd() * a.length)];

const words = ['中国', '历史', '银行', '会计', '长江', '重庆', '大学', '音乐', '欣赏', '行政', '管理', '数据', '结构', '程序',
  '设计', '文学', '艺术', '教育', '心理', '研究', '概论', '基础', '现代', '古代', '经济', '发展', '社会', '文化', '传统',
  '故事', '理论', '实践', '方法', '应用', '技术', '科学', '自然', '地理', '西藏', '旅行', '思想', '调查', '报告', '长征',
  '儿童', '少年', '世界', '名著', '诗歌', '散文', '小说', '哲学', '法律', '医学', '护理', '计算机', '网络', '英语'];
const surnames = ['张', '王', '李', '赵', '刘', '陈', '杨', '黄', '曾', '单', '解', '欧阳', '司马', '区', '查', '乐'];
const given = ['国', '华', '明', '芳', '建', '平', '立', '红', '志', '坚', '伟', '军', '丽', '强', '文', '静'];
const roles = ['著', '编著', '主编', '编', '译注', '撰文', ''];
const publishers = [['7-01', '人民出版社', '北京'], ['7-02', '人民文学出版社', '北京'], ['7-301', '北京大学出版社', '北京'],
  ['7-302', '清华大学出版社', '北京'], ['7-5327', '上海译文出版社', '上海'], ['7-5012', '世界知识出版社', '北京'],
  ['7-5355', '湖南人民出版社', '长沙'], ['7-5600', '外语教学与研究出版社', '北京'], ['7-9999', '某某出版社', '某地']];
const subjects = ['中国文学', '经济管理', '计算机科学', '历史研究', '教育心理', '自然科学'];
const classes = ['I247.5', 'F830', 'TP311', 'K20', 'G40', 'N49', 'H31'];

function person() {
  let n = pick(surnames) + pick(given);
  if (rnd() < 0.6) n += pick(given);
  return n;
}
function book(i) {
  const title = Array.from({ length: 2 + Math.floor(rnd() * 4) }, () => pick(words)).join('');
  const people = Array.from({ length: 1 + Math.floor(rnd() * 3) }, () => person());
  const role = pick(roles);
  const authors = people.map((p, k) => (k === 0 || rnd() < 0.3 ? p + role : p)).join(',');
  const [prefix, publisher, place] = pick(publishers);
  const digits = String(1000000 + (i % 9000000)).slice(-(9 - prefix.length + 1));
  const isbn = rnd() < 0.8 ? `978-${prefix}-${digits.slice(0, 4)}-${i % 10}` : `978${prefix.replace('-', '')}${digits}${i % 10}`;
  const year = 1980 + Math.floor(rnd() * 46);
  return {
    '200a': title, '200e': rnd() < 0.3 ? pick(words) + pick(words) : '', '200f': authors, '210a': place,
    '210c': publisher, '210d': rnd() < 0.5 ? `${year}年` : String(year), '010a': isbn,
    '010d': rnd() < 0.7 ? (10 + rnd() * 90).toFixed(2) : `￥${Math.floor(10 + rnd() * 90)}`, '010b': '平装',
    '215a': `${100 + Math.floor(rnd() * 500)}页`, '215d': '24cm', '225a': rnd() < 0.2 ? pick(words) + '丛书' : '',
    '606a': pick(subjects), '690a': pick(classes), '905b': String(10000000 + i), '905d': pick(classes),
    '905e': String(1 + (i % 300)), '330a': `本书介绍${title}的${pick(words)}与${pick(words)}。`, '101a': 'chi',
    '300a': rnd() < 0.1 ? '附光盘一张' : '',
  };
}
const columns = Object.keys(book(0));

if (kind === 'xls' || kind === 'xlsx') {
  const XLSX = require('xlsx');
  const aoa = [columns];
  for (let i = 0; i < rows - 1; i++) {
    const b = book(i);
    aoa.push(columns.map((c) => b[c]));
  }
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet(aoa), 'books');
  XLSX.writeFile(wb, out, kind === 'xls' ? { bookType: 'biff8' } : { bookType: 'xlsx', bookSST: true, compression: true });
} else if (kind === 'csv') {
  const fs = require('fs');
  const quote = (v) => (/[",\r\n]/.test(v) ? `"${v.replace(/"/g, '""')}"` : v);
  const fd = fs.openSync(out, 'w');
  fs.writeSync(fd, columns.join(',') + '\r\n');
  let chunk = [];
  for (let i = 0; i < rows; i++) {
    const b = book(i);
    chunk.push(columns.map((c) => quote(String(b[c]))).join(','));
    if (chunk.length === 10000) {
      fs.writeSync(fd, chunk.join('\r\n') + '\r\n');
      chunk = [];
    }
  }
  if (chunk.length) fs.writeSync(fd, chunk.join('\r\n') + '\r\n');
  fs.closeSync(fd);
} else {
  const { DBFFile } = require('dbffile');
  const sizes = { '200a': 40, '200f': 50, '330a': 80, '210c': 30, '010a': 20 };
  (async () => {
    const fs = require('fs');
    if (fs.existsSync(out)) fs.unlinkSync(out);
    const f = await DBFFile.create(out, columns.map((c) => ({ name: c, type: 'C', size: sizes[c] || 16 })),
      { fileVersion: 0x03, encoding: 'gbk' });
    for (let i = 0; i < rows; i += 20000) {
      const batch = [];
      for (let k = i; k < Math.min(rows, i + 20000); k++) batch.push(book(k));
      await f.appendRecords(batch);
    }
  })();
}
