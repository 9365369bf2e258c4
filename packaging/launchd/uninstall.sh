#!/bin/sh
# Removes the agent from a Mac:
#
#   sudo /opt/qz-agent/service/uninstall.sh
#
# unloads both launchd jobs (a run in progress ends) and deletes their
# files, the log rotation, /opt/qz-agent with its Config.ini and result
# folder, and the logs.
#
# QZ_INSTALL_ROOT removes from under another folder instead of / (for tests).
set -eu

root=${QZ_INSTALL_ROOT:-}
if [ -z "$root" ] && [ "$(id -u)" != 0 ]; then
  echo "uninstall: run as root (sudo $0)" >&2
  exit 1
fi
for job in jp.co.qz.agent jp.co.qz.agent.now; do
  launchctl bootout "system/$job" 2>/dev/null || true
  rm -f "$root/Library/LaunchDaemons/$job.plist"
done
rm -f "$root/etc/newsyslog.d/qz-agent.conf"
rm -rf "$root/opt/qz-agent"
rm -f "$root/var/log/qz-agent.log" "$root"/var/log/qz-agent.log.*
echo "uninstall: the agent, its jobs, its settings and its logs are removed."
