#!/usr/bin/env bash
# Installs the Debian 12 packages of tools/packages.txt (or of the list named
# as its argument) that are not installed yet. Does nothing (and needs no
# network) when everything is there.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
list="${1:-$here/packages.txt}"
arch="$(dpkg --print-architecture)"
missing=()
while read -r pkg; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  # A package installed for two architectures (the armhf cross build adds
  # them) answers twice without an architecture: ask for this machine's own
  # first, then for an architecture-independent one.
  status="$(dpkg-query -W -f='${Status}' "$pkg:$arch" 2>/dev/null ||
            dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)"
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done < "$list"
if ((${#missing[@]} == 0)); then
  exit 0
fi
echo "setup: installing ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
# On a shared machine another install may hold dpkg's lock: wait for it.
wait_lock=(-o DPkg::Lock::Timeout=900)
$sudo apt-get "${wait_lock[@]}" update
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait_lock[@]}" install -y --no-install-recommends "${missing[@]}"
