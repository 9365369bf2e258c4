#!/usr/bin/env bash
# How each WebDAV server that scripts/spool-server runs answers the requests
# the agent's delivery relies on: exclusive creation (MKCOL, LOCK, a
# conditional PUT), races of 20 clients for one name, and what a listing says.
# A measurement, not a test: it prints what it sees, one line a case.
#
#   tests/webdav/server-behaviour.sh [apache|nginx|lighttpd|rclone]...
set -uo pipefail

here=$(cd "$(dirname "$0")/../.." && pwd)
spool_server=$here/scripts/spool-server
work=$(mktemp -d)
chmod 755 "$work"  # the workers run as www-data when this runs as root
trap 'for d in "$work"/*/; do "$spool_server" stop "$d" 2>/dev/null; done; rm -rf "$work"' EXIT

LOCKINFO='<?xml version="1.0" encoding="utf-8"?>
<D:lockinfo xmlns:D="DAV:"><D:lockscope><D:exclusive/></D:lockscope><D:locktype><D:write/></D:locktype><D:owner><D:href>agent-1</D:href></D:owner></D:lockinfo>'
LOCKDISCOVERY='<?xml version="1.0" encoding="utf-8"?>
<D:propfind xmlns:D="DAV:"><D:prop><D:lockdiscovery/></D:prop></D:propfind>'

# status METHOD PATH [curl options...]: the status of one request.
status() {
  local method=$1 path=$2; shift 2
  curl -s -o /dev/null -w '%{http_code}' -u agent:secret -X "$method" "$@" "$url$path"
}

# race METHOD PATH [curl options...]: 5 rounds of 20 requests at once for a
# new name each (PATH plus the round), each on a connection of its own; prints
# how many got each status in each round, e.g. "201x1 403x19 | 201x1 405x19".
race() {
  local method=$1 path=$2 round i outputs; shift 2
  for round in 1 2 3 4 5; do
    outputs=()
    for ((i = 0; i < 20; i++)); do outputs+=(-o /dev/null "$url${path/@/$round}"); done
    curl -s -Z --parallel-immediate --parallel-max 20 -w '%{http_code}\n' -u agent:secret -H 'Connection: close' \
         -X "$method" "$@" "${outputs[@]}" 2>/dev/null | sort | uniq -c | awk '{ printf "%sx%s ", $2, $1 }'
    [ $round = 5 ] || printf '| '
  done
}

lock() { curl -s -D - -o "$work/body" -u agent:secret -X LOCK -H 'Depth: 0' -H 'Timeout: Second-600' \
              -H 'Content-Type: application/xml' --data-binary "$LOCKINFO" "$url$1"; }

measure() {
  local server=$1 dir=$work/$1 f=/SPOOL/agent/decryptdata head token
  url=$("$spool_server" start "$dir" --server "$server") || { echo "$server: not started"; return; }
  local disk=$dir/htdocs$f
  echo "== $server ($url)"
  echo "MKCOL new: $(status MKCOL $f/c1/); existing: $(status MKCOL $f/c1/); without slash: $(status MKCOL $f/c2)"
  echo "MKCOL in a missing folder: $(status MKCOL $f/none/c3/)"
  echo "20 racing MKCOL: $(race MKCOL $f/race@/)"
  status PUT $f/file --data-binary first >/dev/null
  echo "PUT If-None-Match:* on an existing file: $(status PUT $f/file -H 'If-None-Match: *' --data-binary second)," \
       "file holds: $(cat "$disk/file")"
  echo "PUT If-None-Match:* on a new file: $(status PUT $f/file2 -H 'If-None-Match: *' --data-binary new)"
  echo "20 racing PUT If-None-Match:*: $(race PUT $f/raced@ -H 'If-None-Match: *' --data-binary x)"
  echo "HEAD missing: $(status HEAD $f/missing -I); existing: $(status HEAD $f/file -I)"
  status PUT $f/c1/inner --data-binary x >/dev/null
  echo "DELETE non-empty collection: $(status DELETE $f/c1/); without slash: $(status DELETE $f/c2)"

  head=$(lock $f/locked)
  token=$(echo "$head" | tr -d '\r' | sed -n 's/^[Ll]ock-[Tt]oken: *//p')
  echo "LOCK new name: $(echo "$head" | head -1 | tr -d '\r'); Lock-Token: ${token:-none};" \
       "Timeout: $(echo "$head" | tr -d '\r' | sed -n 's/^[Tt]imeout: *//p');" \
       "on disk: $(if [ -e "$disk/locked" ]; then echo "$(stat -c %s "$disk/locked") bytes"; else echo nothing; fi);" \
       "HEAD: $(status HEAD $f/locked -I)"
  echo "second LOCK: $(lock $f/locked | head -1 | tr -d '\r')"
  curl -s -o "$work/body" -u agent:secret -X PROPFIND -H 'Depth: 0' -H 'Content-Type: application/xml' \
       --data-binary "$LOCKDISCOVERY" "$url$f/locked"
  echo "PROPFIND lockdiscovery: owner $(grep -q 'agent-1' "$work/body" && echo shown || echo missing)," \
       "token $(grep -qF "${token//[<>]/}" "$work/body" && echo shown || echo missing)"
  echo "PUT on the locked name without If: $(status PUT $f/locked --data-binary y)"
  echo "DELETE locked without If: $(status DELETE $f/locked); with If: $(status DELETE $f/locked -H "If: ($token)")"
  echo "UNLOCK after the DELETE: $(status UNLOCK $f/locked -H "Lock-Token: $token")"
  token=$(lock $f/locked2 | tr -d '\r' | sed -n 's/^[Ll]ock-[Tt]oken: *//p')
  echo "UNLOCK: $(status UNLOCK $f/locked2 -H "Lock-Token: $token"); name then: $(status HEAD $f/locked2 -I)"
  echo "20 racing LOCK: $(race LOCK $f/racelock@ -H 'Depth: 0' -H 'Timeout: Second-600' \
                           -H 'Content-Type: application/xml' --data-binary "$LOCKINFO")"
  token=$(lock $f/locked3 | tr -d '\r' | sed -n 's/^[Ll]ock-[Tt]oken: *//p')
  echo "PUT with If: (token) on the locked name: $(status PUT $f/locked3 -H "If: ($token)" --data-binary z)," \
       "holds: $(cat "$disk/locked3" 2>/dev/null); UNLOCK: $(status UNLOCK $f/locked3 -H "Lock-Token: $token")," \
       "name then: $(status HEAD $f/locked3 -I)"

  status MKCOL $f/d1/ >/dev/null; status MKCOL $f/d2/ >/dev/null
  curl -s -D "$work/headers" -o "$work/body" -u agent:secret -X PROPFIND -H 'Depth: 1' "$url$f/"
  count() { grep -o "<[A-Za-z0-9]*:$1[ >/]" "$work/body" | wc -l; }
  echo "PROPFIND Depth 1 (allprop): $(count response) responses, getlastmodified in $(count getlastmodified)," \
       "creationdate in $(count creationdate); Date header: $(grep -qi '^date:' "$work/headers" && echo yes || echo no)"
  chmod 555 "$disk"
  echo "folder not writable: MKCOL $(status MKCOL $f/ro/); PUT $(status PUT $f/ro --data-binary x)"
  chmod 755 "$disk"
  "$spool_server" stop "$dir"
}

servers=("$@")
[ $# -gt 0 ] || servers=(apache nginx lighttpd rclone)
for server in "${servers[@]}"; do measure "$server"; done
