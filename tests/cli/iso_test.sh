#!/usr/bin/env bash
# rowcaster-cli iso from the outside: the title example, streaming of several work forms,
# refusals on standard error with the exit status.
set -u
cli="$1"
fail=0
check() { if [ "$2" != "$3" ]; then echo "FAIL $1: got [$2] want [$3]"; fail=1; else echo "ok   $1"; fi; }

out=$(printf '200 1  |a书名\r\n801    |aCN\r\n' | "$cli" iso --now 2026-12-05T23:36:00 | od -An -c | tr -s ' \n' ' ')
want=$(printf '00095nam0 22000611  450 001001700000200000900017801000700026\0360020261205233600\0361 \037a\xca\xe9\xc3\xfb\036  \037aCN\036\035' | od -An -c | tr -s ' \n' ' ')
check "title example byte for byte" "$out" "$want"

bytes=$(printf '200 1  |a书名\n801    |aCN\n\n\n200 1  |a书名\r\n801    |aCN\r\n\r\n200 1  |a书名\n801    |aCN' | "$cli" iso --now 2026-12-05T23:36:00 | wc -c)
check "three work forms, LF and CR LF, last without a line end" "$bytes" 285

err=$(printf '200 1  |a一\n801    |aCN\n\n200 1  |a二|\n801    |aCN\n\n200 1  |a三\n801    |aCN\n' | "$cli" iso --now 2026-12-05T23:36:00 2>&1 >/dev/null)
rc=$(printf '200 1  |a一\n801    |aCN\n\n200 1  |a二|\n801    |aCN\n' | "$cli" iso >/dev/null 2>&1; echo $?)
check "failed work form is named on stderr" "${err%%:*}" "work form 2"
check "exit status 1 when a work form fails" "$rc" 1
bytes=$(printf '200 1  |a一\n801    |aCN\n\n200 1  |a二|\n801    |aCN\n\n200 1  |a三\n801    |aCN\n' | "$cli" iso 2>/dev/null | wc -c)
check "the failed form writes nothing, the others are written" "$bytes" 186

# Other encodings and formats: the UTF-8 record of the example is longer by the title's bytes; its
# MARCXML read back by yaz-marcdump is the same record.
bytes=$(printf '200 1  |a书名\r\n801    |aCN\r\n' | "$cli" iso --now 2026-12-05T23:36:00 --encoding utf-8 | wc -c)
check "UTF-8: two more bytes" "$bytes" 97
line=$(printf '200 1  |a书名\r\n801    |aCN\r\n' | "$cli" iso --now 2026-12-05T23:36:00 --encoding utf-8 | yaz-marcdump -f UTF-8 -t UTF-8 /dev/stdin)
xml=$(printf '200 1  |a书名\r\n801    |aCN\r\n' | "$cli" iso --now 2026-12-05T23:36:00 --format marcxml | yaz-marcdump -i marcxml /dev/stdin)
check "MARCXML reads back as the UTF-8 record" "$xml" "$line"
err=$(printf '200 1  |a䶮书\n801    |aCN\n' | "$cli" iso 2>&1 >/dev/null)
check "GBK says what it wrote as ?" "$err" "work form 1: 1 characters written as '?': 䶮"
rc=$("$cli" iso --format marcxml --encoding gbk </dev/null >/dev/null 2>&1; echo $?)
check "MARCXML in GBK is a usage error" "$rc" 2

rc=$("$cli" iso --now 2026-13-01T00:00:00 </dev/null >/dev/null 2>&1; echo $?)
check "bad --now is a usage error" "$rc" 2
rc=$("$cli" frobnicate >/dev/null 2>&1; echo $?)
check "unknown command is a usage error" "$rc" 2
exit $fail
