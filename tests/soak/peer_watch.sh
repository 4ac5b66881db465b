#!/usr/bin/env bash
# peer_watch.sh start|stop STATE_DIR COM_A COM_B
# A pseudo-terminal pair (tests/serial/pty_pair.sh) that a Windows test can
# take away and bring back while it runs: the test creates STATE_DIR/req-kill
# or STATE_DIR/req-start, and a watcher started here kills the pair's socat
# (SIGKILL: the peer vanishes, nothing is flushed) or starts a new pair, then
# creates done-kill or done-start.  The watcher ends on stop, and on its own
# after 30 minutes.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
pair=$here/../serial/pty_pair.sh
action=${1:?start or stop}
state=${2:?state folder}
a=${3:?first COM number}
b=${4:?second COM number}

stop_watcher() {
  if [ -f "$state/watch.pid" ]; then
    pid=$(cat "$state/watch.pid")
    if kill -0 "$pid" 2>/dev/null && grep -q peer_watch "/proc/$pid/cmdline" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
    fi
    rm -f "$state/watch.pid"
  fi
  bash "$pair" stop "$state/pair" "$a" "$b" >/dev/null 2>&1 || true
  rm -f "$state"/req-* "$state"/done-*
}

case $action in
start)
  stop_watcher
  mkdir -p "$state"
  bash "$pair" start "$state/pair" "$a" "$b"
  setsid bash "$0" watch "$state" "$a" "$b" </dev/null >"$state/watch.log" 2>&1 &
  echo $! >"$state/watch.pid"
  ;;
watch)
  end=$((SECONDS + 1800))
  while [ $SECONDS -lt $end ]; do
    if [ -e "$state/req-kill" ]; then
      rm -f "$state/req-kill"
      pid=$(cat "$state/pair/socat.pid" 2>/dev/null || echo)
      if [ -n "$pid" ] && grep -q socat "/proc/$pid/cmdline" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null || true
        for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.01; done
      fi
      echo "killed socat $pid"
      touch "$state/done-kill"
    fi
    if [ -e "$state/req-start" ]; then
      rm -f "$state/req-start"
      bash "$pair" start "$state/pair" "$a" "$b" || true
      touch "$state/done-start"
    fi
    sleep 0.02
  done
  ;;
stop)
  stop_watcher
  ;;
*)
  echo "peer_watch: unknown action $action" >&2
  exit 2
  ;;
esac
