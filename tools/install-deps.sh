#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running quorvel need, skipping the
# ones already there; apt-get runs only when something is missing. Uses sudo when not root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libssl-dev openssl python3 curl time
  qt6-base-dev
  xvfb xauth xdotool xclip x11-utils imagemagick fonts-wqy-microhei openbox
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} > 0)); then
  sudo=()
  if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi
