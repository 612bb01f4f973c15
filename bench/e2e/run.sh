#!/usr/bin/env bash
# End-to-end benchmark: glimmerpick-cli against curl --parallel | grep -oiP on the same local pages.
# usage: bench/e2e/run.sh      env: SIZES ("2000 10000"), CONCS ("8 32"), RUNS (3), PAGES (2000),
#                                   CLI (default build-release/bin/glimmerpick-cli), BENCH_DIR
# Generates the corpus (cached), serves it with nginx on 127.0.0.1, stops nginx by its PID at exit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
sizes=${SIZES:-2000 10000} concs=${CONCS:-8 32} runs=${RUNS:-3} pages=${PAGES:-2000}
cli=${CLI:-$root/build-release/bin/glimmerpick-cli}
dir=${BENCH_DIR:-${TMPDIR:-/tmp}/glimmerpick-e2e}
pat='[a-z0-9._%+-]+@[a-z0-9.-]+\.[a-z]{2,}'
for t in nginx curl grep python3 /usr/bin/time; do
  command -v "$t" >/dev/null || { echo "run.sh: needs $t (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
[[ -x $cli ]] || { echo "run.sh: $cli not built; run: cmake --preset release && cmake --build --preset release" >&2; exit 1; }

source "$here/serve.sh"

# Runs one command (stdout to $work/out); prints its wall seconds, CPU seconds (user + system, its
# children included) and peak RSS in KB of its largest process.
timed() {
  local t0 t1
  t0=$(date +%s.%N)
  /usr/bin/time -f '%U %S %M' -o "$work/time" bash -c "$1" >"$work/out"
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" '{printf "%.4f %.2f %d\n", b-a, $1+$2, $3}' "$work/time"
}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}'; }
maximum() { printf '%s\n' "$@" | sort -g | tail -n1; }

table=$work/table summary=()
printf '| N | C | glimmerpick-cli pages/s | curl + grep pages/s | ratio | CPU ms/page (gp / peer) | matches (gp / peer / expected) | gp peak RSS |\n|---|---|---|---|---|---|---|---|\n' >"$table"
for n in $sizes; do
  urls=$work/urls-$n.txt cfg=$work/curl-$n.cfg
  url_list "$n" "$urls"
  awk -v pat="$pat" '{printf "%s||%s\n", $0, pat}' "$urls" >"$urls.gp"
  awk '{printf "url = \"%s\"\n", $0}' "$urls" >"$cfg"
  want=$(expected_matches "$n")
  for c in $concs; do
    gp_cmd="exec '$cli' -q -t $c -T 10 --resources '$root/build-release/bin/resources' '$urls.gp'"
    peer_cmd="curl --parallel --parallel-max $c -s --no-progress-meter --max-time 10 -K '$cfg' | grep -oiP '$pat'"
    bash -c "$gp_cmd" >/dev/null; bash -c "$peer_cmd" >/dev/null   # warm-up
    gp_s=() gp_cpu=() gp_rss=() peer_s=() peer_cpu=()
    for ((r = 0; r < runs; r++)); do   # alternate, so drift hits both alike
      read -r s cpu rss < <(timed "$gp_cmd"); gp_count=$(wc -l <"$work/out")
      gp_s+=("$s") gp_cpu+=("$cpu") gp_rss+=("$rss")
      read -r s cpu rss < <(timed "$peer_cmd"); peer_count=$(wc -l <"$work/out")
      peer_s+=("$s") peer_cpu+=("$cpu")
    done
    g=$(median "${gp_s[@]}") p=$(median "${peer_s[@]}") mb=$(( $(maximum "${gp_rss[@]}") / 1024 ))
    ratio=$(awk -v g="$g" -v p="$p" 'BEGIN{printf "%.2f", p/g}')
    awk -v n="$n" -v c="$c" -v g="$g" -v p="$p" -v r="$ratio" -v gcpu="$(median "${gp_cpu[@]}")" \
      -v pcpu="$(median "${peer_cpu[@]}")" -v gc="$gp_count" -v pc="$peer_count" -v w="$want" -v m="$mb" \
      'BEGIN{printf "| %d | %d | %.0f | %.0f | %s | %.3f / %.3f | %d / %d / %d | %d MB |\n", n, c, n/g, n/p, r, 1000*gcpu/n, 1000*pcpu/n, gc, pc, w, m}' | tee -a "$table"
    summary+=("N=$n C=$c ratio $ratio, peak RSS $mb MB")
    if [[ $gp_count -ne $want || $peer_count -ne $want ]]; then echo "run.sh: match totals differ" >&2; fi
  done
done
echo
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo "$(nproc) cores (${cpu:-unknown CPU}); $("$cli" --version); $(nginx -v 2>&1 | sed 's/^nginx version: //'); curl $(curl --version | awk 'NR==1{print $2}'); $(grep --version | sed -n 1p); median of $runs alternating runs"
cat "$table"
echo
printf '%s\n' "${summary[@]}"
