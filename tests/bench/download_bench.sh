#!/usr/bin/env bash
# Throughput of telechargefichier against curl, fetching the same generated files from the
# same local HTTPS server in the same run: 200 MiB as fast as loopback goes, and 100 MiB over a
# link of 40 MiB/s; and the downloading process's peak memory for 200 MiB and for 20 MiB.
# Then the time from a server that falls silent to telechargefichier giving up, against the
# build's bound for one silent wait; and a signed run's download (hashed as it streams) against
# the plain one, same file, same run. Prints figures; fails only if a download is wrong.
#   download_bench.sh WINE_RUN PROBE_EXE CERT_DIR SERVER WORK_DIR TIMEOUT_SECONDS
set -euo pipefail
run=$1 probe=$2 certs=$3 server=$4 work=$5 bound=$6
mkdir -p "$work"
trap 'rm -f "$work"/*.bin' EXIT

curl_get() {   # path -> seconds
  curl -s --fail --cacert "$certs/ca.pem" -o "$work/curl.bin" -w '%{time_total}' "$server/bench/$1"
}
probe_run() {   # path file [size sha256] -> "seconds peak-bytes"
  local out
  out=$("$run" "$probe" "$server/bench/$1" "Z:$work/$2" "${@:3}" || true)   # exit code = result
  grep -q '^result 1 ' <<<"$out" || { echo "download of $1 failed: $out" >&2; return 1; }
  awk '{print $4, $6}' <<<"$out"
}
compare() {   # path MiB label -> prints the line, leaves the peak in $peak
  local c t
  c=$(curl_get "$1")
  read -r t peak <<<"$(probe_run "$1" probe.bin)"
  cmp -s "$work/curl.bin" "$work/probe.bin" || { echo "the two downloads of $1 differ" >&2; exit 1; }
  awk -v c="$c" -v t="$t" -v mib="$2" -v label="$3" 'BEGIN {
    printf "telechargefichier, %s: %d MiB in %.2f s (%.0f MiB/s); curl %.2f s (%.0f MiB/s); ratio %.2f (target >= 0.9)\n",
      label, mib, t, mib / t, c, mib / c, c / t }'
}

compare big.bin 200 "loopback at full speed"
big_peak=$peak
compare link.bin 100 "over a 40 MiB/s link"
read -r _ small_peak <<<"$(probe_run small.bin small.bin)"
awk -v bp="$big_peak" -v sp="$small_peak" 'BEGIN {
  printf "telechargefichier peak memory: %.1f MiB for 200 MiB, %.1f MiB for 20 MiB (target: independent of size)\n",
    bp / 1048576, sp / 1048576 }'

silent() {   # path -> seconds until the download gave up
  local out
  out=$("$run" "$probe" "$server/maj/$1" "Z:$work/silent.bin" || true)
  grep -q '^result 0 ' <<<"$out" || { echo "the download of $1 did not fail: $out" >&2; exit 1; }
  awk '{print $4}' <<<"$out"
}
after_body=$(silent stalled.bin)
no_answer=$(silent silent.bin)
awk -v a="$after_body" -v n="$no_answer" -v b="$bound" 'BEGIN {
  printf "telechargefichier against a silent server: gave up %.2f s after the request when the body stopped after 100 KB, %.2f s when no answer came (bound: %d s per silent wait)\n", a, n, b }'

# Hashing while downloading: the same 200 MiB, plain and signed, alternately; best of three each.
curl_get big.bin >/dev/null
size=$(stat -c %s "$work/curl.bin")
sum=$(sha256sum "$work/curl.bin" | cut -d' ' -f1)
plain=999 hashed=999
for _ in 1 2 3; do
  t=$(probe_run big.bin probe.bin) || exit 1
  plain=$(awk -v a="$plain" -v b="${t% *}" 'BEGIN { print (b + 0 < a + 0) ? b : a }')
  t=$(probe_run big.bin probe.bin "$size" "$sum") || exit 1
  hashed=$(awk -v a="$hashed" -v b="${t% *}" 'BEGIN { print (b + 0 < a + 0) ? b : a }')
done
cmp -s "$work/curl.bin" "$work/probe.bin" || { echo "the signed download of big.bin differs" >&2; exit 1; }
awk -v p="$plain" -v h="$hashed" 'BEGIN {
  printf "signed download (SHA-256 as it streams), 200 MiB at full speed: %.2f s, plain %.2f s; ratio %.2f (target >= 0.95)\n", h, p, p / h }'
