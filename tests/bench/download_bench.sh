#!/usr/bin/env bash
# Throughput of telechargefichier against the plainest loop over the platform's own stack (one
# synchronous request, 256 KiB reads straight to the file) and against curl, fetching the same
# generated files from the same local HTTPS server in the same run: 200 MiB as fast as loopback
# goes, and 100 MiB over a link of 40 MiB/s; eight rounds of the four, each ratio the median of
# the rounds' own (on this machine the best of a few is whichever contender had a lucky run),
# the destination new each time (replacing an existing file adds the copy of its backup, which
# is not the network's), each download in a process that has fetched a page first, as a run has before its downloads: the
# platform's TLS set-up, a fifth of a second under Wine, is paid once per process. Then
# the downloading process's peak memory for 200 MiB and for 20 MiB; the time to give up on
# servers that fall silent, drip just fast enough to beat every single wait, or send a byte at
# a time, against the build's bounds; and a signed run's download (hashed as it streams)
# against the plain one. Prints figures; fails only if a download is wrong.
# With TIDEWELL_BENCH_QUICK set, one round of each on files of 1 MiB and one give-up: a pass
# that shows the benchmark still runs, whose figures mean nothing.
#   download_bench.sh WINE_RUN PROBE_EXE CERT_DIR SERVER WORK_DIR TIMEOUT_SECONDS
set -euo pipefail
shopt -s inherit_errexit   # a download that fails inside $(...) ends the benchmark too
run=$1 probe=$2 certs=$3 server=$4 work=$5 bound=$6
quick=${TIDEWELL_BENCH_QUICK:-}
big=big.bin big_mib=200 link=link.bin link_mib=100 small=small.bin round_list="0 1 2 3 4 5 6 7" hashed_rounds="1 2 3 4 5"
[ -z "$quick" ] || big=tiny.bin big_mib=1 link=tiny-link.bin link_mib=1 small=tiny.bin round_list=0 hashed_rounds=1
mkdir -p "$work"
hog=
trap 'rm -f "$work"/*.bin; [ -z "$hog" ] || kill "$hog" 2>/dev/null || true' EXIT

median() { awk 'NF { print $1 }' | sort -g | awk '{ v[NR] = $1 } END { if (!NR) exit 1; print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
curl_get() {   # path -> seconds
  curl -sS --fail --cacert "$certs/ca.pem" -o "$work/curl.bin" -w '%{time_total}\n' "$server/bench/$1"
}
probe_run() {   # [--bare|--bare-flushed] path file [size sha256] -> "seconds peak-bytes cpu-seconds"
  local bare=()
  case $1 in --bare*) bare=("$1"); shift ;; esac
  local out
  rm -f "$work/$2"
  out=$("$run" "$probe" --after "$server/bonjour.txt" "${bare[@]}" "$server/bench/$1" "Z:$work/$2" "${@:3}" || true)   # exit code = result
  grep -q "^result 1 " <<<"$out" || { echo "download of $1 failed: $out" >&2; exit 1; }
  awk '{print $4, $6, $10}' <<<"$out"
}
compare() {   # path MiB label -> prints the line, leaves the peak in $peak
  local rounds="" round who
  # Each contender takes each place in a round twice, and comes right after each other one
  # equally often: the download after one that left 200 MiB for the kernel to write back,
  # or after a pause, is not always the same one's.
  local orders=("curl bare probe flushed" "bare flushed curl probe" "flushed probe bare curl" "probe curl flushed bare")
  for round in $round_list; do
    local -A s=()
    for who in ${orders[round % 4]}; do
      case $who in
        curl) s[$who]=$(curl_get "$1") ;;
        bare) s[$who]=$(probe_run --bare "$1" bare.bin | cut -d' ' -f1,3) ;;
        flushed) s[$who]=$(probe_run --bare-flushed "$1" bare.bin | cut -d' ' -f1,3) ;;
        probe) s[$who]=$(probe_run "$1" probe.bin | cut -d' ' -f1,3) ;;
      esac
    done
    rounds+="${s[curl]} ${s[bare]} ${s[flushed]} ${s[probe]}"$'\n'
    cmp -s "$work/curl.bin" "$work/probe.bin" || { echo "the two downloads of $1 differ" >&2; exit 1; }
    cmp -s "$work/curl.bin" "$work/bare.bin" || { echo "the plainest loop's download of $1 differs" >&2; exit 1; }
  done
  peak=$(probe_run "$1" probe.bin | cut -d' ' -f2)
  # Columns: curl; the plainest loop, flushed or not, and telechargefichier, each in seconds and
  # processor seconds. The ratios are the medians of each round's own ratio: this machine's
  # pace changes by a fifth from one round to the next, and both contenders of a round meet
  # the same pace. Processor time is where work of the updater's own between reads would
  # show; here it follows the clock's pace, so it is no steadier a figure.
  of() { printf %s "$rounds" | awk "NF { print $1 }" | median; }
  # One assignment a line: a line of several has the status of its last one only.
  local c t b f rb rf rc tp rp
  c=$(of '$1')
  b=$(of '$2')
  f=$(of '$4')
  t=$(of '$6')
  tp=$(of '$7')
  rb=$(of '$2 / $6')
  rf=$(of '$4 / $6')
  rc=$(of '$1 / $6')
  rp=$(of '$3 / $7')
  awk -v c="$c" -v t="$t" -v b="$b" -v f="$f" -v rb="$rb" -v rf="$rf" -v rc="$rc" -v tp="$tp" -v rp="$rp" -v mib="$2" -v label="$3" 'BEGIN {
    printf "telechargefichier, %s: %d MiB in %.2f s (%.0f MiB/s, %.2f s of processor time); the platform'"'"'s plainest loop %.2f s, ratio %.2f (of processor time %.2f), and with the flush to the disk that a download needs before it replaces a file %.2f s, ratio %.2f (target >= 0.95 at full speed); curl %.2f s, ratio %.2f (target >= 0.9 over the link)\n",
      label, mib, t, mib / t, tp, b, rb, rp, f, rf, c, rc }'
}

