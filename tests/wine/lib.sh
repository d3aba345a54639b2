# shellcheck shell=bash disable=SC2034  # variables here are read by the tests that source it
# Shared harness for the end-to-end tests under Wine; sourced by every tests/wine/t_*.sh.
#
# Each test gets its own Wine prefix, copied from one template that tests/wine/run.sh makes
# once per run (a test run on its own makes the template itself). The service control manager
# lives in the prefix's wineserver, so tests run one at a time and each keeps its wineserver
# alive until its trap ends it and removes the prefix. Only wineservers of prefixes made
# here are ever stopped.

shopt -s extglob

WINE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WINE_BUILD=${WINE_BUILD:-$WINE_ROOT/build/mingw-x86}
# The exe under test (tests/wine/run.sh sets it from its argument); the helpers come from
# WINE_BUILD whichever exe is tested, so that runs of two exes differ only in the exe.
TOOL_EXE=${TOOL_EXE:-$WINE_BUILD/tembra-uninstall.exe}
SERVICE_EXE=$WINE_BUILD/sample-service.exe
MESSAGE_EXE=$WINE_BUILD/message-text.exe
SERVICE_NAME=tembra_service
SUCCESS_LINE=$'Service uninstalled successfully. Resource cleanup warnings can be ignored.\n'

export WINEDEBUG=-all
# The machine's environment sets RUST_BACKTRACE; the reports under test must not depend on
# it, so a test that wants it sets it on the call itself.
unset RUST_BACKTRACE RUST_LIB_BACKTRACE

PASSED=0
FAILED=0
T=
RC=
_OWN_TEMPLATE=

if [[ ! -f $TOOL_EXE ]]; then
  echo "missing $TOOL_EXE, the exe under test: build its preset first" >&2
  exit 2
fi
for exe in "$SERVICE_EXE" "$MESSAGE_EXE"; do
  if [[ ! -f $exe ]]; then
    echo "missing $exe: build the mingw-x86 preset first" >&2
    exit 2
  fi
done

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Makes a ready prefix at $1; a service created while a prefix is still being set up vanishes.
# Wine's gstreamer registration can abort the 32-bit pass of the set-up under qemu
# ("unimplemented function mfplat.dll.MFTRegister"), which leaves that half of the prefix
# unfinished; nothing here plays media, so the set-up goes without it.
# Wine's service control manager gives a service process ServicesPipeTimeout ms (a string value;
# 10000 unless set) to answer a start or a control, and a 32-bit service under qemu on a loaded
# machine can take longer: the stop request then fails after 10 s, as if the service had refused
# it. Windows' own default is 30 s; the tests wait for it, not for the machine.
wine_template_make() {
  mkdir -p "$1"
  if ! WINEPREFIX=$1 WINEDLLOVERRIDES=winegstreamer=d wine wineboot --init >/dev/null 2>&1 ||
    ! WINEPREFIX=$1 wine reg add 'HKLM\System\CurrentControlSet\Control' /v ServicesPipeTimeout \
      /t REG_SZ /d 120000 /f >/dev/null 2>&1; then
    echo "wineboot --init or reg add failed" >&2
    return 1
  fi
  WINEPREFIX=$1 wineserver -w
  wine_prefix_check "$1" && touch "$1/$_MADE"
}

