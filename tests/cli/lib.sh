# Sourced by the script tests: a scratch folder $work removed at exit, check NAME GOT WANT, and
# finish NAME, which says whether all passed and exits with the status.
# The program's own language (Chinese) whatever the caller's locale: the message language is
# Chinese on a C locale; a check that wants English sets LANGUAGE=en for its command.
export LANGUAGE=zh_CN
export LC_ALL=C.UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() { if [ "$2" != "$3" ]; then echo "FAIL $1: got [$2] want [$3]"; fail=1; else echo "ok   $1"; fi; }
finish() {
  [ $fail = 0 ] && echo "$1: all passed"
  exit $fail
}
