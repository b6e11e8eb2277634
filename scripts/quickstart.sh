#!/bin/sh
# Installs what is missing, builds the tool and converts the bundled example.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
echo "Built. The converter and its example arrive with the end-to-end work."
