#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when one is missing.
# With --tests also what only the tests use: Chromium, in which the service's
# support page is checked (a download of about 100 MB the first time).
set -euo pipefail
pkgs=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
      libpugixml-dev nlohmann-json3-dev libsqlite3-dev libssl-dev openssl ccache
      libcpp-httplib-dev python3 curl)
if [ "${1:-}" = "--tests" ]; then
  pkgs+=(chromium)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
