#!/usr/bin/env bash
# pty_pair.sh start|stop STATE_DIR COM_A COM_B
# start: links two pseudo-terminals with socat (a null-modem cable without
# hardware) and maps them into the Wine prefix as COM_A and COM_B
# (dosdevices/comN), so that Windows programs open them as \\.\COMn.
# stop: ends that socat and removes the links.  The prefix is the one
# scripts/wine uses (WINEPREFIX, else build/wineprefix).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
action=${1:?start or stop}
state=${2:?state folder}
a=${3:?first COM number}
b=${4:?second COM number}
# scripts/wine --env sets up the prefix when it is missing and prints it.
eval "$("$here/../../scripts/wine" --env)"
dos=$WINEPREFIX/dosdevices

stop() {
  if [ -f "$state/socat.pid" ]; then
    pid=$(cat "$state/socat.pid")
    # Only our own socat: the pid file may be older than a reboot.
    if kill -0 "$pid" 2>/dev/null && grep -q socat "/proc/$pid/cmdline" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -f "$state/socat.pid"
  fi
  rm -f "$dos/com$a" "$dos/com$b" "$state/ttyA" "$state/ttyB"
}

case $action in
start)
  stop
  mkdir -p "$state" "$dos"
  # raw, no echo: bytes pass unchanged in both directions, NUL and XON/XOFF
  # included.  setsid and closed descriptors: ctest must not wait for it.
  setsid socat "pty,raw,echo=0,link=$state/ttyA" "pty,raw,echo=0,link=$state/ttyB" \
    </dev/null >"$state/socat.log" 2>&1 &
  echo $! >"$state/socat.pid"
  for _ in $(seq 1 100); do
    [ -e "$state/ttyA" ] && [ -e "$state/ttyB" ] && break
    sleep 0.05
  done
  if ! [ -e "$state/ttyA" ] || ! [ -e "$state/ttyB" ]; then
    echo "pty_pair: socat made no pseudo-terminals:" >&2
    cat "$state/socat.log" >&2
    stop
    exit 1
  fi
  ln -sfn "$(readlink "$state/ttyA")" "$dos/com$a"
  ln -sfn "$(readlink "$state/ttyB")" "$dos/com$b"
  echo "pty_pair: COM$a = $(readlink "$dos/com$a"), COM$b = $(readlink "$dos/com$b")"
  ;;
stop)
  stop
  ;;
*)
  echo "pty_pair: unknown action $action" >&2
  exit 2
  ;;
esac
