#!/bin/sh
# Collection script of qz-agent: gathers the raw material of the inventory
# into ./result/ of the current folder. The agent runs it as
# "./macInventory.sh a" from its own folder and reads ./result/ afterwards.
#
# Every source is optional: a command that is missing, refused (dmidecode
# wants root) or fails leaves its file absent or empty, and the run goes on.
# A source that failed or ran out of time is named in ./result/failed, one
# line each: its file, a tab and why; a command this kind of system lacks is
# no failure, unless it is the only way to the list of packages. Nothing is
# printed; the status is 0 once the files are written, 1 only when ./result/
# cannot be made.

RESULT=./result
FAILED=$RESULT/failed
# dmidecode, ip and lspci live in sbin, which an ordinary user's PATH may lack.
PATH=$PATH:/usr/local/sbin:/usr/sbin:/sbin
export PATH
LC_ALL=C
export LC_ALL

have() { command -v "$1" >/dev/null 2>&1; }

# Runs a command that may block (name resolution, stale network mounts) for
# at most $1 seconds where timeout(1) exists.
limited() {
  seconds=$1
  shift
  if have timeout; then timeout "$seconds" "$@"; else "$@"; fi
}

# Why a command failed, from its exit status $1 under a bound of $2 seconds.
failure() {
  case $1 in
    124) echo "timed out after $2 s" ;;  # timeout(1) cut it off
    127) echo "not found" ;;
    *) echo "exit status $1" ;;
  esac
}

# Names result/$1 in result/failed, with why ($2).
note_failure() {
  printf '%s\t%s\n' "$1" "$2" >>"$FAILED"
}

# Runs a command into result/$1, for at most $2 seconds where timeout(1)
# exists; a command that fails or runs out of time is named in result/failed.
collect() {
  collected=$1
  seconds_allowed=$2
  shift 2
  limited "$seconds_allowed" "$@" >"$RESULT/$collected" 2>/dev/null
  status=$?
  [ "$status" = 0 ] || note_failure "$collected" "$(failure "$status" "$seconds_allowed")"
}

# Like collect, for commands that also fail over part of what they list (df
# over a mount this user may not read, nmcli without NetworkManager): only
# running out of time is a failure.
collect_listing() {
  collected=$1
  seconds_allowed=$2
  shift 2
  limited "$seconds_allowed" "$@" >"$RESULT/$collected" 2>/dev/null
  [ $? = 124 ] && note_failure "$collected" "timed out after $seconds_allowed s"
  return 0
}

# Passes result/$1 through the filter command that follows, in place.
refine() {
  refined=$RESULT/$1
  shift
  "$@" <"$refined" >"$refined.part" 2>/dev/null
  mv -f "$refined.part" "$refined"
}

# The value of KEY in an os-release file, without its quotes.
os_release_value() {
  [ -r "$OS_RELEASE" ] || return 0
  sed -n "s/^$1=//p" "$OS_RELEASE" | tail -n 1 | sed -e 's/^"\(.*\)"$/\1/' -e "s/^'\(.*\)'$/\1/"
}

# --- Linux -------------------------------------------------------------------

linux_identity() {
  if [ "$(id -u)" = 0 ] && have dmidecode; then
    dmidecode -t 1 >"$RESULT/dmidecode" 2>/dev/null
  fi
  # Readable without root except the serial number and UUID.
  if [ -d /sys/devices/virtual/dmi/id ]; then
    grep -rs . /sys/devices/virtual/dmi/id >"$RESULT/grep_sys_devices" 2>/dev/null
  fi
  collect arch 30 uname -m
  collect cpu 30 cat /proc/cpuinfo
  collect mem 30 cat /proc/meminfo
}

linux_host_names() {
  short=$(hostname 2>/dev/null || uname -n 2>/dev/null) || note_failure hostname "$(failure $? 0)"
  name=$short
  case "$short" in
    *.*) ;;
    ?*)
      # hostname -f resolves the name; keep it only when it names this host.
      fqdn=$(limited 5 hostname -f 2>/dev/null)
      case "$fqdn" in "$short".?*) name=$fqdn ;; esac
      ;;
  esac
  printf '%s\n' "$name" >"$RESULT/hostname"
  domain=$(limited 5 dnsdomainname 2>/dev/null)
  if [ -z "$domain" ] && have domainname; then
    domain=$(domainname 2>/dev/null)
    [ "$domain" = "(none)" ] && domain=  # no NIS domain set
  fi
  printf '%s\n' "$domain" >"$RESULT/domainname"
}

