#!/usr/bin/env bash
# Installs the Debian 12 packages this project needs, only those missing.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libssl-dev openssl libgtest-dev libgmock-dev libbenchmark-dev
          procps iproute2 ca-certificates)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
