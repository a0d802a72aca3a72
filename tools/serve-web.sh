#!/bin/sh
# Serves web/dist/ (tools/build-web.sh builds it) at http://localhost:PORT/
# with Python's http.server, until Ctrl-C. PORT: the first argument, else 8080.
set -eu
cd "$(dirname "$0")/../web/dist" 2>/dev/null || { echo "serve-web: no web/dist: run tools/build-web.sh" >&2; exit 1; }
port=${1:-8080}
echo "quarlen's page: http://localhost:$port/"
exec python3 -m http.server "$port" --bind 127.0.0.1
