#!/usr/bin/env bash
# A private Wine prefix inside the build tree, for running the DLL and its
# tests. Never touches ~/.wine.
#
#   wine-env.sh PREFIX setup DLL...  create the prefix if needed, register each DLL
#   wine-env.sh PREFIX run PROGRAM [ARGS...]   run a Windows program there
#   wine-env.sh PREFIX cscript SCRIPT [ARGS...] run a script with cscript
#   wine-env.sh PREFIX examples FOLDER SCRIPT...  run example scripts, each
#                                    given FOLDER, and count those that finish
#   wine-env.sh PREFIX suite SCRIPT   run a test suite (.vbs or .js) with the
#                                    helpers of lib/testlib.* put in front
#   wine-env.sh PREFIX stop          end the prefix's wineserver
set -euo pipefail

prefix=$(realpath -m "$1")
action=$2
shift 2

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono/Gecko install prompts
export DISPLAY=

# Wine's output goes to files, never through a pipe: a process that Wine
# starts and leaves running (a COM surrogate, say) would hold a pipe open and
# keep its reader waiting. Shows stdout, then stderr less the host's
# "wine32 is missing" advice.
wine_cmd() {
  local out err rc=0
  out=$(mktemp "$prefix/.out.XXXXXX") err=$(mktemp "$prefix/.err.XXXXXX")
  wine "$@" >"$out" 2>"$err" </dev/null || rc=$?
  cat "$out"
  grep -v -e "wine32 is missing" -e "multiarch needs" -e "dpkg --add-architecture" -e "apt-get install wine32" \
    "$err" >&2 || true
  rm -f "$out" "$err"
  return "$rc"
}

create_prefix() {
  [ -f "$prefix/.rastelle-ready" ] && return 0
  mkdir -p "$prefix"
  wine_cmd wineboot -i >/dev/null 2>&1 || true
  # The fonts clients name resolve to the metric-compatible Liberation fonts.
  local reg="$prefix/fonts.reg"
  cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"
REG
  wine_cmd regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1
  wineserver -w 2>/dev/null || true
  touch "$prefix/.rastelle-ready"
}

# Windows form of a Unix path (Wine maps / to Z:).
winepath_of() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }

# Runs a joined suite; a missing summary line counts as a failure.
run_suite() {
  local out rc
  out=$(wine_cmd cscript //nologo "$(winepath_of "$1")") && rc=0 || rc=$?
  out=${out//$'\r'/}
  printf '%s\n' "$out"
  if ! grep -qE '^[A-Za-z]+: [0-9]+ passed, [0-9]+ failed' <<<"$out"; then
    echo "not ok - $2 stopped before its summary line"
    return 1
  fi
  return "$rc"
}

case "$action" in
  setup)
    create_prefix
    for dll in "$@"; do wine_cmd regsvr32 /s "$(winepath_of "$dll")"; done
    ;;
  run)
    program=$1; shift
    exec_args=()
    for a in "$@"; do exec_args+=("$a"); done
    # A GoogleTest program that crashed may still end with code 0 under Wine:
    # without its closing "[==========] N tests ... ran." line it failed.
    out=$(wine_cmd "$program" "${exec_args[@]}") && rc=0 || rc=$?
    printf '%s\n' "$out"
    if grep -q '^\[==========\] Running' <<<"$out" &&
       ! grep -qE '^\[==========\] [0-9]+ tests? from .* ran\.' <<<"$out"; then
      echo "$(basename "$program") stopped before its summary line (exit code $rc)"
      [ "$rc" -ne 0 ] || rc=1
    fi
    exit "$rc"
    ;;
  cscript)
    # cscript wants a Windows path or one relative to the current directory.
    script=$1; shift
    wine_cmd cscript //nologo "$(winepath_of "$script")" "$@"
    ;;
  examples)
    # Example scripts run one after another as a user runs them, each given
    # the output folder; one that does not say it finished failed.
    folder=$1; shift
    passed=0 failed=0
    for script in "$@"; do
      out=$(wine_cmd cscript //nologo "$(winepath_of "$script")" "$folder" 2>&1) || true
      if grep -q "example finished" <<<"$out"; then
        passed=$((passed + 1))
      else
        failed=$((failed + 1))
        echo "not ok - $(basename "$script"): ${out//$'\r'/}"
      fi
    done
    echo "examples: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    ;;
  suite)
    # Wine's VBScript cannot load code at run time (no ExecuteGlobal), so the
    # helpers and the suite are joined into one file; suite_path tells the
    # helpers where the suite's fixtures are. cscript ends with code 0 even
    # when a script dies, so a missing summary line is a failure.
    script=$(realpath "$1")
    ext=${script##*.}
    joined="$prefix/suites/$(basename "$script")"
    mkdir -p "$prefix/suites"
    if [ "$ext" = vbs ]; then
      { cat "$(dirname "$script")/lib/testlib.vbs"
        printf '\r\nsuite_path = "%s"\r\n' "$(winepath_of "$script")"
        cat "$script"; } > "$joined"
    else
      { printf 'var suite_path = "%s";\r\n' "$(winepath_of "$script" | sed 's|\\|\\\\|g')"
        cat "$(dirname "$script")/lib/testlib.js" "$script"; } > "$joined"
    fi
    cd "$(dirname "$script")"
    run_suite "$joined" "$(basename "$script")"
    ;;
  stop)
    [ -d "$prefix" ] || exit 0
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    ;;
  *)
    echo "wine-env.sh: unknown action $action" >&2
    exit 2
    ;;
esac
