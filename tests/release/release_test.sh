#!/usr/bin/env bash
# The release test (make release-test): builds the release (scripts/release),
# then checks that it runs on every supported Debian:
#
#  1. the four artifacts hold one and the same agent;
#  2. the agent and qz-dump meet the targets: NEEDED only libc, libm, libdl,
#     libpthread, librt and the loader; no glibc symbol newer than 2.28; no
#     GLIBCXX or CXXABI version; no run path;
#  3. the .deb depends only on libc6 (>= the newest glibc symbol) and
#     libcurl4 | libcurl4t64, and keeps its Recommends, conffile, modes and
#     timer; the .rpm requires only glibc and libcurl (no Boost, pugixml or
#     libstdc++), holds the agent, the collection script and the units, and
#     Config.ini as %config(noreplace) with mode 0600;
#  4. in minimal chroots of Debian 11, 12 and 13 (debootstrap --variant=minbase
#     with only libcurl added, cached by scripts/chroot): the agent of the
#     deploy folder, run with the real collection script and a Config.ini for
#     a local Apache spool on the host's 127.0.0.1, delivers both files, which
#     decode and name that Debian;
#  5. in the same chroots (a scratch overlay, so the cached root stays clean):
#     apt-get installs the .deb, the installed agent with
#     /etc/qz-agent/Config.ini filled in delivers both files, and apt-get purge
#     leaves nothing of the package behind;
#  6. in a Debian 12 root with Debian's rpm: rpm installs the .rpm (its
#     scriptlets where systemd is not running), the installed agent delivers,
#     and rpm -e removes it.
#
# Where roots cannot be made (not root, no debootstrap, no mounts) it says why
# and skips. QZ_RELEASE_TEST_SUITES overrides the suites (default
# "bullseye bookworm trixie"); every chroot run is bounded in time.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
out="$here/build-release"
SUITES=(${QZ_RELEASE_TEST_SUITES:-bullseye bookworm trixie})
GLIBC_MAX=2.28
ALLOWED_NEEDED="libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 ld-linux-x86-64.so.2"

if ! reason=$("$here/scripts/chroot" check 2>&1); then
  echo "release-test: skipped: ${reason#chroot: }"
  exit 0
fi

start=$(date +%s)
"$here/scripts/release"

