#!/usr/bin/env bash
# GIF decoding benchmark (a benchmark, not a test; run it on a quiet machine): a 4000 x 3000
# picture and a 200-frame 640 x 480 animation, written at bench time by giflib's encoder,
# decoded in memory by the installer's decoder and by giflib, alternating, ROUNDS times each.
# Prints median ms, MPix/s and the throughput ratio (ours / giflib; above 1 is faster).
# Then the hostile files of gif_hostile (megabytes of codes after a 1 x 1 image, millions of
# empty comments, 200,000 frames with local tables): their times should be those of their
# pixels, and the peak memory of reading each with veltra-gifinfo a small multiple of its size.
#   bench/gif/run.sh        ROUNDS=7 NATIVE=build/native
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=${NATIVE:-$root/build/native}
rounds=${ROUNDS:-7}
make=$native/bench/gif/gif_make bench=$native/bench/gif/gif_bench
hostile=$native/bench/gif/gif_hostile info=$native/tools/veltra-gifinfo
for f in "$make" "$bench" "$hostile" "$info"; do
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

printf '\nhostile file\tbytes\tours ms\tgiflib ms\tpeak KB reading it\n'
for kind in long-codes long-codes-interlaced comments frames; do
  "$hostile" "$kind" "$work/$kind.gif"
  row=$("$bench" "$work/$kind.gif" "$rounds")
  peak=-  # GNU time (Debian's "time") measures it when present
  [[ -x /usr/bin/time ]] && peak=$( { /usr/bin/time -f %M "$info" "$work/$kind.gif" >/dev/null; } 2>&1)
  printf '%s\t%s\t%s\t%s\t%s\n' "$kind" "$(stat -c %s "$work/$kind.gif")" \
    "$(cut -f3 <<<"$row")" "$(cut -f4 <<<"$row")" "$peak"
  rm -f "$work/$kind.gif"
done
