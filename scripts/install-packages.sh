#!/usr/bin/env bash
# Installs the named Debian packages that are not installed yet, waiting for
# another apt or dpkg run to finish first.
#
#   scripts/install-packages.sh PACKAGE...
set -euo pipefail
missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
wait_lock=(-o DPkg::Lock::Timeout=1200)
$sudo apt-get "${wait_lock[@]}" update
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait_lock[@]}" install -y --no-install-recommends \
  "${missing[@]}"
