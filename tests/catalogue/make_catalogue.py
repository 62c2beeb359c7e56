#!/usr/bin/env python3
"""Writes COUNT CIP-like UNIMARC records (ISO 2709) in utf-8 or gbk to OUT, and, with --table,
a tab-separated list of what each holds (isbn, title, author, publisher, year, price).
Record n has the ISBN 978-7-5327-NNNN-C (n from 1)."""
import sys

A = ["长河", "星空", "江南", "古道", "晨光", "秋水", "山海", "书院", "田野", "城市",
     "人间", "岁月", "故乡", "远方", "春风", "大地", "灯火", "云端", "林间", "海岸"]
B = ["笔记", "往事", "纪事", "随笔", "简史", "研究", "漫谈", "诗选", "文集", "评传"]
SURNAMES = "王李张刘陈杨黄赵吴周"
GIVEN = ["明", "芳", "伟", "静", "强", "丽", "军", "敏", "杰", "洁"]
PUBLISHERS = [("上海", "上海译文出版社"), ("北京", "人民文学出版社"), ("南京", "译林出版社")]


def isbn(n):
    twelve = "97875327%04d" % n
    check = (10 - sum((3 if i % 2 else 1) * int(d) for i, d in enumerate(twelve)) % 10) % 10
    return "978-7-5327-%04d-%d" % (n, check)


def book(n):
    title = A[n % len(A)] + B[(n // len(A)) % len(B)] + ("" if n < 200 else "续编")
    if n == 7:
        title = "漢語語法"  # traditional characters in the catalogue
    author = SURNAMES[n % 10] + GIVEN[(n // 10) % 10]
    place, publisher = PUBLISHERS[n % 3]
    year = 2000 + n % 24
    return {"isbn": isbn(n), "title": title, "author": author, "place": place, "publisher": publisher,
            "year": str(year), "price": "CNY%d.00" % (20 + n % 50), "subject": B[n % len(B)],
            "class": "I247.%d" % (n % 10)}


def record(n, charset):
    b = book(n)
    fields = [
        ("001", "CAT%06d" % n),
        ("005", "20240101120000.0"),
        ("010", "  \x1fa" + b["isbn"] + ("" if n % 5 == 0 else "\x1fd" + b["price"])),
        ("100", "  \x1fa20240101d%s    em y0chiy50      ea" % b["year"]),
        ("101", "0 \x1fachi"),
        ("200", "1 \x1fa" + b["title"] + "\x1ff" + b["author"] + "著"),
        ("210", "  \x1fa" + b["place"] + "\x1fc" + b["publisher"] + "\x1fd" + b["year"]),
        ("215", "  \x1fa%d页\x1fd21cm" % (100 + n)),
        ("330", "  \x1fa本书讲述" + b["title"] + "的故事。"),
        ("606", "0 \x1fa" + b["subject"] + "\x1fx研究"),
        ("690", "  \x1fa" + b["class"] + "\x1fv5"),
        ("701", " 0\x1fa" + b["author"] + "\x1f4著"),
        ("801", " 0\x1faCN\x1fbCATLIB\x1fc20240101"),
    ]
    directory, data = b"", b""
    for tag, body in fields:
        raw = (body + "\x1e").encode(charset)
        directory += tag.encode() + b"%04d%05d" % (len(raw), len(data))
        data += raw
    base = 24 + len(directory) + 1
    length = base + len(data) + 1
    leader = b"%05dnam0 22%05d   450 " % (length, base)
    return leader + directory + b"\x1e" + data + b"\x1d"


def main():
    count, charset, out = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    with open(out, "wb") as f:
        for n in range(1, count + 1):
            f.write(record(n, charset))
    if len(sys.argv) > 5 and sys.argv[4] == "--table":
        with open(sys.argv[5], "w", encoding="utf-8") as t:
            for n in range(1, count + 1):
                b = book(n)
                t.write("\t".join([b["isbn"], b["title"], b["author"], b["publisher"], b["year"], b["price"]]) + "\n")


main()