passed=0 failed=0
work=$(mktemp -d "${TMPDIR:-/tmp}/qz-release-test.XXXXXX")
chmod 755 "$work"
spool="$work/spool"
cleanup() {
  "$here/scripts/spool-server" stop "$spool" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# A check: `check NAME FUNCTION ARGS...` runs FUNCTION in a subshell, where
# `complain` ends it with its reason.
check() {
  local name=$1; shift
  local log="$work/check.log"
  if ("$@") 2>"$log"; then
    passed=$((passed + 1))
    echo "release-test: ok: $name"
  else
    failed=$((failed + 1))
    echo "release-test: FAILED: $name: $(tr '\n' ' ' <"$log")"
  fi
}
complain() { echo "$*" >&2; exit 1; }

version=$(sed -n 's/^project(qz_agent VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
agent="$out/qz-agent"
deb="$out/qz-agent_${version}_amd64.deb"
rpm="$out/qz-agent-${version}-1.x86_64.rpm"
tgz="$out/qz-agent-${version}-linux-x86_64.tar.gz"
deploy="$work/deploy"
mkdir -p "$deploy"
tar -xzf "$tgz" -C "$deploy" --strip-components=1
qz_dump="$deploy/qz-dump"

# 1. One agent.
same_agent() {
  local sum want
  want=$(sha256sum <"$agent" | cut -d' ' -f1)
  sum=$(sha256sum <"$deploy/qz-agent" | cut -d' ' -f1)
  [ "$sum" = "$want" ] || complain "the deploy folder's agent differs"
  sum=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./opt/qz-agent/qz-agent | sha256sum | cut -d' ' -f1)
  [ "$sum" = "$want" ] || complain "the .deb's agent differs"
  sum=$(rpm2cpio "$rpm" | (cd "$work" && cpio -id --quiet ./opt/qz-agent/qz-agent) && sha256sum <"$work/opt/qz-agent/qz-agent" | cut -d' ' -f1)
  [ "$sum" = "$want" ] || complain "the .rpm's agent differs"
  (cd "$out" && sha256sum --quiet -c SHA256SUMS) >&2 || complain "SHA256SUMS does not match"
  file -b "$agent" | grep -q 'ELF 64-bit LSB .*x86-64' || complain "not an x86_64 program: $(file -b "$agent")"
}
check "the agent is one x86_64 file, the same in the deploy folder, the .deb and the .rpm" same_agent

# 2. The targets.
newest_glibc() {
  readelf -V --wide "$1" | grep -o 'Name: GLIBC_[0-9.]*' | sed 's/.*GLIBC_//' |
    sort -t. -k1,1n -k2,2n -k3,3n | tail -1
}
version_le() { [ "$(printf '%s\n%s\n' "$1" "$2" | sort -t. -k1,1n -k2,2n -k3,3n | head -1)" = "$1" ]; }
meets_targets() {
  local program=$1 needed library newest
  needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  for library in $needed; do
    case " $ALLOWED_NEEDED " in *" $library "*) ;; *) complain "needs $library" ;; esac
  done
  newest=$(newest_glibc "$program")
  version_le "$newest" "$GLIBC_MAX" || complain "needs GLIBC_$newest (newer than $GLIBC_MAX)"
  if readelf -V --wide "$program" | grep -Eo '(GLIBCXX|CXXABI)_[0-9.]+' | sort -u | grep . >&2; then
    complain "needs the C++ runtime's versions above"
  fi
  if readelf -V --wide "$program" | grep -o 'Name: GLIBC_PRIVATE' >&2; then complain "uses GLIBC_PRIVATE"; fi
  if readelf -d "$program" | grep -E 'RPATH|RUNPATH' >&2; then complain "searches a run path"; fi
  echo "release-test:   $(basename "$program"): NEEDED $(echo $needed), newest glibc symbol GLIBC_$newest"
}
check "the agent meets the targets" meets_targets "$agent"
check "qz-dump meets the targets" meets_targets "$deploy/qz-dump"

# 3. The packages.
glibc=$(newest_glibc "$agent")
deb_metadata() {
  local listing
  [ "$(dpkg-deb -f "$deb" Depends)" = "libc6 (>= $glibc), libcurl4 | libcurl4t64" ] ||
    complain "Depends: $(dpkg-deb -f "$deb" Depends)"
  [ "$(dpkg-deb -f "$deb" Recommends)" = "dmidecode, pciutils, iproute2, udev" ] ||
    complain "Recommends: $(dpkg-deb -f "$deb" Recommends)"
  [ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || complain "Architecture: $(dpkg-deb -f "$deb" Architecture)"
  dpkg-deb -I "$deb" conffiles | grep -qx /etc/qz-agent/Config.ini || complain "Config.ini is not a conffile"
  listing=$(dpkg-deb -c "$deb")
  if echo "$listing" | awk '{print $2}' | grep -qv '^root/root$'; then complain "files not owned by root"; fi
  echo "$listing" | grep -q -- '^-rw------- root/root .* ./etc/qz-agent/Config.ini$' || complain "Config.ini is not root-only"
  echo "$listing" | grep -q -- '^-rwxr-xr-x root/root .* ./opt/qz-agent/macInventory.sh$' || complain "no collection script"
  echo "$listing" | grep -q -- ' ./lib/systemd/system/qz-agent.timer$' || complain "no timer"
  echo "$listing" | grep -q -- ' ./lib/systemd/system/qz-agent.service$' || complain "no service"
}
check "the .deb depends only on libc6 (>= $glibc) and libcurl4 | libcurl4t64" deb_metadata

rpm_metadata() {
  local requires files
  requires=$(rpm -qpR "$rpm" 2>/dev/null)
  if echo "$requires" | grep -Ei 'boost|pugi|libstdc|GLIBCXX|CXXABI' >&2; then complain "requires the above"; fi
  # Only glibc and libcurl, besides rpm's own features and the scriptlets' shell.
  if echo "$requires" | grep -Ev '^(glibc >= [0-9.]+|libcurl\.so\.4\(\)\(64bit\)|/bin/sh|rpmlib\(.*)$' >&2; then
    complain "requires the above"
  fi
  echo "$requires" | grep -qx "glibc >= $glibc" || complain "does not require glibc >= $glibc"
  echo "$requires" | grep -q '^libcurl' || complain "does not require libcurl"
  [ "$(rpm -qp --qf '%{ARCH}' "$rpm" 2>/dev/null)" = x86_64 ] || complain "not x86_64"
  files=$(rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME}:%{FILEGROUPNAME} %{FILEFLAGS:fflags} %{FILENAMES}\n]' "$rpm" 2>/dev/null)
  for file in /opt/qz-agent/qz-agent /opt/qz-agent/macInventory.sh /opt/qz-agent/qz-dump; do
    echo "$files" | grep -qx -- "-rwxr-xr-x root:root  $file" || complain "no $file"
  done
  echo "$files" | grep -qx -- '-rw------- root:root cn /etc/qz-agent/Config.ini' ||
    complain "Config.ini is not %config(noreplace) with mode 0600"
  echo "$files" | grep -qx -- '-rw-r--r-- root:root  /usr/lib/systemd/system/qz-agent.timer' || complain "no timer"
  echo "$files" | grep -qx -- '-rw-r--r-- root:root  /usr/lib/systemd/system/qz-agent.service' || complain "no service"
  echo "$files" | grep -qx -- 'lrwxrwxrwx root:root  /opt/qz-agent/Config.ini' || complain "no Config.ini link"
  rpm -qp --scripts "$rpm" 2>/dev/null | grep -q 'if \[ -d /run/systemd/system \]' || complain "scriptlets not guarded"
}
check "the .rpm requires only glibc and libcurl and holds the agent, the script, the units and the configuration" rpm_metadata