# Copies a text file, ending its last line, into result/ under another name.
copy_text() {
  [ -f "$1" ] && [ -r "$1" ] && awk '{ print }' "$1" >"$RESULT/$2" 2>/dev/null
}

# Hardware only: RAM disks, compressed swap in RAM (zram), network block
# devices and empty slots are no disks. Older lsblk escapes blanks inside values.
whole_disks() {
  sed 's/\\x20/ /g' | awk '
    /KNAME="(zram|ram|nbd)[0-9]/ { next }
    /TYPE="disk"/ && /SIZE="0"/ { next }
    { print }'
}

# Seven single-blank columns; blanks inside a mount point become \040, as in
# /proc/mounts, so the line keeps its seven fields. Kept are "/" (a
# container's root is an overlay), file systems on block devices except snap
# and live images (squashfs), and network shares; left out are the kernel's
# pseudo file systems (tmpfs, devtmpfs, efivarfs, overlay...).
hardware_file_systems() {
  awk '
    function hardware(source, type, mount) {
      if (mount == "/") return 1
      if (source ~ /^\/dev\//) return type != "squashfs"
      if (type ~ /^(nfs4?|cifs|smb3|smbfs|9p|afs|ceph|glusterfs|lustre|zfs|fuse\.(sshfs|glusterfs|cephfs))$/) return 1
      return source ~ /^\/\/[^\/]/ || source ~ /^[^\/]+:\//  # //server/share, host:/path
    }
    NR == 1 { $1 = $1; print; next }
    {
      pct = 0
      for (i = 6; i <= NF; i++) if ($i ~ /^([0-9]+%|-)$/ && $(i - 1) ~ /^[0-9-]+$/) { pct = i; break }
      if (pct == 0) next
      source = $1
      for (i = 2; i <= pct - 5; i++) source = source "\\040" $i
      mount = $(pct + 1)
      for (i = pct + 2; i <= NF; i++) mount = mount "\\040" $i
      if (hardware(source, $(pct - 4), mount)) print source, $(pct - 4), $(pct - 3), $(pct - 2), $(pct - 1), $pct, mount
    }'
}

linux_storage() {
  if have lsblk; then
    collect physical_disk 30 lsblk -d -b -P -o TYPE,MODEL,SIZE,KNAME  # -d: whole devices only
    refine physical_disk whole_disks
  fi
  # A hung network mount holds df until it is cut off.
  collect_listing logical_disk 30 df -P -T
  refine logical_disk hardware_file_systems
  if have lspci; then
    collect video 30 lspci
    refine video awk '/VGA compatible controller/'
  fi
}

# The PCI address (0000:03:00.0) of a network interface's device, if any.
pci_slot_of() {
  path=$(readlink -f "/sys/class/net/$1/device" 2>/dev/null)
  while [ -n "$path" ] && [ "$path" != / ]; do
    case "${path##*/}" in
      [0-9a-f][0-9a-f][0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f].[0-7])
        echo "${path##*/}"
        return
        ;;
    esac
    path=${path%/*}
  done
}

# udev properties of an interface. Without a running udev (containers) the
# database names are missing; lspci reads them from the same PCI ID list.
nic_properties() {
  if have udevadm; then
    udevadm info --query=property --path="/sys/class/net/$1" 2>/dev/null
  fi >"$RESULT/nic_$1"
  if ! grep -q '^ID_VENDOR_FROM_DATABASE=' "$RESULT/nic_$1" && have lspci; then
    slot=$(pci_slot_of "$1")
    if [ -n "$slot" ]; then
      lspci -vmm -s "$slot" 2>/dev/null | awk -F '\t' '
        $1 == "Vendor:" { print "ID_VENDOR_FROM_DATABASE=" $2 }
        $1 == "Device:" { print "ID_MODEL_FROM_DATABASE=" $2 }' >>"$RESULT/nic_$1"
    fi
  fi
}

# The address listing; the agent's address rules want single blanks, which
# ip prints and ifconfig does not.
ip_listing() {
  if have ip; then
    ip addr show dev "$1" 2>/dev/null
  elif have ifconfig; then
    ifconfig "$1" 2>/dev/null | tr -s ' '
  fi >"$RESULT/ip_$1"
}

# The lease each DHCP client keeps of an interface: systemd-networkd's by
# interface index, dhcpcd's newest (its wireless leases carry the SSID).
interface_leases() {
  index=$(cat "/sys/class/net/$1/ifindex" 2>/dev/null)
  [ -n "$index" ] && copy_text "/run/systemd/netif/leases/$index" "networkd_lease_$1"
  newest=$(ls -t -d -- "/var/lib/dhcpcd/$1.lease" "/var/lib/dhcpcd/$1"-*.lease "/var/lib/dhcpcd/dhcpcd-$1.lease" \
    "/var/lib/dhcpcd/dhcpcd-$1"-*.lease "/var/lib/dhcpcd5/dhcpcd-$1.lease" "/var/db/dhcpcd/$1.lease" 2>/dev/null | head -n 1)
  [ -n "$newest" ] && [ -r "$newest" ] && cat "$newest" >"$RESULT/dhcpcd_lease_$1" 2>/dev/null
}

# dhclient's lease files, each lease naming its interface: Debian's, Red
# Hat's and those of NetworkManager running dhclient.
dhclient_leases() {
  for lease in /var/lib/dhcp/dhclient*.leases /var/lib/dhclient/dhclient*.lease* \
    /var/lib/NetworkManager/dhclient*.lease /var/db/dhclient*.leases*; do
    [ -f "$lease" ] && [ -r "$lease" ] && awk '{ print }' "$lease" 2>/dev/null
  done
}

# IPv4 default routes in the form ip prints them. Without ip, from the
# kernel's table, whose addresses are hexadecimal in host byte order.
default_routes() {
  if have ip; then
    ip -4 route show default 2>/dev/null
  elif [ -r /proc/net/route ]; then
    big=0
    printf '\001\000' | od -An -tx2 2>/dev/null | grep -q 0100 && big=1
    awk -v big=$big '
      function octet(hex, i) { return (index("0123456789ABCDEF", substr(hex, i, 1)) - 1) * 16 + index("0123456789ABCDEF", substr(hex, i + 1, 1)) - 1 }
      function dotted(hex) {
        hex = toupper(hex)
        if (big) return octet(hex, 1) "." octet(hex, 3) "." octet(hex, 5) "." octet(hex, 7)
        return octet(hex, 7) "." octet(hex, 5) "." octet(hex, 3) "." octet(hex, 1)
      }
      NR > 1 && $2 == "00000000" && $8 == "00000000" && $3 != "00000000" { print "default via " dotted($3) " dev " $1 }' \
      /proc/net/route
  fi
}

# The resolver, and behind systemd-resolved's stub its upstream servers.
linux_resolver() {
  copy_text /etc/resolv.conf resolv_conf
  copy_text /run/systemd/resolve/resolv.conf resolv_upstream
  if [ -d /run/systemd/resolve ] && have resolvectl; then
    collect_listing resolvectl_dns 5 resolvectl dns
  fi
}

# Hardware only: an interface backed by a device, or one holding an IPv4
# address (a bridge carrying the host's address); not veth, ifb, dummy or an
# idle bridge.
linux_network() {
  for device in /sys/class/net/*; do
    [ -d "$device" ] || continue  # bonding_masters is a file beside the interfaces
    name=${device##*/}
    # 772 is ARPHRD_LOOPBACK, whatever the interface is called.
    [ "$(cat "$device/type" 2>/dev/null)" = 772 ] && continue
    ip_listing "$name"
    if [ ! -e "$device/device" ] && ! grep -qs 'inet ' "$RESULT/ip_$name"; then
      rm -f "$RESULT/ip_$name"
      continue
    fi
    nic_properties "$name"
    interface_leases "$name"
  done
  default_routes >"$RESULT/route"
  linux_resolver
  dhclient_leases >"$RESULT/dhclient_leases"
  if have nmcli; then
    collect_listing nmcli_dhcp 5 nmcli -t -f GENERAL.DEVICE,DHCP4 device show
  fi
}

