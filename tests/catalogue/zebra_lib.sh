# Sourced by the copy cataloguing test and benchmark: a Zebra catalogue of generated UNIMARC
# records, CNUTF8 (UTF-8) and CNGBK (GBK), served by zebrasrv on a free loopback port.
#   zebra_start DIR COUNT   sets zebra_port and zebra_pid; the server is stopped by zebra_stop
# The helpers: helper_start MODE ARGS… sets helper_port (see tcp_helper.py), helper_pids collects.
catalogue_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
helper_pids=""

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

zebra_start() {
  local dir="$1" count="$2"
  mkdir -p "$dir/reg"
  cp "$catalogue_dir"/zebra/* "$dir/"
  python3 "$catalogue_dir/make_catalogue.py" "$count" utf-8 "$dir/utf8.iso" --table "$dir/books.tsv"
  python3 "$catalogue_dir/make_catalogue.py" "$count" gbk "$dir/gbk.iso"
  (cd "$dir" && zebraidx -c zebra.cfg -d CNUTF8 update utf8.iso && \
    zebraidx -c zebra.cfg -t grs.marc.unimarcgbk -d CNGBK update gbk.iso) > "$dir/zebraidx.log" 2>&1 || return 1
  local try
  for try in 1 2 3; do
    zebra_port=$(free_port)
    sed "s/LISTEN/tcp:127.0.0.1:$zebra_port/" "$catalogue_dir/zebra/yazgfs.xml" > "$dir/yazgfs.xml"
    (cd "$dir" && exec zebrasrv -f yazgfs.xml -l zebrasrv.log) &
    zebra_pid=$!
    local wait
    for wait in $(seq 50); do
      if (exec 3<>"/dev/tcp/127.0.0.1/$zebra_port") 2>/dev/null; then return 0; fi
      kill -0 "$zebra_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$zebra_pid" 2>/dev/null
  done
  return 1
}

zebra_stop() { [ -n "${zebra_pid:-}" ] && kill "$zebra_pid" 2>/dev/null; wait "$zebra_pid" 2>/dev/null; }

helper_start() {
  local portfile
  portfile=$(mktemp -u)
  python3 "$catalogue_dir/tcp_helper.py" "$1" "$portfile" "${@:2}" &
  helper_pids="$helper_pids $!"
  local wait
  for wait in $(seq 50); do
    [ -s "$portfile" ] && break
    sleep 0.1
  done
  helper_port=$(cat "$portfile")
  rm -f "$portfile"
}

helpers_stop() {
  local p
  for p in $helper_pids; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  helper_pids=""
}
