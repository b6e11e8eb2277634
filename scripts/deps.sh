#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
set -eu
# clang and libclang-rt-14-dev (libFuzzer) build the fuzz targets only; the
# normal build uses g++.  libcairo2-dev and libfftw3-dev draw tavoinfo's
# pictures (--plot); python3-pil reads them back in the tests.
pkgs="g++ make cmake pkg-config zlib1g-dev libgtest-dev libbenchmark-dev python3 sox clang libclang-rt-14-dev
libcairo2-dev libfftw3-dev python3-pil"
missing=""
for p in $pkgs; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