# The release description, in the form the agent's release parser reads.
linux_release() {
  id=$(os_release_value ID)
  if [ "$id" = ubuntu ] || grep -qs '^DISTRIB_ID=Ubuntu' /etc/lsb-release; then
    # lsb-release, its DISTRIB_DESCRIPTION="..." line last.
    if grep -qs '^DISTRIB_DESCRIPTION=' /etc/lsb-release; then
      grep -v '^DISTRIB_DESCRIPTION=' /etc/lsb-release
      description=$(sed -n 's/^DISTRIB_DESCRIPTION=//p' /etc/lsb-release | tail -n 1 | sed 's/^"\(.*\)"$/\1/')
    else
      printf 'DISTRIB_ID=Ubuntu\nDISTRIB_RELEASE=%s\n' "$(os_release_value VERSION_ID)"
      description=$(os_release_value PRETTY_NAME)
    fi
    printf 'DISTRIB_DESCRIPTION="%s"\n' "$description"
  elif [ "$id" = debian ] || { [ -z "$id" ] && [ -r /etc/debian_version ]; }; then
    # The point release first; os-release names Debian.
    head -n 1 /etc/debian_version 2>/dev/null
    cat "$OS_RELEASE" 2>/dev/null
  else
    for release in oracle-release fedora-release centos-release redhat-release; do
      if [ -s "/etc/$release" ]; then
        head -n 1 "/etc/$release"
        return
      fi
    done
    case "$id" in
      *suse* | sles | sled)
        printf '%s\nVERSION=%s\n' "$(os_release_value PRETTY_NAME)" "$(os_release_value VERSION_ID)"
        return
        ;;
    esac
    for release in SuSE-release gentoo-release mandriva-release vine-release turbolinux-release; do
      if [ -s "/etc/$release" ]; then
        cat "/etc/$release"
        return
      fi
    done
    pretty=$(os_release_value PRETTY_NAME)
    [ -n "$pretty" ] || pretty=$(os_release_value NAME)
    version=$(os_release_value VERSION_ID)
    case "$pretty" in *"$version"*) ;; *) pretty="$pretty $version" ;; esac
    [ -n "$pretty" ] && printf '%s\n' "$pretty"
  fi
}