# wine_prefix_check PREFIX: both halves of the set-up completed (the 64-bit and the 32-bit
# program folders exist and the registry names them expanded), and services get their time. An
# unfinished 32-bit pass leaves the 32-bit ProgramFilesDir as
# str(2):"%SystemDrive%\\Program Files (x86)", which installers take as it stands (and then
# install nowhere).
wine_prefix_check() {
  local folder entry value
  for folder in "Program Files" "Program Files (x86)"; do
    [[ -d $1/drive_c/$folder ]] || {
      echo "prefix $1: no C:\\$folder: Wine's set-up did not complete" >&2
      return 1
    }
  done
  # A key of system.reg and a value line under it, escaped as the file holds them.
  for entry in '[Software\\Microsoft\\Windows\\CurrentVersion]|"ProgramFilesDir"="C:\\Program Files"' \
    '[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion]|"ProgramFilesDir"="C:\\Program Files (x86)"' \
    '[System\\CurrentControlSet\\Control]|"ServicesPipeTimeout"="120000"'; do
    value=${entry#*|}
    KEY=${entry%%|*} VALUE=$value awk '
      /^\[/ { ours = index($0, ENVIRON["KEY"] " ") == 1 }
      ours && $0 == ENVIRON["VALUE"] { found = 1 }
      END { exit !found }' "$1/system.reg" && continue
    echo "prefix $1: system.reg lacks $value under ${entry%%|*}; it holds:" >&2
    grep -F "${value%%=*}=" "$1/system.reg" | sed 's/^/  /' >&2
    return 1
  done
}

_wine_cleanup() {
  local status=$? written
  if [[ -n $T && -d $T ]]; then
    [[ -d $T/prefix ]] && WINEPREFIX=$T/prefix wineserver -k 2>/dev/null
    rm -rf "$T"
    mapfile -t written < <(wine_template_written)
    if ((${#written[@]} > 0)); then
      echo "this test wrote into files its prefix shares with the template $WINE_TEMPLATE:" >&2
      printf '  %s\n' "${written[@]}" >&2
      status=1
    fi
  fi
  if [[ -n $_OWN_TEMPLATE && -d $_OWN_TEMPLATE ]]; then
    WINEPREFIX=$_OWN_TEMPLATE/prefix wineserver -k 2>/dev/null
    rm -rf "$_OWN_TEMPLATE"
  fi
  exit "$status"
}
trap _wine_cleanup EXIT
trap 'exit 143' TERM INT

# Makes the template prefix unless WINE_TEMPLATE names one; this shell removes it at exit.
wine_template_ensure() {
  [[ -n ${WINE_TEMPLATE:-} ]] && return 0
  _OWN_TEMPLATE=$(mktemp -d /tmp/tembra-wine-template.XXXXXX)
  WINE_TEMPLATE=$_OWN_TEMPLATE/prefix
  wine_template_make "$WINE_TEMPLATE" || {
    echo "could not make a Wine prefix that is fit for the tests" >&2
    exit 2
  }
}

# A prefix is 1.3 GB, nearly all of it Wine's own DLLs and code page tables under
# drive_c/windows; copying them took 4 to 5 CPU seconds a test. A copy shares those files (64 KiB
# or more) with the template as hard links, and has its own copy of everything else: the
# registry, the folders, the small files. A program that wrote into a shared file in place would
# change it for every later test; nothing the tests run does, and each test's end checks that
# none did (no file of the template is newer than its time stamp, $_MADE).
_MADE=.tembra-template-made
wine_prefix_copy() {
  cp -al "$1" "$2" &&
    (cd "$1" && find . -type f ! \( -path './drive_c/windows/*' -size +63k \) -print0 |
      xargs -0r cp -p --parents --remove-destination -t "$2")
}

# Prints the files of the template written since it was made.
wine_template_written() {
  [[ -f $WINE_TEMPLATE/$_MADE ]] || return 0
  find "$WINE_TEMPLATE" -newer "$WINE_TEMPLATE/$_MADE" ! -type d
}

# Sets WINEPREFIX to a fresh copy of the template and $T to this test's scratch directory.
wine_prefix_new() {
  wine_template_ensure
  T=$(mktemp -d /tmp/tembra-wine-test.XXXXXX)
  wine_prefix_copy "$WINE_TEMPLATE" "$T/prefix" || {
    echo "could not copy the template prefix $WINE_TEMPLATE" >&2
    exit 2
  }
  export WINEPREFIX=$T/prefix
  # Services live only while the wineserver does.
  wineserver -p
  # The first program in a fresh copy starts seconds slower than later ones and brings up the
  # service manager: start one here, before the runs under test.
  wine sc query "$SERVICE_NAME" >/dev/null 2>&1
}

# install_service stop|nostop
install_service() {
  cp "$SERVICE_EXE" "$WINEPREFIX/drive_c/svc.exe"
  wine sc create "$SERVICE_NAME" binPath= "C:\\svc.exe $1" >/dev/null
}

# Starts the service and waits until it reports RUNNING.
start_service() {
  wine sc start "$SERVICE_NAME" >/dev/null
  wait_for_state RUNNING
}

# wait_for_state STATE: waits (at most 60 s) until service_state prints STATE.
wait_for_state() {
  local deadline=$(($(now_ms) + 60000))
  while (($(now_ms) < deadline)); do
    [[ $(service_state) == "$1" ]] && return 0
    sleep 0.5
  done
  echo "service did not reach $1" >&2
  return 1
}

# Prints the STATE word of the service, or "absent" when it does not exist.
service_state() {
  local state
  state=$(wine sc query "$SERVICE_NAME" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *STATE *: *[0-9]* *\([A-Z_]*\).*/\1/p')
  echo "${state:-absent}"
}

# run_tool [args...]: stdout in $T/out, stderr in $T/err, exit status in $RC.
run_tool() {
  WINEDLLOVERRIDES=winedbg.exe=d wine "$TOOL_EXE" "$@" >"$T/out" 2>"$T/err"
  RC=$?
}

# An awk function: the number that lower-case hex digits stand for.
AWK_HEX='function hex(text, i, n) {
  for (i = 1; i <= length(text); i++) n = n * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
  return n
}'

# run_traced [args...]: run_tool under Wine's relay trace, which shows every call a Windows
# program makes into the system's DLLs, with Wine's time stamps. stdout in $T/out, exit status
# in $RC, Wine's whole output in $T/trace; in $T/calls one line per call made from the exe's own
# image (its return address there), in the order made, with tab-separated fields: name,
# arguments, result (empty when it never returned), call time, return time (ms). The trace
# comes on the unix stderr the exe writes to as well; its lines begin "<s>.<ms>:<pid>:<tid>:",
# and where a write of the exe ends without a line feed the next trace line is glued to it,
# its seconds then a suffix of the digits there. The exe's own text goes to $T/err.
run_traced() {
  local image
  image=$("${OBJDUMP:-i686-w64-mingw32-objdump}" -p "$TOOL_EXE" |
    awk '$1 == "ImageBase" { base = $2 } $1 == "SizeOfImage" { size = $2 } END { print base, size }')
  WINEDEBUG=-all,+timestamp,+pid,+relay WINEDLLOVERRIDES=winedbg.exe=d \
    wine "$TOOL_EXE" "$@" >"$T/out" 2>"$T/trace"
  RC=$?
  : >"$T/err"
  awk -v image="$image" -v err="$T/err" "$AWK_HEX"'
    BEGIN { split(image, p, " "); low = hex(p[1]); high = low + hex(p[2]) }
    {
      at = match($0, /[0-9]+\.[0-9][0-9][0-9]:[0-9a-f][0-9a-f][0-9a-f][0-9a-f]+:[0-9a-f][0-9a-f][0-9a-f][0-9a-f]+:/)
      # Time stamps only grow: after the first, the shortest run of the digits without a
      # leading zero that is not before the last time stamp is this one.
      if (at && stamps++) {
        for (seconds = index(substr($0, at), ".") - 1; seconds > 1; seconds--) {
          digits = substr($0, at + seconds - 1, 99)
          if (digits !~ /^0/ && digits + 0 >= last) break
        }
        at += seconds - 1
      }
      if (!at) { print > err; next }
      printf "%s", substr($0, 1, at - 1) > err
      line = substr($0, at)
      split(line, field, ":")
      last = field[1] + 0
      time = int(field[1] * 1000 + 0.5)
      # The first line is the exe'"'"'s process starting; another process may have the same image base.
      if (process == "") process = field[2]
      if (field[2] != process) next
      thread = field[3]
      line = substr(line, length(field[1] field[2] field[3]) + 4)
      if (!match(line, / ret=[0-9a-f]+$/) || hex(substr(line, RSTART + 5)) < low || hex(substr(line, RSTART + 5)) >= high) next
      line = substr(line, 1, RSTART - 1)
      if (line ~ /^Call [^ (]+\.[^ (]+\(.*\)$/) {
        name[++calls] = substr(line, 6, index(line, "(") - 6)
        args[calls] = substr(line, index(line, "(") + 1, length(line) - index(line, "(") - 1)
        called[calls] = time
        stack[thread, ++depth[thread]] = calls
      } else if (line ~ /^Ret  [^ (]+\(\) retval=/) {
        callee = substr(line, 6, index(line, "(") - 6)
        while (depth[thread] > 0 && name[stack[thread, depth[thread]]] != callee) depth[thread]--
        if (depth[thread] > 0) {
          done = stack[thread, depth[thread]--]
          result[done] = substr(line, index(line, "retval=") + 7)
          returned[done] = time
        }
      }
    }
    END { for (i = 1; i <= calls; i++) printf "%s\t%s\t%s\t%s\t%s\n", name[i], args[i], result[i], called[i], returned[i] }
  ' "$T/trace" >"$T/calls"
}

# assert_calls MSG PROGRAM: PROGRAM, an awk program over the lines of $T/calls (run_traced; fields
# $1 to $5), prints what is wrong; the check passes when it prints nothing.
assert_calls() {
  local found
  found=$(awk -F'\t' "$2" "$T/calls")
  [[ -n $2 ]] || found="no such check"
  if [[ -z $found ]]; then
    _pass "$1"
  else
    _fail "$1"
    head -n 5 <<<"$found" | sed 's/^/       /'
  fi
}

# Prints the platform's message text for CODE with its trailing white space removed, as the
# failure report shows it.
wine_message() {
  local text
  text=$(wine "$MESSAGE_EXE" "$1") || return 1
  text=${text%%+([[:space:]])}
  [[ -n $text ]] || return 1
  printf '%s' "$text"
}

# The report of a failed call with os error CODE.
failure_report() {
  local message
  message=$(wine_message "$1") || {
    echo "no platform message for $1" >&2
    return 1
  }
  printf 'Error: IO error in winapi call\n\nCaused by:\n    %s (os error %s)\n' "$message" "$1"
}

_pass() {
  PASSED=$((PASSED + 1))
  echo "  ok   $1"
}

_fail() {
  FAILED=$((FAILED + 1))
  echo "  FAIL $1"
}

# assert_eq EXPECTED ACTUAL MSG
assert_eq() {
  if [[ $1 == "$2" ]]; then
    _pass "$3"
  else
    _fail "$3"
    printf '       expected: %q\n       actual:   %q\n' "$1" "$2"
  fi
}

# assert_ge ACTUAL MINIMUM MSG (integers)
assert_ge() {
  if (($1 >= $2)); then
    _pass "$3 ($1 >= $2)"
  else
    _fail "$3 ($1 < $2)"
  fi
}

# assert_file_bytes FILE EXPECTED: FILE holds exactly the bytes of EXPECTED.
assert_file_bytes() {
  local expected_file
  expected_file=$(mktemp "$T/expected.XXXXXX")
  printf '%s' "$2" >"$expected_file"
  if cmp -s "$expected_file" "$1"; then
    _pass "$(basename "$1") is exactly $(printf '%q' "$2")"
  else
    _fail "$(basename "$1") differs"
    echo "       expected:"
    od -c "$expected_file" | sed 's/^/         /'
    echo "       actual:"
    od -c "$1" | sed 's/^/         /'
  fi
  rm -f "$expected_file"
}

# Ends the test: exit status 0 only when every assertion passed and at least one was made.
test_done() {
  echo "  $PASSED assertions passed, $FAILED failed"
  ((FAILED == 0 && PASSED > 0))
  exit $?
}
