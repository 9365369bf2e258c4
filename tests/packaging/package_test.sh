#!/usr/bin/env bash
# The Debian package end to end: build it, check its metadata, unpack it into
# a scratch root, configure the installed agent for a local spool server and
# run it with its installed collection script; both data files must land.
set -euo pipefail
source_dir=$1
work=$2
fail() { echo "package_test: $*" >&2; exit 1; }
if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "package_test: skipped: no dpkg-deb here (the Debian package is built and tested on Debian)"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work"
chmod 755 "$work"
build="$work/build"
cmake -S "$source_dir" -B "$build" -G Ninja -DQZ_PACKAGE_LAYOUT=ON -DQZ_BUILD_TESTS=OFF \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target qz-agent qz-dump >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/packages/qz-agent_*.deb)

# Metadata: owner, modes, the conffile, the maintainer scripts.
listing=$(dpkg-deb -c "$deb")
if echo "$listing" | awk '{print $2}' | grep -qv '^root/root$'; then fail "files not owned by root"; fi
echo "$listing" | grep -q -- '-rw------- root/root .* ./etc/qz-agent/Config.ini$' || fail "Config.ini is not root-only"
echo "$listing" | grep -q -- '-rwxr-xr-x root/root .* ./opt/qz-agent/qz-agent$' || fail "qz-agent missing"
echo "$listing" | grep -q -- '-rwxr-xr-x root/root .* ./opt/qz-agent/macInventory.sh$' || fail "script missing"
agent_files=$(echo "$listing" | awk '$6 ~ /^\.\/opt\/qz-agent\/./ {print $6}' | sort | tr '\n' ' ')
expected="./opt/qz-agent/Config.ini ./opt/qz-agent/Config.ini.sample ./opt/qz-agent/README.md ./opt/qz-agent/macInventory.sh ./opt/qz-agent/qz-agent ./opt/qz-agent/qz-dump "
[ "$agent_files" = "$expected" ] || fail "/opt/qz-agent holds: $agent_files"
echo "$listing" | grep -q -- './lib/systemd/system/qz-agent.timer$' || fail "timer missing"
[ "$(dpkg-deb -f "$deb" Package)" = qz-agent ] || fail "package name"
dpkg-deb -I "$deb" conffiles | grep -qx /etc/qz-agent/Config.ini || fail "Config.ini is not a conffile"
dpkg-deb -f "$deb" Depends | grep -q libcurl || fail "no dependency on libcurl"

root="$work/root"
dpkg-deb -x "$deb" "$root"
agent_dir="$root/opt/qz-agent"
grep -qx 'WorkingDirectory=/opt/qz-agent' "$root/lib/systemd/system/qz-agent.service" || fail "unit WorkingDirectory"
grep -qx 'ExecStart=/opt/qz-agent/qz-agent' "$root/lib/systemd/system/qz-agent.service" || fail "unit ExecStart"
grep -q '^RandomizedDelaySec=' "$root/lib/systemd/system/qz-agent.timer" || fail "timer without randomised delay"

# A spool server on loopback, and the installed configuration pointing at it.
# The server runs as www-data, so the spool lives in the system temporary
# folder rather than in a build tree that may be closed to other users.
spool_parent=$(mktemp -d "${TMPDIR:-/tmp}/qz-package-spool.XXXXXX")
chmod 755 "$spool_parent"
spool="$spool_parent/spool"
password="pw-$RANDOM$RANDOM"
trap '"$source_dir/scripts/spool-server" stop "$spool" || true; rm -rf "$spool_parent"' EXIT
url=$("$source_dir/scripts/spool-server" start "$spool" --login agent --password "$password" --owner $$)
printf '127.0.0.1\n%s\n0\nagent\n%s\n' "${url##*:}" "$password" >"$root/etc/qz-agent/Config.ini"
[ "$(cat "$agent_dir/Config.ini")" = "$(cat "$root/etc/qz-agent/Config.ini")" ] || fail "link to /etc broken"

output=$(cd "$agent_dir" && ./qz-agent 2>"$work/agent.err")
echo "$output" | head -1 | grep -qx start || fail "no start: $output"
echo "$output" | tail -1 | grep -qx end || fail "no end: $output"
if echo "$output" | grep -q 'upload err'; then fail "upload failed: $output"; fi
if echo "$output" | grep -q "$password"; then fail "password printed"; fi

landed="$spool/htdocs/SPOOL/agent/decryptdata"
hardware=$(ls "$landed"/QZ-0-12*.dat 2>/dev/null | head -1)
software=$(ls "$landed"/QZ-0-01*.dat 2>/dev/null | head -1)
[ -n "$hardware" ] && [ -n "$software" ] || fail "data files did not land: $(ls "$landed")"
"$agent_dir/qz-dump" "$hardware" >"$work/hardware.json" || fail "hardware file does not decode"
"$agent_dir/qz-dump" "$software" >"$work/software.json" || fail "software file does not decode"
grep -q '"kind": "hardware"' "$work/hardware.json" || fail "not a hardware file"
grep -q '"kind": "software"' "$work/software.json" || fail "not a software file"
if ls "$agent_dir"/QZ-*.dat >/dev/null 2>&1; then fail "data files left in the agent folder"; fi
echo "package_test: ok ($(basename "$hardware"), $(basename "$software"))"
