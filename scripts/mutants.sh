#!/bin/sh
# The suite's power to find faults: applies each one-line fault of
# scripts/mutants.txt, in turn, to a scratch copy of the source tree,
# rebuilds it incrementally, runs the quick suite and restores the line.
# A fault the suite fails on is killed; one it passes survived. Prints one
# line per fault and the count of each; exits 1 when any survived.
#
#   sh scripts/mutants.sh [PATTERN]     only the faults whose name matches
#
# Each fault is a line "name|file|text|replacement" (the text must occur
# exactly once in the file). Takes a while: one incremental build and one
# quick suite per fault; it is not part of CI.
set -eu
cd "$(dirname "$0")/.."
pattern=${1:-}
sh scripts/deps.sh test
scratch=${MUTANTS_DIR:-/tmp/tavo-mutants}
mkdir -p "$scratch"
# The tracked files as they are now, uncommitted changes included.
git ls-files -z | xargs -0 tar cf - | (cd "$scratch" && tar xf -)
cmake -S "$scratch" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
    -DTAVO_BUILD_BENCH=OFF >/dev/null
cmake --build "$scratch/build" -j "$(nproc)" >/dev/null
killed=0
survived=0
while IFS='|' read -r name file text replacement; do
    case $name in '' | '#'*) continue ;; esac
    case $name in *"$pattern"*) ;; *) continue ;; esac
    target="$scratch/$file"
    cp "$target" "$target.orig"
    if ! python3 - "$target" "$text" "$replacement" <<'PY'
import sys
path, text, replacement = sys.argv[1:4]
src = open(path).read()
if src.count(text) != 1:
    sys.exit(f"{path}: the text occurs {src.count(text)} times: {text}")
open(path, "w").write(src.replace(text, replacement))
PY
    then
        echo "BROKEN   $name (the fault's text is not in $file once)"
        mv "$target.orig" "$target"
        survived=$((survived + 1))
        continue
    fi
    if ! cmake --build "$scratch/build" -j "$(nproc)" >/dev/null 2>&1; then
        result="killed (does not build)"
    elif ctest --test-dir "$scratch/build" -j "$(nproc)" -LE slow --stop-on-failure \
        >/dev/null 2>&1; then
        result="SURVIVED"
    else
        result="killed"
    fi
    mv "$target.orig" "$target"
    touch "$target"
    case $result in SURVIVED) survived=$((survived + 1)) ;; *) killed=$((killed + 1)) ;; esac
    printf '%-9s %s\n' "$result" "$name"
done < scripts/mutants.txt
cmake --build "$scratch/build" -j "$(nproc)" >/dev/null
echo "$killed killed, $survived survived"
[ "$survived" -eq 0 ]
