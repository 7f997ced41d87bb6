#!/usr/bin/env bash
# What a signed update moves, by the way its files come: two consecutive releases of a real
# third-party Windows library (its DLLs, fetched now from the npm registry) and two builds of
# this project's own files, each published signed and installed by the updater over the
# previous release; beside them, zstd's command line on the same files as the yardstick. Then
# a delta applied to a 100 MiB file; and what a newer updater costs a copy that takes it.
# Prints figures; fails only if an update is wrong.
#   forms_bench.sh WINE_RUN BENCH_EXE WORK_DIR BUILD_DIR
set -euo pipefail
run=$1 bench=$2 work=$3 own=$4
# A quick pass, which only shows the benchmark still runs: no third-party pair, the updater's
# two builds alone, and a file of 4 MiB to apply a delta to.
quick=${TIDEWELL_BENCH_QUICK:-}
rm -rf "$work" && mkdir -p "$work/pairs" "$work/apply"
trap 'rm -rf "$work"' EXIT

# A release of the package, its files flattened into one folder (the updater makes none).
package() {   # name version dir
  local url="https://registry.npmjs.org/$1/-/${1##*/}-$2.tgz" tgz="$work/$2.tgz"
  for try in 1 2 3; do curl -sf --max-time 120 -o "$tgz" "$url" && break || sleep $((try * 5)); done
  [ -s "$tgz" ] || return 1
  mkdir -p "$3" && tar xzf "$tgz" -C "$work" && find "$work/package" -type f -exec mv {} "$3/" \; && rm -rf "$work/package" "$tgz"
}
third=@img/sharp-win32-x64
if [ -n "$quick" ]; then
  :
elif package "$third" 0.33.4 "$work/pairs/sharp/a" && package "$third" 0.33.5 "$work/pairs/sharp/b"; then
  :
else
  echo "forms: the npm registry could not be reached; the third-party pair is left out"
  rm -rf "$work/pairs/sharp"
fi
# This project's files: the updater as one build and as another of other settings (the
# tests' keys and server), the control and the maker's tool unchanged between them.
mkdir -p "$work/pairs/own/a" "$work/pairs/own/b"
cp "$own/updater/Tidewell.exe" "$work/pairs/own/a/Updater.exe"
cp "$own/updater/Tidewell_signed.exe" "$work/pairs/own/b/Updater.exe"
for d in a b; do
  [ -n "$quick" ] || cp "$own/wheel/RotelleCV.ocx" "$own/tools/publish/tidewell-publish.exe" "$work/pairs/own/$d/"
done

# The yardstick: what zstd's command line makes of the files that changed.
for pair in "$work"/pairs/*; do
  whole=0 compressed=0 delta=0 changed=0 all=0
  for f in "$pair"/b/*; do
    n=$(basename "$f") size=$(stat -c %s "$f")
    all=$((all + size))
    cmp -s "$f" "$pair/a/$n" && continue
    changed=$((changed + 1)) whole=$((whole + size))
    compressed=$((compressed + $(zstd -q -19 --long=27 -c "$f" | wc -c)))
    if [ -f "$pair/a/$n" ]; then
      delta=$((delta + $(zstd -q -19 --long=27 --patch-from="$pair/a/$n" -c "$f" | wc -c)))
    else
      delta=$((delta + $(zstd -q -19 --long=27 -c "$f" | wc -c)))
    fi
  done
  echo "forms $(basename "$pair"): $(ls "$pair/b" | wc -l) files of $all bytes, $changed changed ($whole bytes); zstd -19 --long=27 on those: $compressed bytes compressed, $delta bytes as --patch-from deltas"
done

# A 100 MiB file and its next version: a few changes, one block moved.
mib=100 change=5000000 from=10 to=60 moved=2
[ -z "$quick" ] || mib=4 change=1000000 from=1 to=2 moved=1
head -c $((mib << 20)) /dev/urandom > "$work/apply/base"
cp "$work/apply/base" "$work/apply/new"
printf 'a change' | dd of="$work/apply/new" bs=1 seek=$change conv=notrunc status=none
dd if="$work/apply/base" of="$work/apply/new" bs=1M skip=$from seek=$to count=$moved conv=notrunc status=none
zstd -q -3 --long=27 --patch-from="$work/apply/base" "$work/apply/new" -o "$work/apply/delta"

export TIDEWELL_BENCH_WORK="Z:$work"
for t in BytesAndTimeByWay ADeltaAppliedToALargeFile WhatANewerUpdaterCostsACopy; do
  out=$("$run" "$bench" --gtest_filter="FormsBench.$t" 2>&1) || { echo "$out" >&2; exit 1; }
  grep '^forms' <<<"$out"
done
