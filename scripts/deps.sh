#!/bin/sh
# Installs the Debian packages the build and the tests need, only those missing.
set -eu
# clang and libclang-rt-14-dev (libFuzzer) build the fuzz targets only; the
# normal build uses g++.
# libsoxr-dev: the sinc resampler; libfftw3-dev: the quality tests and
# benchmark; python3-soundfile and sox: reading back the s24 and f32 files;
# python3-pil: bench/spectrogram.sh.
pkgs="g++ make cmake pkg-config zlib1g-dev libgtest-dev libbenchmark-dev python3 sox clang libclang-rt-14-dev"
pkgs="$pkgs libsoxr-dev libfftw3-dev python3-soundfile python3-pil"
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
