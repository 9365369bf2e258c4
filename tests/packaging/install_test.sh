#!/usr/bin/env bash
# cmake --install lays out a deploy folder with everything the agent needs.
set -euo pipefail
build=$1
prefix=$2
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "install_test: $*" >&2; exit 1; }
if [ "$(uname -s)" = Darwin ]; then
  scheduling="qz-agent-launcher service/jp.co.qz.agent.plist service/jp.co.qz.agent.now.plist
              service/qz-agent.newsyslog.conf service/install.sh service/uninstall.sh"
else
  scheduling="service/qz-agent.service service/qz-agent.timer"
fi
for file in qz-agent macInventory.sh qz-dump Config.ini.sample $scheduling; do
  [ -f "$prefix/$file" ] || fail "missing $file"
done
[ -x "$prefix/qz-agent" ] && [ -x "$prefix/macInventory.sh" ] || fail "programs not executable"
# The agent is one program: nothing else of ours beside it, and no library of ours to search for.
extra=$(cd "$prefix" && find . -type f ! -path './service/*' ! -name qz-agent ! -name qz-dump ! -name macInventory.sh \
        ! -name Config.ini.sample ! -name README.md ! -name qz-agent-launcher)
[ -z "$extra" ] || fail "unexpected files in the deploy folder: $extra"
if command -v readelf >/dev/null 2>&1; then
  if readelf -d "$prefix/qz-agent" | grep -q 'RUNPATH\|RPATH'; then fail "the agent searches a run path"; fi
elif otool -l "$prefix/qz-agent" | grep -q LC_RPATH; then
  fail "the agent searches a run path"
fi
[ -z "$(sed -n 6p "$prefix/Config.ini.sample")" ] || fail "the sample's sixth line must be empty (no verification)"
[ ! -e "$prefix/Config.ini" ] || fail "a Config.ini must not be installed into the deploy folder"
echo "install_test: ok"
