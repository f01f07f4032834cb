#!/bin/sh
# Installs every Debian 12 package the project needs to build, test and run.
set -e
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y \
  cmake ninja-build g++ pkg-config qt6-base-dev libusb-dev libudev-dev \
  libgtest-dev libgmock-dev libbenchmark-dev fonts-wqy-microhei binutils
# The clipboard integration test runs the control against a real X server.
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y xvfb xclip xauth
