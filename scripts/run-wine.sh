#!/usr/bin/env bash
# run-wine.sh BUILD_DIR COMMAND...: runs COMMAND (usually ctest) with a Wine
# prefix of the build folder, inside a private X server (tests may open real
# windows). Wine's own services are started before the command so they do not
# inherit (and hold open) the command's output pipes.
set -uo pipefail
build=${1:?usage: run-wine.sh BUILD_DIR COMMAND...}
shift
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" sh -c '
  wineboot -i >/dev/null 2>&1 </dev/null; wineserver -w
  wineserver -p; wine cmd /c exit 0 </dev/null >/dev/null 2>&1
  "$@"; rc=$?
  wineserver -k; exit $rc' run-wine "$@"
