# Sourced by run.sh and profile.sh: the cached corpus and an nginx on 127.0.0.1 stopped by its PID.
# Needs: here, dir, pages. Sets: corpus, port, work; e2e_stop runs at exit.
corpus=$dir/corpus-$pages prefix=$dir/nginx work=$(mktemp -d)
mkdir -p "$dir"
if [[ ! -f $corpus/.done ]]; then
  echo "$(basename "$0"): generating $pages pages in $corpus" >&2
  rm -rf "$corpus"; python3 "$here/gen_corpus.py" "$corpus" "$pages"; touch "$corpus/.done"
fi

pid=""
e2e_stop() {
  if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
    workers=$(ps -o pid= --ppid "$pid" || true)
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    for p in $pid $workers; do kill -KILL "$p" 2>/dev/null || true; done
  fi
  rm -rf "$work"
}
trap e2e_stop EXIT

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

# url_list N FILE: N URLs over the corpus (repeating it), one a line.
url_list() {
  awk -v p="$port" -v n="$1" -v k="$pages" 'BEGIN{for(i=0;i<n;i++) printf "http://127.0.0.1:%s/p/%05d.html\n", p, i%k}' >"$2"
}
# expected_matches N: the manifest's e-mail total over N URLs.
expected_matches() {
  awk -v n="$1" 'NR>1{c[NR-2]=$3; k++} END{for(i=0;i<n;i++) s+=c[i%k]; print s}' "$corpus/manifest.tsv"
}
