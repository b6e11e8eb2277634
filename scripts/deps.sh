#!/bin/sh
# Installs the Debian packages that are missing for what you mean to do.
#
#   sh scripts/deps.sh               build and use the tools (tavo2wav, tavoinfo)
#   sh scripts/deps.sh test          ... and build and run the test suite
#   sh scripts/deps.sh python        ... and build the Python package tavo
#   sh scripts/deps.sh fuzz          ... and build the fuzz targets
#   sh scripts/deps.sh bench         ... and run bench/run.sh
#   sh scripts/deps.sh profile       ... and run bench/profile.sh (with bench)
#   sh scripts/deps.sh all           everything (CI)
#   sh scripts/deps.sh --list GROUP  print the packages of the groups, install nothing
#
# Groups may be combined (sh scripts/deps.sh test fuzz); the tools' packages
# always come first.
set -eu

# libcairo2-dev and libfftw3-dev draw tavoinfo's pictures (--plot);
# libsoxr-dev is the sinc resampler (--resampler sinc).
tool="g++ make cmake pkg-config zlib1g-dev libcairo2-dev libfftw3-dev libsoxr-dev"
# GoogleTest with its matchers; Python runs the file checks (python3-pil
# reads the pictures back, python3-soundfile the s24 and f32 WAV files); sox
# runs the README's spectrogram example; ffmpeg (ffprobe), sndfile-programs
# (sndfile-info) and sox (soxi) read the WAV formats and the timeline's
# chunks back; poppler-utils (pdfinfo, pdftoppm) reads tavoinfo's PDF
# pictures back.
test="libgtest-dev libgmock-dev python3 python3-pil python3-soundfile sox ffmpeg sndfile-programs poppler-utils"
# The Python package tavo (python/) for Debian's /usr/bin/python3: pybind11
# builds the module, numpy holds the samples; pytest runs its tests,
# python3-distributed (dask) maps it over an archive in the README's session,
# which the test suite runs.  The test suite builds and tests the package.
python="pybind11-dev python3-pybind11 python3-dev python3-numpy python3-pytest python3-distributed"
# clang and libclang-rt-14-dev (libFuzzer) build the fuzz targets only; the
# normal build uses g++.
fuzz="clang libclang-rt-14-dev"
# GNU time measures the peak memory; sox is the benchmark's reference;
# python3-pil draws bench/sweep_picture.sh's picture.
bench="libbenchmark-dev sox time python3-pil"
# perf samples where the time goes in bench/profile.sh.
profile="linux-perf"

list=0
if [ "${1:-}" = "--list" ]; then
  list=1
  shift
fi
pkgs=$tool
for group in "$@"; do
  case $group in
    test) pkgs="$pkgs $test $python" ;;
    python) pkgs="$pkgs $python" ;;
    fuzz) pkgs="$pkgs $fuzz" ;;
    bench) pkgs="$pkgs $bench" ;;
    profile) pkgs="$pkgs $profile" ;;
    all) pkgs="$pkgs $test $python $fuzz $bench $profile" ;;
    *) echo "deps.sh: unknown group '$group' (test, python, fuzz, bench, profile or all)" >&2; exit 2 ;;
  esac
done
if [ $list -eq 1 ]; then
  echo $pkgs
  exit 0
fi

missing=""
for p in $pkgs; do
  case " $missing " in *" $p "*) continue ;; esac
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