# This machine's idle cores are slow to wake, and under Wine every read makes round trips to
# its server, each of which may wait for one: at full speed the same download takes either
# about half a second or up to four times that, from run to run. With a busy loop keeping a
# core awake it no longer waits; both are printed.
awake() {   # command... -> runs it with a busy loop beside it, which ends by itself if orphaned
  timeout 300 sh -c 'while :; do :; done' &
  hog=$!
  "$@"
  kill "$hog" 2>/dev/null || true
  wait "$hog" 2>/dev/null || true
  hog=
}
compare "$big" "$big_mib" "loopback at full speed"
big_peak=$peak
[ -n "$quick" ] || awake compare "$big" "$big_mib" "loopback at full speed, a core kept awake"
compare "$link" "$link_mib" "over a 40 MiB/s link"
small_peak=$(probe_run "$small" small.bin | cut -d' ' -f2)
awk -v bp="$big_peak" -v sp="$small_peak" 'BEGIN {
  printf "telechargefichier peak memory: %.1f MiB for 200 MiB, %.1f MiB for 20 MiB (target: independent of size)\n",
    bp / 1048576, sp / 1048576 }'

given_up() {   # --page|"" path -> seconds until the fetch gave up
  local out
  if [ "$1" = --page ]; then
    out=$("$run" "$probe" --page "$server/$2" || true)
    grep -q '^result 2 ' <<<"$out" || { echo "the page $2 was not given up: $out" >&2; exit 1; }
  else
    out=$("$run" "$probe" "$server/$2" "Z:$work/given-up.bin" || true)
    grep -q '^result 0 ' <<<"$out" || { echo "the download of $2 did not fail: $out" >&2; exit 1; }
  fi
  awk '{print $4}' <<<"$out"
}
no_answer=$(given_up "" maj/silent.bin)
if [ -n "$quick" ]; then
  echo "telechargefichier gives up on a server silent before answering: $no_answer s (quick pass)"
else
  after_body=$(given_up "" maj/stalled.bin)
  slow=$(given_up "" bench/drip-slow.bin)
  byte=$(given_up "" bench/drip-byte.bin)
  page_drip=$(given_up --page bench/drip-page.txt)
  page_byte=$(given_up --page bench/drip-byte.txt)
  awk -v a="$after_body" -v n="$no_answer" -v s="$slow" -v y="$byte" -v p="$page_drip" -v q="$page_byte" -v b="$bound" 'BEGIN {
    printf "telechargefichier gives up on a server: silent after 100 KB of body %.1f s, silent before answering %.1f s, sending 7800 bytes/s %.1f s, one byte every 3 s %.1f s (bound: %d s for the answer, then 64 KiB in every %d s)\n", a, n, s, y, b, b
    printf "lecturepage gives up on a page: 1 KiB every 7 s %.1f s, one byte every 3 s %.1f s (bound: the whole page in %d s)\n", p, q, 2 * b }'
fi

# Hashing while downloading: the same 200 MiB, plain and signed, in turn; five rounds.
curl_get "$big" >/dev/null
size=$(stat -c %s "$work/curl.bin")
sum=$(sha256sum "$work/curl.bin" | cut -d' ' -f1)
pairs=$(for _ in $hashed_rounds; do
  p=$(probe_run "$big" probe.bin | cut -d' ' -f1)
  h=$(probe_run "$big" probe.bin "$size" "$sum" | cut -d' ' -f1)
  echo "$p $h"
done)
cmp -s "$work/curl.bin" "$work/probe.bin" || { echo "the signed download of big.bin differs" >&2; exit 1; }
plain=$(awk 'NF { print $1 }' <<<"$pairs" | median)
hashed=$(awk 'NF { print $2 }' <<<"$pairs" | median)
ratio=$(awk 'NF { print $1 / $2 }' <<<"$pairs" | median)
awk -v p="$plain" -v h="$hashed" -v r="$ratio" 'BEGIN {
  printf "signed download (SHA-256 as it streams), 200 MiB at full speed: %.2f s, plain %.2f s; ratio %.2f\n", h, p, r }'