# 4 and 5. The chroots.
login=agent
password="pw-$RANDOM$RANDOM"
url=$("$here/scripts/spool-server" start "$spool" --login "$login" --password "$password" --owner $$)
port=${url##*:}
landed="$spool/htdocs/SPOOL/agent/decryptdata"

libcurl_package() {
  case $1 in
    bullseye|bookworm|buster) echo libcurl4 ;;
    *) echo libcurl4t64 ;;
  esac
}

# The two files that landed since the list $1 was taken, checked and decoded;
# $2 is the Debian version (11, 12...) the collection must name.
delivered() {
  local before=$1 debian=$2 new hardware software
  new=$(ls "$landed" | sort | comm -13 "$before" -)
  hardware=$(echo "$new" | grep '^QZ-0-12[0-9]*\.dat$' || true)
  software=$(echo "$new" | grep '^QZ-0-01[0-9]*\.dat$' || true)
  [ "$(echo "$hardware" | grep -c .)" = 1 ] && [ "$(echo "$software" | grep -c .)" = 1 ] ||
    complain "expected one hardware and one software file, landed: $(echo $new)"
  "$qz_dump" "$landed/$hardware" >"$work/hardware.json" || complain "$hardware does not decode"
  "$qz_dump" "$landed/$software" >"$work/software.json" || complain "$software does not decode"
  grep -q '"kind": "hardware"' "$work/hardware.json" || complain "$hardware is not a hardware file"
  grep -q '"kind": "software"' "$work/software.json" || complain "$software is not a software file"
  grep -q "\"strOSName\": \".*Debian.* $debian\b" "$work/hardware.json" ||
    complain "the hardware file does not name Debian $debian: $(grep '"strOSName"' "$work/hardware.json")"
  grep -Eq '"(strName|name)": "libcurl4' "$work/software.json" ||
    complain "the software file does not list libcurl4"
  echo "release-test:   landed $hardware and $software"
}

agent_output_ok() {
  local output=$1
  head -1 "$output" | grep -qx start || complain "no start: $(cat "$output")"
  tail -1 "$output" | grep -qx end || complain "no end: $(cat "$output")"
  if grep -q 'upload err' "$output"; then complain "upload err: $(cat "$output")"; fi
  if grep -q "$password" "$output"; then complain "the password was printed"; fi
}

