#!/usr/bin/env bash
# Installs the Debian packages this project builds, tests and runs with.
# A no-op when every package is already installed; never asks questions.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config ccache mold
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-14 libclang-rt-14-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev
  zlib1g-dev libsoundtouch-dev libsndfile1-dev
  # fonts for rendering, headless audio and screenshots
  fontconfig fonts-dejavu-core
  pulseaudio pulseaudio-utils sox libsox-fmt-base espeak-ng
  # registering file types for the user (and checking them in tests)
  shared-mime-info xdg-utils libfile-mimeinfo-perl desktop-file-utils
  xvfb xauth imagemagick xdotool
  # the install benchmark's command-line baseline
  soundstretch
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install_deps: installing ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
