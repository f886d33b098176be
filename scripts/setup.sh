#!/usr/bin/env bash
# Installs what Orvane needs to build, run and test on Debian 12, then configures and builds it.
# Usage: scripts/setup.sh [build-dir]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}

packages=(
  build-essential cmake pkg-config
  qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev qtmultimedia5-dev qtdeclarative5-dev-tools
  qml-module-qtquick2 qml-module-qtquick-controls qml-module-qtquick-controls2
  qml-module-qtquick-dialogs qml-module-qtquick-layouts qml-module-qtquick-window2
  qml-module-qtquick-privatewidgets qml-module-qtqml-models2
  qml-module-qt-labs-settings qml-module-qt-labs-folderlistmodel
  qml-module-qtmultimedia qml-module-qttest
  libqt5multimedia5-plugins gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base-apps
  libgl1-mesa-dri libegl1 libegl-mesa0 libgbm1 libgl-dev xvfb xauth fonts-dejavu-core openbox libqt5svg5
  git clang-format
  dpkg-dev file desktop-file-utils systemd
  libqt5websockets5-dev libboost-dev
  chromium chromium-driver python3-selenium xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
