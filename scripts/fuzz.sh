#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, 20 by default) from its seed corpus. New inputs go to a work
# folder of the build, so the seeds in the repository stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-20}"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DORBIT_FUZZ=ON -DORBIT_BUILD_TESTS=OFF > /dev/null
cmake --build build-fuzz -j "$(nproc)"
# The on-board modules that the Objects.cfg seeds name, built from the
# example's sources into the Objects target's program folder.
for source in examples/onboard/acs.c examples/onboard/comm.c examples/detumble_coils/bdot.c; do
  bash scripts/build_module.sh "$source" "build-fuzz/tests/fuzz/objects/$(basename "$source" .c).img"
done
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# One target per core at a time; each writes its own run.log.
run_one() {
  local dir=$1 name=$2 seeds=$3
  mkdir -p "$dir/work"
  (cd "$dir" && "./fuzz_$name" -max_total_time="$seconds" -max_len=70000 -timeout=10 -rss_limit_mb=4096       -print_final_stats=1 work "$seeds" > run.log 2>&1)
  echo $? > "$dir/status"
}
targets=()
for target in build-fuzz/tests/fuzz/*/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] && targets+=("$target")
done
running=0
for target in "${targets[@]}"; do
  name=$(basename "$target"); name=${name#fuzz_}
  run_one "$(dirname "$target")" "$name" "$(pwd)/tests/fuzz/corpus/$name" &
  running=$((running + 1))
  if [ "$running" -ge "$(nproc)" ]; then wait -n; running=$((running - 1)); fi
done
wait
passed=0
failed=0
for target in "${targets[@]}"; do
  name=$(basename "$target"); name=${name#fuzz_}
  dir=$(dirname "$target")
  if [ "$(cat "$dir/status")" = 0 ]; then
    echo "fuzz $name: $(grep -E '^#[0-9]+' "$dir/run.log" | tail -1)"
    passed=$((passed + 1))
  else
    echo "fuzz $name: FAILED"; tail -40 "$dir/run.log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
