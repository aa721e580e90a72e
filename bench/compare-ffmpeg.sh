#!/usr/bin/env bash
# Side-by-side timing of kinolite-cli and ffmpeg (single-threaded) doing the same work on
# the same input in one run; prints both times and the ratio ours / ffmpeg.
#
#   bench/compare-ffmpeg.sh MODE [BUILD_DIR]
#
# Modes are added as the subsystems they measure land.
set -euo pipefail
mode=${1:-}
build=${2:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$root/$build/cli/kinolite-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# seconds MIN-OF-N COMMAND...: best wall time of three runs, in seconds.
seconds() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    best=$(python3 -c "a='$best'; d=$t1-$t0; print(d if a=='' else min(float(a), d))")
  done
  echo "$best"
}

report() {  # report NAME OURS FFMPEG
  python3 -c "print('%-8s kinolite %.3f s   ffmpeg %.3f s   ratio %.2f' % ('$1', $2, $3, $2 / $3))"
}

case "$mode" in
  *)
    echo "usage: bench/compare-ffmpeg.sh MODE [BUILD_DIR]" >&2
    exit 2
    ;;
esac
