#!/usr/bin/env bash
# Runs a command with DISPLAY naming a private Xvfb server (24-bit colour),
# which goes away with it. The server picks a free display number itself
# (-displayfd), so several of these may run at once. Exits with the
# command's status, or 77 when Xvfb is missing or does not start.
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "with-xvfb: Xvfb is not installed" >&2
  exit 77
fi
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number_file" 2>/dev/null &
server=$!
cleanup() {
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  rm -f "$number_file"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  [ -s "$number_file" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$number_file" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  exit 77
fi
DISPLAY=":$(head -n 1 "$number_file" | tr -d '[:space:]')" "$@"
