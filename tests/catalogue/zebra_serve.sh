#!/usr/bin/env bash
# Starts the test catalogue of zebra_lib.sh in DIR with COUNT records for a program that cannot
# source it (the window's tests, the screenshots) and prints "PORT PID"; the caller stops it.
set -u
. "$(dirname "$0")/zebra_lib.sh"
zebra_start "$1" "$2" > /dev/null 2>&1 || exit 1
echo "$zebra_port $zebra_pid"
