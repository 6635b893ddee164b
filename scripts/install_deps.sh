#!/usr/bin/env bash
# Installs the Debian packages this project builds, tests and runs with:
# the one list of what the build, the tests and the demo need. Both README
# commands (scripts/run_demo.sh, scripts/test.sh) run it first.
# A no-op when every package is already installed; never asks questions.
# Installing needs Debian 12 (bookworm) with apt, a reachable package
# mirror, and root: run as root, or as a user that sudo lets run apt-get.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config ccache mold
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-14 libclang-rt-14-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev
  zlib1g-dev libsoundtouch-dev libsndfile1-dev libicu-dev
  # fonts for rendering, headless audio and screenshots
  fontconfig fonts-dejavu-core
  pulseaudio pulseaudio-utils sox libsox-fmt-base espeak-ng
  # registering file types for the user (and checking them in tests)
  shared-mime-info xdg-utils libfile-mimeinfo-perl desktop-file-utils
  xvfb xauth imagemagick xdotool
  # reading a window's properties (its owner, its stacking) in desktop tests
  x11-utils
  # the end-to-end tests' close requests to the programs' windows
  libxcb1-dev
  # the install benchmark's command-line baseline
  soundstretch
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "install_deps: missing packages: ${missing[*]}" >&2
    echo "install_deps: installing them needs root, and this user is not root and has no sudo." >&2
    echo "install_deps: run 'su -c \"$0\"' as root once (or install sudo and allow this user apt-get), then run this command again." >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "install_deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
