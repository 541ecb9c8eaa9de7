#!/usr/bin/env bash
# Adds the armhf architecture to dpkg if it is missing, then installs the
# board build's packages (tools/packages-armhf.txt) and, with --tests, those
# of the tests on emulated ARM (tools/packages-armhf-tests.txt).
#   tools/setup-armhf.sh [--tests]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/setup-deps.sh"   # cmake, ninja, pkg-config, the host's Qt tools (moc, rcc)
if ! dpkg --print-foreign-architectures | grep -qx armhf; then
  echo "setup: adding the armhf architecture"
  sudo=""; [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo dpkg --add-architecture armhf   # its lists come with the install's apt-get update
fi
"$here/setup-deps.sh" "$here/packages-armhf.txt"
if [[ "${1:-}" == --tests ]]; then
  "$here/setup-deps.sh" "$here/packages-armhf-tests.txt"
fi
