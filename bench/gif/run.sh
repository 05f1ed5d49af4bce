#!/usr/bin/env bash
# GIF decoding benchmark (a benchmark, not a test; run it on a quiet machine): a 4000 x 3000
# picture and a 200-frame 640 x 480 animation, written at bench time by giflib's encoder,
# decoded in memory by the installer's decoder and by giflib, alternating, ROUNDS times each.
# Prints median ms, MPix/s and the throughput ratio (ours / giflib; above 1 is faster).
#   bench/gif/run.sh        ROUNDS=7 NATIVE=build/native
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=${NATIVE:-$root/build/native}
rounds=${ROUNDS:-7}
make=$native/bench/gif/gif_make bench=$native/bench/gif/gif_bench
for f in "$make" "$bench"; do
  [[ -x "$f" ]] || { echo "build the native tree with libgif-dev installed first" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make" still "$work/still-4000x3000.gif"
"$make" anim "$work/anim-200x640x480.gif"
printf 'file\tpixels\tours ms\tgiflib ms\tours MPix/s\tgiflib MPix/s\tratio\n'
for f in still-4000x3000 anim-200x640x480; do
  "$bench" "$work/$f.gif" "$rounds" | sed "s|^$work/||"
done
