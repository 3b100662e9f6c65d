#!/usr/bin/env bash
# level-report.sh FILE...: peak and RMS of each file in dBFS (sox).
set -euo pipefail
for f in "$@"; do
  stats=$(sox "$f" -n stats 2>&1)
  peak=$(awk '/^Pk lev dB/ {print $4}' <<<"$stats")
  rms=$(awk '/^RMS lev dB/ {print $4}' <<<"$stats")
  printf '%-28s peak %7s dBFS   RMS %7s dBFS\n' "$(basename "$f")" "$peak" "$rms"
done