# Runs /tmp/qz/case.sh in the root $1 over the overlay $2, then checks the
# agent's output and the two files it delivered; $3 is the Debian version.
run_case() {
  local root=$1 scratch=$2 debian=$3 before="$work/before" status=0
  ls "$landed" | sort >"$before"
  "$here/scripts/chroot" run --scratch "$scratch" --timeout 300 "$root" -- sh /tmp/qz/case.sh \
    >"$work/case.out" 2>"$work/case.err" || status=$?
  [ "$status" = 0 ] || complain "$(cat "$work/case.out" "$work/case.err")"
  agent_output_ok "$scratch/upper/tmp/qz/agent.out"
  delivered "$before" "$debian"
}

config_ini() { printf '127.0.0.1\n%s\n0\n%s\n%s\n' "$port" "$login" "$password"; }

deploy_in_chroot() {
  local suite=$1 debian=$2 root=$3 scratch="$work/scratch-$suite-deploy" before="$work/before"
  rm -rf "$scratch"
  mkdir -p "$scratch/upper/opt"
  tar -xzf "$tgz" -C "$scratch/upper/opt"
  local folder
  folder=/opt/$(tar -tzf "$tgz" | head -1 | cut -d/ -f1)
  config_ini >"$scratch/upper$folder/Config.ini"
  chmod 600 "$scratch/upper$folder/Config.ini"
  ls "$landed" | sort >"$before"
  local status=0
  "$here/scripts/chroot" run --scratch "$scratch" --timeout 300 "$root" -- \
    sh -c "cd $folder && ./qz-agent" >"$work/agent.out" 2>"$work/agent.err" || status=$?
  [ "$status" = 0 ] || complain "the agent exited with $status: $(cat "$work/agent.out" "$work/agent.err")"
  agent_output_ok "$work/agent.out"
  delivered "$before" "$debian"
  rm -rf "$scratch"
}

deb_in_chroot() {
  local suite=$1 debian=$2 root=$3 scratch="$work/scratch-$suite-deb"
  rm -rf "$scratch"
  # The test's files go into the root's /tmp, which keeps its mode.
  install -d -m 1777 "$scratch/upper/tmp"
  mkdir -p "$scratch/upper/tmp/qz"
  cp "$deb" "$scratch/upper/tmp/qz/"
  config_ini >"$scratch/upper/tmp/qz/Config.ini"
  cat >"$scratch/upper/tmp/qz/case.sh" <<EOF
set -e
cd /tmp/qz
apt-get install -y -q --no-install-recommends ./$(basename "$deb") >apt-install.log 2>&1 ||
  { cat apt-install.log >&2; echo "apt-get install failed" >&2; exit 1; }
[ "\$(stat -c '%a %U' /etc/qz-agent/Config.ini)" = "600 root" ] || { echo "Config.ini is not root-only" >&2; exit 1; }
cat Config.ini >/etc/qz-agent/Config.ini
(cd /opt/qz-agent && ./qz-agent) >agent.out 2>agent.err || { echo "the agent exited with \$?" >&2; exit 1; }
apt-get purge -y -q qz-agent >apt-purge.log 2>&1 || { cat apt-purge.log >&2; echo "apt-get purge failed" >&2; exit 1; }
if dpkg-query -W -f='\${Status}' qz-agent 2>/dev/null | grep -q .; then
  echo "after the purge dpkg still knows qz-agent: \$(dpkg-query -W -f='\${Status}' qz-agent)" >&2; exit 1
fi
for path in /opt/qz-agent /etc/qz-agent /lib/systemd/system/qz-agent.service /lib/systemd/system/qz-agent.timer; do
  if [ -e "\$path" ] || [ -L "\$path" ]; then echo "left after the purge: \$path" >&2; exit 1; fi
done
EOF
  run_case "$root" "$scratch" "$debian"
  # Nothing is left in the root (the overlay holds every change) but the
  # state and logs of apt and dpkg and the test's own /tmp: no file, no link,
  # nothing named after the package. (dpkg removes /opt when the purge leaves
  # it empty, as for any package in /opt: a whiteout, not a file.)
  local left
  left=$(cd "$scratch/upper" && find . -path ./tmp -prune -o -path ./var/log -prune -o -path ./var/cache -prune \
         -o -path ./var/lib/dpkg -prune -o -path ./var/lib/apt -prune \
         -o \( -type f -o -type l -o -iname '*qz*' \) -print)
  [ -z "$left" ] || complain "left after the purge: $left"
  if grep -q '^Package: qz-agent$' "$scratch/upper/var/lib/dpkg/status" 2>/dev/null; then
    complain "qz-agent is still in dpkg's status"
  fi
  rm -rf "$scratch"
}

