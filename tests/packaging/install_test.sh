#!/usr/bin/env bash
# cmake --install lays out a deploy folder with everything the agent needs.
set -euo pipefail
build=$1
prefix=$2
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "install_test: $*" >&2; exit 1; }
for file in qz-agent libqz_nfc.so macInventory.sh qz-dump Config.ini.sample service/qz-agent.service service/qz-agent.timer \
            service/jp.co.qz.agent.plist; do
  [ -f "$prefix/$file" ] || fail "missing $file"
done
[ -x "$prefix/qz-agent" ] && [ -x "$prefix/macInventory.sh" ] || fail "programs not executable"
# The agent finds its plugin in its own folder, wherever that is.
readelf -d "$prefix/qz-agent" | grep -q 'RUNPATH.*\[\$ORIGIN\]' || fail "the agent does not search its own folder"
[ -z "$(sed -n 6p "$prefix/Config.ini.sample")" ] || fail "the sample's sixth line must be empty (no verification)"
[ ! -e "$prefix/Config.ini" ] || fail "a Config.ini must not be installed into the deploy folder"
# A fleet must not reach the spool server in the same minute.
grep -q 'sleep .*/dev/urandom' "$prefix/service/jp.co.qz.agent.plist" || fail "the launchd job has no random delay"
echo "install_test: ok"
