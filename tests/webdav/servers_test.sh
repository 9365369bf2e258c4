#!/usr/bin/env bash
# The spool servers and the fault proxy that the upload tests drive: each
# server starts, answers through the proxy, survives each kind of restart and
# stops; each kind of fault reaches the client. A server whose package is
# missing is skipped.
#
#   tests/webdav/servers_test.sh SOURCE_DIR [SERVER...]
set -uo pipefail

scripts=$1/scripts
shift
work=$(mktemp -d)
chmod 755 "$work"  # the workers run as www-data when this runs as root
trap 'for d in "$work"/*/; do "$scripts/fault-proxy" stop "$d/proxy"; "$scripts/spool-server" stop "$d/server"; done
      rm -rf "$work"' EXIT
passed=0 failed=0 skipped=0

check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $server: $1: expected '$2', got '$3'"; fi
}

# request METHOD PATH [curl options...]: the status of a request through the
# proxy, and "failed" when curl got no (whole) answer.
request() {
  local method=$1 path=$2; shift 2
  curl -s -o /dev/null -w '%{http_code}' -m 20 -u agent:secret -X "$method" "$@" "$proxy$path" || printf ' failed'
  echo
}

declare -A program=([apache]=/usr/sbin/apache2 [nginx]=/usr/lib/nginx/modules/ngx_http_dav_ext_module.so
                    [lighttpd]=/usr/lib/lighttpd/mod_webdav.so [rclone]=/usr/bin/rclone)
servers=("$@")
[ $# -gt 0 ] || servers=(apache nginx lighttpd rclone)
for server in "${servers[@]}"; do
  if [ ! -e "${program[$server]}" ]; then
    echo "SKIP $server: ${program[$server]} is not installed"; skipped=$((skipped + 1)); continue
  fi
  dir=$work/$server f=/SPOOL/agent/decryptdata
  url=$("$scripts/spool-server" start "$dir/server" --server "$server" --owner $$) || { check start 0 1; continue; }
  proxy=$("$scripts/fault-proxy" start "$dir/proxy" --target "$url" --owner $$) || { check proxy 0 1; continue; }
  spool=$dir/server/htdocs$f

  check "PUT" "201" "$(request PUT $f/a --data-binary first)"
  check "PROPFIND" "207" "$(request PROPFIND $f/ -H 'Depth: 1')"
  echo "status 503 PUT 1 retry-after 2" >"$dir/proxy/faults"
  check "Retry-After" "Retry-After: 2" \
        "$(curl -s -D - -o /dev/null -u agent:secret -T /etc/hostname "$proxy$f/b" | tr -d '\r' | grep Retry-After)"
  echo "status 503 until $((EPOCHSECONDS + 60)) path /b" >"$dir/proxy/faults"
  check "a spell of 503 for one path" "503|201" "$(request PUT $f/b --data-binary x)|$(request PUT $f/c --data-binary x)"
  echo "drop PUT 1" >"$dir/proxy/faults"
  check "a lost answer" "000 failed|second" "$(request PUT $f/a --data-binary second)|$(cat "$spool/a")"
  echo "cut PUT 1" >"$dir/proxy/faults"
  check "a cut upload" "000 failed" "$(request PUT $f/d --data-binary 0123456789)"
  : >"$dir/proxy/faults"
  check "proxy log" "PUT $f/a 201 agent|PROPFIND $f/ 207 agent|PUT $f/b 503 agent|PUT $f/b 503 agent|PUT $f/c 201 agent|PUT $f/a - agent|PUT $f/d - agent" \
        "$(cut -d' ' -f2- "$dir/proxy/access.log" | paste -sd'|')"

  for restart in "" --hard "--down 1"; do
    # shellcheck disable=SC2086
    "$scripts/spool-server" restart "$dir/server" $restart >/dev/null 2>&1
    check "restart $restart" "207" "$(request PROPFIND $f/ -H 'Depth: 0')"
  done
  if [ "$server" != rclone ]; then
    sleep 1.2  # lighttpd writes its log once a second
    check "server log" "PUT $f/a 201 agent" "$(head -1 "$dir/server/access.log" | cut -d' ' -f2-)"
  fi
  "$scripts/fault-proxy" stop "$dir/proxy"
  "$scripts/spool-server" stop "$dir/server"
  check "stopped" "000" "$(curl -s -o /dev/null -w '%{http_code}' -m 2 "$url/")"
done
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
