#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when one is missing.
#   bash scripts/deps.sh          the tests and benchmarks too, and clang-tidy (scripts/tidy.sh)
#   bash scripts/deps.sh --tests  also what only the test command uses: Chromium, in
#                                 which the service's support page is checked (a
#                                 download of about 100 MB the first time)
#   bash scripts/deps.sh day      what the main job builds (qorhost, the module, the simulated printer)
set -euo pipefail
pkgs=(cmake ninja-build g++ pkg-config libpugixml-dev nlohmann-json3-dev libsqlite3-dev libssl-dev openssl ccache
      libcpp-httplib-dev)
if [ "${1:-}" != "day" ]; then
  pkgs+=(libgtest-dev libgmock-dev libbenchmark-dev python3 curl clang-tidy)
fi
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
