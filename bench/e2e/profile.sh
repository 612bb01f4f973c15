#!/usr/bin/env bash
# Where glimmerpick-cli's CPU goes per page, on the end-to-end benchmark's pages and nginx.
# usage: bench/e2e/profile.sh      env: N (2000), CONCS ("8 32"), PAGES (2000), CLI, BENCH_DIR,
#                                       TOOLS ("time strace perf callgrind")
# time: CPU and peak RSS; strace -c -f: system calls and futex calls per page; perf record -e
# cpu-clock: the CPU split by library (kernel, libcurl, PCRE2, ours, ...); callgrind: user-space
# instructions per page by library (N/4 pages, it is slow).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
n=${N:-2000} concs=${CONCS:-8 32} pages=${PAGES:-2000} tools=${TOOLS:-time strace perf callgrind}
cli=${CLI:-$root/build-release/bin/glimmerpick-cli}
res=${RESOURCES:-$root/build-release/bin/resources}
dir=${BENCH_DIR:-${TMPDIR:-/tmp}/glimmerpick-e2e}
pat='[a-z0-9._%+-]+@[a-z0-9.-]+\.[a-z]{2,}'
[[ -x $cli ]] || { echo "profile.sh: $cli not built" >&2; exit 1; }

source "$here/serve.sh"

url_list "$n" "$work/urls"
awk -v pat="$pat" '{printf "%s||%s\n", $0, pat}' "$work/urls" >"$work/urls.gp"
url_list $((n / 4)) "$work/urls.small"
awk -v pat="$pat" '{printf "%s||%s\n", $0, pat}' "$work/urls.small" >"$work/urls.small.gp"

# Samples or instructions by shared object, as shares of the total: kernel, libcurl, PCRE2, the
# C/C++ runtime, Qt, ours (the executable), other.
by_object() {
  awk '
    { obj = $1; v = $2
      if (obj ~ /kernel|vmlinux/) k = "kernel"; else if (obj == "???" || obj ~ /anon|jit|JIT|unknown/) k = "PCRE2 (JIT code)"; else if (obj ~ /libcurl/) k = "libcurl"
      else if (obj ~ /pcre2/) k = "PCRE2"; else if (obj ~ /libc\.so|libc-|libstdc|libm\.|libgcc|ld-linux/) k = "libc/libstdc++"
      else if (obj ~ /Qt6/) k = "Qt"; else if (obj ~ /glimmerpick/) k = "ours"
      else if (obj ~ /libssl|libcrypto|libz|libnghttp|libidn|libpsl|libssh|libbrotli|libzstd/) k = "curl deps"
      else k = "other"
      s[k] += v; t += v }
    END { for (k in s) printf "%.1f %s\n", 100 * s[k] / t, k }' | sort -g -r | awk '{v = $1; $1 = ""; printf "%s%s %s%%", (NR > 1 ? ", " : ""), substr($0, 2), v}'
}

for c in $concs; do
  cmd=("$cli" -q -t "$c" -T 10 --resources "$res")
  echo "== C=$c"
  "${cmd[@]}" "$work/urls.gp" >/dev/null   # warm-up
  if [[ $tools == *time* ]]; then
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "${cmd[@]}" "$work/urls.gp" >"$work/out"
    read -r wall user sys rss <"$work/time"
    awk -v n="$n" -v w="$wall" -v u="$user" -v s="$sys" -v m="$rss" -v got="$(wc -l <"$work/out")" 'BEGIN{
      printf "time: %d pages/s, CPU per page %.0f us (user %.0f, system %.0f), peak RSS %d MB, %d matches\n",
        n / w, 1e6 * (u + s) / n, 1e6 * u / n, 1e6 * s / n, m / 1024, got }'
  fi
  if [[ $tools == *strace* ]]; then
    strace -c -f -o "$work/strace" "${cmd[@]}" "$work/urls.gp" >/dev/null
    # Columns: % time, seconds, usecs/call, calls, [errors], syscall.
    awk -v n="$n" '$1 ~ /^[0-9.]+$/ && NF >= 5 { calls[$NF] = $4 }
      END { printf "strace: %.1f system calls per page (futex %.1f", calls["total"] / n, calls["futex"] / n
            for (i = 0; i < 6; i++) { best = ""
              for (k in calls) if (k != "total" && k != "futex" && !(k in used) && (best == "" || calls[k] + 0 > calls[best] + 0)) best = k
              if (best != "") { used[best] = 1; printf ", %s %.1f", best, calls[best] / n } }
            print ")" }' "$work/strace"
  fi
  if [[ $tools == *perf* ]]; then
    perf record -q -e cpu-clock -F 2000 -o "$work/perf.data" -- "${cmd[@]}" "$work/urls.gp" >/dev/null 2>&1
    echo "perf cpu-clock: $(perf report -i "$work/perf.data" --stdio --sort dso -q 2>/dev/null \
      | awk 'NF >= 2 {v = $1; sub(/%/, "", v); print $2, v}' | by_object)"
    perf report -i "$work/perf.data" --stdio --sort dso,sym -q 2>/dev/null | awk 'NR <= 15 {print "    " $0}'
  fi
  if [[ $tools == *callgrind* ]]; then
    small=$((n / 4))
    valgrind -q --tool=callgrind --callgrind-out-file="$work/cg.out" "${cmd[@]}" "$work/urls.small.gp" >/dev/null
    total=$(callgrind_annotate "$work/cg.out" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(/,/, "", $1); print $1}')
    echo "callgrind: $(awk -v t="$total" -v n="$small" 'BEGIN{printf "%.0f", t / n}') instructions per page (user space): $(
      callgrind_annotate --threshold=100 "$work/cg.out" 2>/dev/null | awk '/^ *[0-9,]+ .*:.*\[/ {
        v = $1; gsub(/,/, "", v); obj = $NF; gsub(/[\[\]]/, "", obj); print obj, v }' | by_object)"
    callgrind_annotate --threshold=100 "$work/cg.out" 2>/dev/null | awk '/^ *[0-9,]+ / && /:/' | awk 'NR <= 12 {print "    " $0}'
  fi
done