# The .rpm's files and scriptlets, where no systemd runs: Debian's rpm
# installs it into a Debian 12 root (--nodeps: that rpm database knows no
# glibc or libcurl), the installed agent delivers, and rpm -e removes it all
# but the edited Config.ini, kept as Config.ini.rpmsave.
rpm_in_chroot() {
  local root=$1 scratch="$work/scratch-rpm"
  rm -rf "$scratch"
  install -d -m 1777 "$scratch/upper/tmp"
  mkdir -p "$scratch/upper/tmp/qz"
  cp "$rpm" "$scratch/upper/tmp/qz/"
  config_ini >"$scratch/upper/tmp/qz/Config.ini"
  cat >"$scratch/upper/tmp/qz/case.sh" <<EOF
set -e
cd /tmp/qz
rpm -i --nodeps $(basename "$rpm") >rpm-install.log 2>&1 || { cat rpm-install.log >&2; echo "rpm -i failed" >&2; exit 1; }
[ "\$(stat -c '%a %U' /etc/qz-agent/Config.ini)" = "600 root" ] || { echo "Config.ini is not root-only" >&2; exit 1; }
cat Config.ini >/etc/qz-agent/Config.ini
(cd /opt/qz-agent && ./qz-agent) >agent.out 2>agent.err || { echo "the agent exited with \$?" >&2; exit 1; }
rpm -e qz-agent >rpm-erase.log 2>&1 || { cat rpm-erase.log >&2; echo "rpm -e failed" >&2; exit 1; }
if rpm -q qz-agent >/dev/null 2>&1; then echo "rpm still knows qz-agent" >&2; exit 1; fi
for path in /opt/qz-agent /usr/lib/systemd/system/qz-agent.service /usr/lib/systemd/system/qz-agent.timer; do
  if [ -e "\$path" ] || [ -L "\$path" ]; then echo "left after rpm -e: \$path" >&2; exit 1; fi
done
[ "\$(ls /etc/qz-agent)" = Config.ini.rpmsave ] || { echo "/etc/qz-agent holds: \$(ls /etc/qz-agent)" >&2; exit 1; }
EOF
  run_case "$root" "$scratch" 12
  rm -rf "$scratch"
}

for suite in "${SUITES[@]}"; do
  root=$("$here/scripts/chroot" create "$suite" "$(libcurl_package "$suite")") || {
    failed=$((failed + 2)); echo "release-test: FAILED: no $suite root"; continue; }
  debian=$(cut -d. -f1 <"$root/etc/debian_version")
  check "Debian $debian ($suite), only libcurl added: the release agent delivers both files" \
    deploy_in_chroot "$suite" "$debian" "$root"
  check "Debian $debian ($suite): the .deb installs with apt-get, its agent delivers both files, and it purges cleanly" \
    deb_in_chroot "$suite" "$debian" "$root"
done

if rpm_root=$("$here/scripts/chroot" create bookworm libcurl4 rpm); then
  check "the .rpm installs with rpm where systemd is not running, its agent delivers both files, and rpm -e removes it" \
    rpm_in_chroot "$rpm_root"
else
  failed=$((failed + 1)); echo "release-test: FAILED: no bookworm root with rpm"
fi

echo "release-test: $(( $(date +%s) - start )) s"
echo "release-test: $passed passed, $failed failed"
[ "$failed" = 0 ]
