#!/usr/bin/env bash
# Installs what is missing, builds the DLL for x86_64 and i686 and the native
# kernel suites, runs every test (native kernels under ASan/UBSan, short
# libFuzzer runs of clang builds of the kernels, the SWF writer and the
# decoders; the DLL's C++ suite, the VBScript/JScript suites and the guide's
# example scripts under 64-bit Wine and, for the i686 DLL, under 32-bit Wine in
# an i386 chroot) and ends with a pass/fail summary per architecture and one
# for the whole run.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
logs="$root/build/logs"

bash scripts/bootstrap.sh || { echo "bootstrap failed"; exit 1; }
mkdir -p "$logs"

failed_steps=()
step() {  # step NAME COMMAND...: runs quietly, shows the log on failure
  local name=$1; shift
  if "$@" >"$logs/$name.log" 2>&1; then
    echo "ok    $name"
  else
    echo "FAIL  $name (log: build/logs/$name.log)"
    tail -n 40 "$logs/$name.log"
    failed_steps+=("$name")
  fi
}

for preset in native native-fuzz mingw-x64 mingw-x86; do
  step "configure-$preset" cmake --preset "$preset"
  step "build-$preset" cmake --build --preset "$preset"
done

passed=0            # test cases passed, over all suites
failed=0            # test cases failed
suites_failed=0     # suites that failed (a crash reports no case counts)
summaries=()        # one line per preset
run_ctest() {  # run_ctest PRESET: runs its suites, adds their case counts
  local preset=$1 log="$logs/ctest-$1.log"
  local passed0=$passed failed0=$failed suites0=$suites_failed
  ctest --preset "$preset" -V >"$log" 2>&1
  grep -E '^ *[0-9]+/[0-9]+ Test|tests passed, ' "$log" | sed -E 's/^[0-9]+: //'
  grep -E -B2 -A20 '^\[  FAILED  \]|^not ok|FAIL:' "$log" | head -n 80 || true
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "FAIL  ctest-$preset ran no test"
    suites_failed=$((suites_failed + 1))
    summaries+=("$preset: no test ran")
    return
  fi
  suites_failed=$((suites_failed + $(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")))
  # GoogleTest's closing lines and the script suites' "N passed, N failed".
  local n
  while read -r n; do passed=$((passed + n)); done < <(sed -nE 's/^([0-9]+: )?\[  PASSED  \] ([0-9]+) tests?.*/\2/p' "$log")
  while read -r n; do failed=$((failed + n)); done < <(sed -nE 's/^([0-9]+: )?\[  FAILED  \] ([0-9]+) tests?, listed below.*/\2/p' "$log")
  while read -r p f; do passed=$((passed + p)); failed=$((failed + f)); done \
    < <(sed -nE 's/^([0-9]+: )?[A-Za-z_]+: ([0-9]+) passed, ([0-9]+) failed.*/\2 \3/p' "$log")
  local p=$((passed - passed0)) f=$((failed - failed0)) s=$((suites_failed - suites0))
  if [ "$p" -eq 0 ] && [ "$f" -eq 0 ]; then
    # Suites without case counts (the fuzz runs): each ctest entry is a case.
    p=$(( $(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line") - s ))
    passed=$((passed + p))
  fi
  [ "$f" -eq 0 ] && f=$s
  summaries+=("$(printf '%-10s %d passed, %d failed' "$preset:" "$p" "$f")")
}

[[ " ${failed_steps[*]} " == *" build-native "* ]] || run_ctest native
[[ " ${failed_steps[*]} " == *" build-native-fuzz "* ]] || run_ctest native-fuzz
[[ " ${failed_steps[*]} " == *" build-mingw-x64 "* ]] || run_ctest mingw-x64
bash scripts/wine-env.sh build/mingw-x64/wine-prefix stop
# 32-bit Wine lives in an i386 chroot; bootstrap.sh has made it.
[[ " ${failed_steps[*]} " == *" build-mingw-x86 "* ]] || run_ctest mingw-x86

# A suite that failed without reporting failed cases (a crash) still counts.
[ "$failed" -eq 0 ] && failed=$suites_failed
failed=$((failed + ${#failed_steps[@]}))
echo
echo "Per architecture (native: the portable kernels on this machine):"
printf '  %s\n' "${summaries[@]}"
echo "Summary (test cases of every suite, plus failed build steps):"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
