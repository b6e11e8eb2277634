#!/bin/sh
# Counts physical lines of the tests and of the product, and the tests'
# share of all of them. The project keeps tests at roughly a quarter to a
# third of all lines.
#
#   tests:   everything under tests/ (C++, Python, CMake, shell, case files)
#   product: src/, include/ and the Python package python/
#
#   sh scripts/count-lines.sh
set -eu
cd "$(dirname "$0")/.."
count() {  # folders...: physical lines of the tracked files in them
    git ls-files -- "$@" | while read -r f; do
        case $f in *.png | *.gz | *.wav | *.pdf) continue ;; esac
        cat "$f"
    done | wc -l
}
tests=$(count tests)
product=$(count src include python)
total=$((tests + product))
echo "tests:   $tests lines"
echo "product: $product lines"
awk -v t="$tests" -v a="$total" 'BEGIN { printf "tests are %.1f %% of all %d lines\n", 100 * t / a, a }'
