#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running need.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends \
  g++ cmake ninja-build pkg-config ccache mold python3 \
  qt6-base-dev qt6-svg-dev libgl-dev \
  libicu-dev libgtest-dev libgmock-dev libbenchmark-dev \
  libssl-dev libarchive-dev xvfb xauth libqt6gui6 \
  libxcb1-dev libxcb-xfixes0-dev libxcb-xinput-dev libxcb-screensaver0-dev \
  openbox xcompmgr x11-xserver-utils x11-utils imagemagick xdotool trayer \
  fonts-dejavu-core fonts-material-design-icons-iconfont fonts-noto-color-emoji
