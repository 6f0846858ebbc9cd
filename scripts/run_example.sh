#!/usr/bin/env bash
# Installs what is missing, builds the program and runs the example scenario.
# The program reads its configuration from the folder of the path it was started
# by, so a link to it inside the scenario folder runs that scenario.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target orbit
scenario="examples/${1:-leo}"
# On-board modules written in C are built into their images first.
for source in "$scenario"/*.c; do
  [ -e "$source" ] && bash scripts/build_module.sh "$source" "${source%.c}.img"
done
ln -sf "$(pwd)/build/orbit" "$scenario/orbit"
cd "$scenario"
exec ./orbit