# The dated lines of the dpkg logs, oldest log first (rotated ones are
# dpkg.log.N.gz, higher N older).
dpkg_log_lines() {
  for log in $(printf '%s\n' /var/log/dpkg.log.* | sort -t . -k 3,3nr) /var/log/dpkg.log; do
    [ -r "$log" ] || continue
    case "$log" in
      *.gz) gzip -dc "$log" 2>/dev/null ;;
      *) cat "$log" ;;
    esac
  done
}

linux_install_time() {
  # Birth time of the root file system, where the kernel reports one (0 when not).
  born=$(stat -c %W / 2>/dev/null)
  case "$born" in
    '' | 0 | *[!0-9]*) ;;
    *) echo "$born" >"$RESULT/os_install_1" ;;
  esac
  first=
  if have dpkg-query; then
    first=$(dpkg_log_lines | cut -c 1-19 | grep -E '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' |
      sort | head -n 1 | tr -d ' :-')
  elif have rpm; then
    oldest=$(rpm -qa --qf '%{INSTALLTIME}\n' 2>/dev/null | sort -n | head -n 1)
    [ -n "$oldest" ] && first=$(date -d "@$oldest" +%Y%m%d%H%M%S 2>/dev/null)
  fi
  [ -n "$first" ] && echo "$first" >"$RESULT/os_install_2"
}

