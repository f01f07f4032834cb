#!/bin/sh
# Installs every Debian 12 package the project needs to build, test and run.
# The tests use only the fonts of the font packages here (tests/fonts).
set -e
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y \
  cmake ninja-build g++ pkg-config qt6-base-dev libusb-dev libudev-dev \
  libgtest-dev libgmock-dev libbenchmark-dev binutils \
  fonts-dejavu-core fonts-wqy-microhei poppler-utils \
  xvfb x11-xkb-utils xclip xauth xdotool
