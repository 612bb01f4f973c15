#!/usr/bin/env bash
# Takes the README's picture of the main window after a run: starts a local web server on a free
# port (python3 -m http.server) with a few generated pages, runs the program under Xvfb on a URL list
# of them (--load, --run) and saves the window when the run has ended (--screenshot).
# usage: scripts/screenshot.sh [OUT.png (docs/mainwindow.png)]    env: GLIMMERPICK (build/bin/glimmerpick)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/mainwindow.png}
program=${GLIMMERPICK:-$root/build/bin/glimmerpick}
for t in xvfb-run python3; do
  command -v "$t" >/dev/null || { echo "screenshot.sh: needs $t" >&2; exit 1; }
done
[[ -x $program ]] || { echo "screenshot.sh: $program not built; run: make build" >&2; exit 1; }

work=$(mktemp -d)
server=""
cleanup() {
  if [[ -n $server ]]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/site"
names=(anna bruno carla dario elena fabio greta hugo ines jonas)
for i in "${!names[@]}"; do
  n=${names[$i]}
  {
    echo "<!doctype html><html><head><title>${n^} Studio - contact</title></head><body>"
    echo "<h1>${n^} Studio</h1><p>Write to $n@studio.example.org or office@$n.example.net.</p>"
    for ((k = 0; k < i % 4; k++)); do echo "<p>Team: staff$k@$n.example.net</p>"; done
    echo "</body></html>"
  } >"$work/site/$n.html"
done

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/anna.html', timeout=1)" 2>/dev/null && break
  sleep 0.1
done

email='[a-z0-9._%+-]+@[a-z0-9.-]+\.[a-z]{2,}'
title='(?i)<title>\s*([^<]*?)\s*</title>||$1'
{
  for i in "${!names[@]}"; do
    n=${names[$i]}
    if ((i % 3 == 2)); then echo "http://127.0.0.1:$port/$n.html||$title"; else echo "http://127.0.0.1:$port/$n.html||$email"; fi
  done
  echo "http://127.0.0.1:$port/moved-away.html||$email"
  echo "http://127.0.0.1:$port/anna.html||$email"
  echo "http://127.0.0.1:$port/old-page.html||$email"
} >"$work/urls.txt"

mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1280x900x24" "$program" --load "$work/urls.txt" --run --screenshot "$out"
echo "screenshot.sh: wrote $out"
