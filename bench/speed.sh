#!/usr/bin/env bash
# Times the reference scenario (examples/reference) as a user runs it: headless,
# in virtual time, at the fastest speed, and prints simulated seconds per wall
# and per processor second and the peak resident memory for each case:
#   reference   one CubeSat with the on-board B-dot module and three coils
#   builtin     the same CubeSat with the built-in B-dot instead of module and coils
#   sats10      ten reference CubeSats
#   sats100     a hundred reference CubeSats
# Each case records the reference columns of its first satellite (builtin:
# without the coils' columns), so that every case writes the same rows.
# The test suite runs every case for one simulated minute, so that a case the
# program refuses does not go unnoticed.
# Usage: bash bench/speed.sh [build dir] [end time] [cases...]
#   end time as Multipass.cfg writes it, default "02.01.2006, 00:00" (one day);
#   "01.01.2006, 01:00" times the first, tumbling hour.
# Set ORBIT_PERF=1 to record each case with perf into <case>.perf.data in the
# current folder; its ten most expensive functions are then shown by
#   perf report -i reference.perf.data --no-children --sort symbol --stdio | grep % | head
# (the emulator's opcode handlers are separate functions only where the
# compiler did not fold them into the run loop).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
end="${2:-02.01.2006, 00:00}"
shift $(( $# > 2 ? 2 : $# ))
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(reference builtin sats10 sats100)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash "$root/scripts/build_module.sh" "$root/examples/reference/bdot.c" "$work/bdot.img"

# The reference satellite block with every "CUBESAT" renamed.
satellite_block() {
  sed -n '/^satelit/,/^end/p' "$root/examples/reference/Objects.cfg" | sed "s/\"CUBESAT\"/\"$1\"/"
}

# The reference block without module and coils, with the built-in B-dot.
builtin_block() {
  satellite_block CUBESAT | sed -e '/onboard_module/,/^    end/d' -e '/^    coil "/,/^    end/d' \
    -e 's/^end$/    internal_b_dot_controller = 5000, 0.02, 0.02, 0.02, 1s\nend/'
}

# The reference columns of the satellite named $1; without the coils' columns
# when $2 is "nocoils".
data_output() {
  awk -v coils="${2:-}" '/^    value$/ { block = $0 "\n"; inside = 1; next }
    inside { block = block $0 "\n"; if ($0 ~ /^    end$/) { inside = 0; if (coils != "nocoils" || block !~ /_COIL_/) printf "%s", block }; next }
    { print }' "$root/examples/reference/DataOutput.cfg" | sed "s/\"CUBESAT\"/\"$1\"/"
}

prepare() {
  local dir="$work/$1"
  mkdir -p "$dir"
  cp "$root/examples/reference/"{cubesat.mass,cubesat.surf,reference.tle,Orbit.cfg} "$work/bdot.img" "$dir/"
  sed "s/^endtime = .*/endtime = UT(\"$end\")/" "$root/examples/reference/Multipass.cfg" > "$dir/Multipass.cfg"
  case "$1" in
    reference) satellite_block CUBESAT > "$dir/Objects.cfg"; data_output CUBESAT > "$dir/DataOutput.cfg" ;;
    builtin) builtin_block > "$dir/Objects.cfg"; data_output CUBESAT nocoils > "$dir/DataOutput.cfg" ;;
    sats*) for i in $(seq 1 "${1#sats}"); do satellite_block "CUBESAT$i"; done > "$dir/Objects.cfg"
      data_output CUBESAT1 > "$dir/DataOutput.cfg" ;;
    *) echo "unknown case $1" >&2; exit 2 ;;
  esac
  ln -s "$build/orbit" "$dir/orbit"
}

# Simulated seconds from the start and end times of Multipass.cfg.
start_epoch=$(date -u -d "2006-01-01 00:00" +%s)
end_epoch=$(echo "$end" | sed -E 's/^(..)\.(..)\.(....), (..):(..).*/\3-\2-\1 \4:\5/' | xargs -I{} date -u -d {} +%s)
simulated=$((end_epoch - start_epoch))

# Wall and processor seconds: on a machine shared with other work the wall
# time also holds the time the program waited for a processor. Peak resident
# memory in MiB, and per satellite.
printf "%-10s %10s %9s %9s %14s %14s %9s %9s\n" case simulated wall cpu "sim s/wall s" "sim s/cpu s" "peak MiB" "MiB/sat"
for name in "${cases[@]}"; do
  prepare "$name"
  runner=()
  [ "${ORBIT_PERF:-0}" = 1 ] && runner=(perf record -F 2000 -o "$PWD/$name.perf.data" --)
  (cd "$work/$name" && ORBIT_HEADLESS=1 ORBIT_VIRTUAL_TIME=1 /usr/bin/time -o time.txt -f "%e %U %S %M" \
    "${runner[@]}" ./orbit > stdout.txt 2>&1) ||
    { echo "$name: the program failed" >&2; tail -5 "$work/$name/stdout.txt" >&2; exit 1; }
  sats=$(grep -c '^satelit' "$work/$name/Objects.cfg")
  tail -1 "$work/$name/time.txt" | awk -v n="$name" -v s="$simulated" -v k="$sats" \
    '{ c = $2 + $3; m = $4 / 1024; printf "%-10s %9ds %8.2fs %8.2fs %14.0f %14.0f %9.1f %9.2f\n", n, s, $1, c, s / $1, s / c, m, m / k }'
done
