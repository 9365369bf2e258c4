#!/bin/sh
# Installs the agent of this deploy folder on a Mac and schedules it:
#
#   sudo ./service/install.sh        (from the unpacked deploy folder)
#
# copies the programs, the collection script and this folder into
# /opt/qz-agent (keeping a Config.ini already there), the two launchd jobs
# into /Library/LaunchDaemons and the log rotation into /etc/newsyslog.d,
# then loads both jobs. Run again to upgrade. The jobs: jp.co.qz.agent runs
# the agent daily at 10:30 after a random delay of up to 4 hours, and at a
# start of the Mac when a day was missed; jp.co.qz.agent.now runs it at once
# when kickstarted. service/uninstall.sh removes everything again.
#
# QZ_INSTALL_ROOT installs under another folder instead of / (for tests).
set -eu

deploy=$(cd "$(dirname "$0")/.." && pwd)
root=${QZ_INSTALL_ROOT:-}
agent_dir=$root/opt/qz-agent
daemons=$root/Library/LaunchDaemons
rotation=$root/etc/newsyslog.d
JOBS="jp.co.qz.agent jp.co.qz.agent.now"

if [ -z "$root" ] && [ "$(id -u)" != 0 ]; then
  echo "install: run as root (sudo $0)" >&2
  exit 1
fi
for file in qz-agent qz-agent-launcher macInventory.sh service/jp.co.qz.agent.plist \
    service/jp.co.qz.agent.now.plist service/qz-agent.newsyslog.conf service/uninstall.sh; do
  [ -f "$deploy/$file" ] || { echo "install: $deploy/$file is missing; run this from the deploy folder" >&2; exit 1; }
done

# An upgrade: the running jobs are unloaded first (a run in progress ends).
for job in $JOBS; do
  launchctl bootout "system/$job" 2>/dev/null || true
done

mkdir -p "$agent_dir/service" "$daemons" "$rotation"
for file in qz-agent qz-agent-launcher qz-dump macInventory.sh Config.ini.sample README.md; do
  case $file in *.sample | *.md) mode=644 ;; *) mode=755 ;; esac
  if [ -f "$deploy/$file" ]; then install -m "$mode" "$deploy/$file" "$agent_dir/$file"; fi
done
for file in "$deploy"/service/*; do
  case $file in *.sh) mode=755 ;; *) mode=644 ;; esac
  install -m "$mode" "$file" "$agent_dir/service/"
done
if [ -f "$agent_dir/Config.ini" ]; then chmod 600 "$agent_dir/Config.ini"; fi
for job in $JOBS; do
  install -m 644 "$deploy/service/$job.plist" "$daemons/$job.plist"
done
install -m 644 "$deploy/service/qz-agent.newsyslog.conf" "$rotation/qz-agent.conf"
# wheel is group 0 on macOS. A copy downloaded with a browser is quarantined,
# which would stop launchd from running the programs.
chown -R 0:0 "$agent_dir" "$daemons/jp.co.qz.agent.plist" "$daemons/jp.co.qz.agent.now.plist" \
  "$rotation/qz-agent.conf"
xattr -dr com.apple.quarantine "$agent_dir" 2>/dev/null || true

for job in $JOBS; do
  launchctl bootstrap system "$daemons/$job.plist"
done
echo "install: the agent is in $agent_dir and scheduled (jp.co.qz.agent, daily at 10:30 plus up to 4 hours)."
[ -f "$agent_dir/Config.ini" ] ||
  echo "install: no Config.ini yet: copy $agent_dir/Config.ini.sample to $agent_dir/Config.ini, fill it in (chmod 600)."
echo "install: run it now with: sudo launchctl kickstart system/jp.co.qz.agent.now"