# The package list is the software inventory: without dpkg-query or rpm it
# is missing, not empty. A query waiting for a lock a dead process holds on
# the package database is cut off.
linux_packages() {
  if have dpkg-query; then
    # "name version name:arch" of installed packages only (not config-files leftovers).
    collect app 600 dpkg-query -W -f '${Status} ${Package} ${Version} ${Package}:${Architecture}\n'
    refine app awk '$3 == "installed" { print $4, $5, $6 }'
    # dpkg logs keep the old and new versions after the package name; the agent
    # looks the date up by "name:arch" alone.
    dpkg_log_lines | awk '$3 == "install" && NF >= 4 { print $1, $2, "install", $4 }' >"$RESULT/app_install"
  elif have rpm; then
    collect app 600 rpm -qa --qf '%{NAME} %{VERSION}-%{RELEASE} %{INSTALLTIME}\n'
  else
    note_failure app "not found (neither dpkg-query nor rpm)"
  fi
}

collect_linux() {
  OS_RELEASE=/etc/os-release
  [ -r "$OS_RELEASE" ] || OS_RELEASE=/usr/lib/os-release
  linux_identity
  linux_host_names
  linux_storage
  linux_network
  linux_release >"$RESULT/os" 2>/dev/null
  linux_install_time
  linux_packages
}

# --- macOS -------------------------------------------------------------------

# Seconds a report may run. The applications report reads every bundle on
# every volume and can hang on a stale network mount; the others take seconds.
APPLICATIONS_BOUND=600
REPORT_BOUND=120

# Stops process $1 once $2 seconds have passed (macOS has no timeout(1)).
# Stopped itself (TERM) when the process ends first, it takes its timer along,
# so no sleep outlives the report.
watchdog() {
  timer=
  trap '[ -n "$timer" ] && kill "$timer" 2>/dev/null; exit 0' TERM
  sleep "$2" &
  timer=$!
  wait "$timer"
  kill -TERM "$1" 2>/dev/null || return 0
  sleep 1 &
  timer=$!
  wait "$timer"
  kill -KILL "$1" 2>/dev/null
}

# Starts a command in the background writing result/$2, stopped after $1
# seconds. A command that fails or runs out of time leaves an empty file and
# is named in result/failed; its output goes to a side file first, so a
# half-written report never remains.
bounded() {
  bound=$1
  name=$2
  file=$RESULT/$2
  shift 2
  (
    started=$(date +%s)
    "$@" >"$file.part" 2>/dev/null &
    report=$!
    watchdog "$report" "$bound" &
    watcher=$!
    wait "$report"
    status=$?
    if [ "$status" = 0 ]; then
      mv -f "$file.part" "$file"
    else
      rm -f "$file.part"
      : >"$file"
      # Stopped by its watchdog, whichever signal it took.
      if [ $(($(date +%s) - started)) -ge "$bound" ]; then
        note_failure "$name" "timed out after $bound s"
      else
        note_failure "$name" "$(failure "$status" "$bound")"
      fi
    fi
    kill "$watcher" 2>/dev/null
  ) </dev/null >/dev/null 2>&1 &
}

collect_mac() {
  # hardware.xml is what tells the agent it reads a Mac collection; it is
  # written, empty at worst, whatever becomes of its report.
  bounded "$REPORT_BOUND" hardware.xml system_profiler -xml SPHardwareDataType
  bounded "$REPORT_BOUND" mem.xml system_profiler -xml SPMemoryDataType
  bounded "$REPORT_BOUND" physical_disk.xml system_profiler -xml SPSerialATADataType
  bounded "$REPORT_BOUND" nvme_disk.xml system_profiler -xml SPNVMeDataType
  bounded "$REPORT_BOUND" pata_disk.xml system_profiler -xml SPParallelATADataType
  bounded "$REPORT_BOUND" logical_disk.xml system_profiler -xml SPStorageDataType
  bounded "$REPORT_BOUND" nics system_profiler -xml SPNetworkDataType
  bounded "$APPLICATIONS_BOUND" app system_profiler -xml SPApplicationsDataType
  # The property list, not the text report: the text's labels follow the
  # Mac's language, which LC_ALL does not change.
  bounded "$REPORT_BOUND" video.xml system_profiler -xml SPDisplaysDataType
  bounded "$REPORT_BOUND" hostname hostname
  bounded "$REPORT_BOUND" os sw_vers
  wait
}

# --- main --------------------------------------------------------------------

rm -rf "$RESULT"
mkdir -p "$RESULT" || exit 1
case "$(uname -s)" in
  Darwin) collect_mac ;;
  *) collect_linux ;;
esac
exit 0
