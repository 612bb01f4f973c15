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

corpus=$dir/corpus-$pages prefix=$dir/nginx work=$(mktemp -d)
mkdir -p "$dir"
if [[ ! -f $corpus/.done ]]; then
  echo "run.sh: generating $pages pages in $corpus" >&2
  rm -rf "$corpus"; python3 "$here/gen_corpus.py" "$corpus" "$pages"; touch "$corpus/.done"
fi

pid=""
cleanup() {
  if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
    workers=$(ps -o pid= --ppid "$pid" || true)
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    for p in $pid $workers; do kill -KILL "$p" 2>/dev/null || true; done
  fi
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
rm -rf "$prefix"; mkdir -p "$prefix/tmp" "$prefix/logs"
user_line=""
if [[ $(id -u) -eq 0 ]]; then user_line="user nobody nogroup;"; chmod -R a+rX "$corpus"; chmod a+x "$dir"; fi
cat >"$prefix/nginx.conf" <<CONF
$user_line
worker_processes auto;
pid $prefix/nginx.pid;
error_log $prefix/logs/error.log warn;
events { worker_connections 1024; }
http {
  access_log off; sendfile on; tcp_nopush on; tcp_nodelay on;
  keepalive_timeout 30; keepalive_requests 1000000; open_file_cache max=20000 inactive=60s;
  types { text/html html; } default_type application/octet-stream; charset utf-8;
  client_body_temp_path $prefix/tmp/body; proxy_temp_path $prefix/tmp/proxy;
  fastcgi_temp_path $prefix/tmp/fcgi; uwsgi_temp_path $prefix/tmp/uwsgi; scgi_temp_path $prefix/tmp/scgi;
  server { listen 127.0.0.1:$port; root $corpus; }
}
CONF
nginx -p "$prefix" -c "$prefix/nginx.conf" -e "$prefix/logs/error.log"
for _ in $(seq 50); do [[ -s $prefix/nginx.pid ]] && break; sleep 0.1; done
pid=$(cat "$prefix/nginx.pid")
for _ in $(seq 50); do curl -sf -o /dev/null --max-time 1 "http://127.0.0.1:$port/p/00000.html" && break; sleep 0.1; done

# Seconds of wall time of one command (its stdout goes to $work/out).
timed() {
  local t0 t1
  t0=$(date +%s.%N)
  bash -c "$1" >"$work/out"
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.4f", b-a}'
}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}'; }

table=$work/table
printf '| N | C | glimmerpick-cli pages/s | curl + grep pages/s | ratio | matches (gp / peer / expected) | gp peak RSS |\n|---|---|---|---|---|---|---|\n' >"$table"
for n in $sizes; do
  urls=$work/urls-$n.txt cfg=$work/curl-$n.cfg
  awk -v p="$port" -v n="$n" -v k="$pages" 'BEGIN{for(i=0;i<n;i++) printf "http://127.0.0.1:%s/p/%05d.html\n", p, i%k}' >"$urls"
  awk -v pat="$pat" '{printf "%s||%s\n", $0, pat}' "$urls" >"$urls.gp"
  awk '{printf "url = \"%s\"\n", $0}' "$urls" >"$cfg"
  want=$(awk -v n="$n" 'NR>1{c[NR-2]=$3; k++} END{for(i=0;i<n;i++) s+=c[i%k]; print s}' "$corpus/manifest.tsv")
  for c in $concs; do
    gp_cmd="'$cli' -q -t $c -T 10 --resources '$root/build-release/bin/resources' '$urls.gp'"
    peer_cmd="curl --parallel --parallel-max $c -s --no-progress-meter --max-time 10 -K '$cfg' | grep -oiP '$pat'"
    bash -c "$gp_cmd" >/dev/null; bash -c "$peer_cmd" >/dev/null   # warm-up
    gp_times=() peer_times=()
    for ((r = 0; r < runs; r++)); do   # alternate, so drift hits both alike
      gp_times+=("$(timed "$gp_cmd")"); gp_count=$(wc -l <"$work/out")
      peer_times+=("$(timed "$peer_cmd")"); peer_count=$(wc -l <"$work/out")
    done
    rss=$(/usr/bin/time -f %M bash -c "exec $gp_cmd" 2>&1 >/dev/null | tail -n1)
    gp_s=$(median "${gp_times[@]}") peer_s=$(median "${peer_times[@]}")
    awk -v n="$n" -v c="$c" -v g="$gp_s" -v p="$peer_s" -v gc="$gp_count" -v pc="$peer_count" -v w="$want" -v m="$rss" \
      'BEGIN{printf "| %d | %d | %.0f | %.0f | %.2f | %d / %d / %d | %.0f MB |\n", n, c, n/g, n/p, p/g, gc, pc, w, m/1024}' | tee -a "$table"
    if [[ $gp_count -ne $want || $peer_count -ne $want ]]; then echo "run.sh: match totals differ" >&2; fi
  done
done
echo
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo "$(nproc) cores (${cpu:-unknown CPU}); $("$cli" --version); $(nginx -v 2>&1 | sed 's/^nginx version: //'); curl $(curl --version | awk 'NR==1{print $2}'); $(grep --version | sed -n 1p); median of $runs alternating runs"
cat "$table"
