#!/usr/bin/env bash
# Builds the example installers (examples/nsis/tembra.nsi, examples/msi/tembra.wxs) from a folder
# laid out as a vendor has it, the release zip's files beside the sample service, and runs them
# under Wine, each case of each recipe in a fresh prefix. Every case starts with a silent install
# (exit status 0, service RUNNING, files in place, the licence notices among them as shipped),
# then:
#   uninstall        exit status 0, service gone, files gone
#   service gone     the service was removed behind the installer's back: exit status 0
#   marked for deletion
#                    the service accepts no stop, so the tool only marks it for deletion; its
#                    program runs from the product folder, or from elsewhere: the NSIS
#                    uninstaller ends with 3010 and leaves what it cannot delete to the next
#                    restart; msiexec under Wine ends with 0 and leaves the file in use
#   removal fails    the service accepts no stop and an earlier run of the tool marked it for
#                    deletion, so the tool reports os error 1072: the uninstall fails, the
#                    report is kept (without a backtrace, RUST_BACKTRACE=1 notwithstanding),
#                    the files stay
#   Japanese system  NSIS, service gone, the report in Japanese: the log and the details hold
#                    it as written
# and the package's tables: where the tool's action sits, its type, no deletion of the service.
# Usage: tests/installers/run.sh [build folder [text]]   (default build/mingw-x86; with a text,
# only the cases whose names hold it, e.g. "nsis: uninstall, service marked")
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
WINE_BUILD=$(realpath -m -- "${1:-$root/build/mingw-x86}")
only=${2:-}
TOOL_EXE=$WINE_BUILD/tembra-uninstall.exe
# shellcheck source=tests/wine/lib.sh
source "$root/tests/wine/lib.sh"

setup_exe=$WINE_BUILD/installers/tembra-setup.exe
details_setup_exe=$WINE_BUILD/installers/tembra-details-setup.exe
msi=$WINE_BUILD/installers/tembra.msi
default_folder='C:\Program Files (x86)\Tembra'
chosen_folder='C:\Vendor Apps\Tembra'

# What the recipes are given: the zip's files that come from the repository as they are, the
# exe from the build folder, and the sample service for the vendor's own. README.md is there to
# show that the recipes pick what they install rather than the whole folder.
tool_dir=$WINE_BUILD/installers/tool
notices="LICENSE THIRD-PARTY-NOTICES.txt"
rm -rf "$tool_dir"
mkdir -p "$tool_dir"
cp "$TOOL_EXE" "$SERVICE_EXE" "$tool_dir/" || exit 2
for file in $notices README.md; do
  cp "$root/$file" "$tool_dir/" || exit 2
done

echo "building the installers into $WINE_BUILD/installers from $tool_dir"
makensis -V2 -DTOOL_DIR="$tool_dir" -DOUTFILE="$setup_exe" "$root/examples/nsis/tembra.nsi" || exit 2
# The recipe with every DetailPrint also written to C:\details.txt (a silent uninstall shows no
# details).
details_nsi=$WINE_BUILD/installers/tembra-details.nsi
{
  cat <<'EOF'
Var test_details
!macro TEST_DETAIL text
  DetailPrint `${text}`
  FileOpen $test_details "C:\details.txt" a
  FileSeek $test_details 0 END
  FileWriteUTF16LE $test_details `${text}$\r$\n`
  FileClose $test_details
!macroend
EOF
  sed 's/^\( *\)DetailPrint /\1!insertmacro TEST_DETAIL /' "$root/examples/nsis/tembra.nsi"
} >"$details_nsi"
makensis -V2 -DTOOL_DIR="$tool_dir" -DOUTFILE="$details_setup_exe" "$details_nsi" || exit 2
# wixl takes Source paths relative to the current folder only.
(cd "$root" && wixl -a x86 -D ToolDir="$(realpath -m --relative-to=. "$tool_dir")" -o "$msi" \
  examples/msi/tembra.wxs) || exit 2

# win_run LINE: runs LINE from a batch file under Wine's cmd, which hands the program its
# command line exactly as written (wine itself would quote an argument holding spaces, and the
# NSIS uninstaller would then not see "_?=") and keeps the whole exit status (wine's own keeps
# the low 8 bits: 1627 becomes 91). Output in $T/out and $T/err, exit status in $RC.
win_run() {
  local status=$WINEPREFIX/drive_c/status.txt
  printf '@echo off\r\n%s\r\n>C:\\status.txt echo %%errorlevel%%\r\n' "$1" >"$WINEPREFIX/drive_c/run.cmd"
  rm -f "$status"
  timeout -k 5 300 wine cmd /c 'C:\run.cmd' >"$T/out" 2>"$T/err"
  RC=$(tr -d '\r\n' <"$status" 2>/dev/null)
}

# prefix_path FOLDER: where a Windows folder on C: of the prefix is.
prefix_path() {
  local path=${1#C:\\}
  echo "$WINEPREFIX/drive_c/${path//\\//}"
}

# files_in FOLDER: the names in a Windows folder of the prefix, or "no folder".
files_in() {
  local path
  path=$(prefix_path "$1")
  if [[ -d $path ]]; then
    # Byte order whatever the locale: bash sorts a glob by LC_COLLATE.
    # shellcheck disable=SC2030 # for this glob only
    (cd "$path" && LC_ALL=C && echo *)
  else
    echo "no folder"
  fi
}

# assert_notices_as_shipped FOLDER: the licence notices in a Windows folder of the prefix are
# the ones the recipe was given, byte for byte.
assert_notices_as_shipped() {
  local path file
  path=$(prefix_path "$1")
  for file in $notices; do
    if cmp -s "$tool_dir/$file" "$path/$file"; then
      _pass "install: $file as shipped"
    else
      _fail "install: $file missing or not as shipped"
    fi
  done
}

# install RECIPE FOLDER: a silent install, checked; the NSIS installer is given FOLDER with
# /D= unless it is the default one.
install() {
  case $1 in
  nsis)
    cp "$setup_exe" "$WINEPREFIX/drive_c/tembra-setup.exe"
    local choice=
    [[ $2 == "$default_folder" ]] || choice=" /D=$2"
    win_run "C:\\tembra-setup.exe /S$choice"
    installed_files="LICENSE THIRD-PARTY-NOTICES.txt sample-service.exe tembra-uninstall.exe uninstall.exe"
    # Run with "_?=", the uninstaller cannot delete itself.
    files_left=uninstall.exe
    ;;
  msi)
    cp "$msi" "$WINEPREFIX/drive_c/"
    win_run "msiexec /i C:\\tembra.msi /qn"
    installed_files="LICENSE THIRD-PARTY-NOTICES.txt sample-service.exe tembra-uninstall.exe"
    files_left="no folder"
    ;;
  esac
  assert_eq 0 "$RC" "install into $2: exit status"
  assert_eq RUNNING "$(service_state)" "install: service RUNNING"
  assert_eq "$installed_files" "$(files_in "$2")" "install: files in place"
  assert_notices_as_shipped "$2"
}

# uninstall RECIPE FOLDER: a silent uninstall. The NSIS uninstaller waits and gives its status
# only when it is passed its folder as "_?=FOLDER"; msiexec is told to leave a restart to its
# caller, as the README advises.
uninstall() {
  case $1 in
  nsis) win_run "\"$2\\uninstall.exe\" /S _?=$2" ;;
  msi) win_run "msiexec /x C:\\tembra.msi /qn /norestart" ;;
  esac
}

# assert_kept RECIPE STDOUT STDERR: what the uninstall kept of the tool's output. The NSIS
# uninstaller keeps both streams, merged in the order written, in its log in the temp folder
# (the tool writes to standard error, a refused stop request, before standard output); msiexec
# under Wine passes them on to its own console.
assert_kept() {
  if [[ $1 == nsis ]]; then
    local log
    log=$(find "$WINEPREFIX/drive_c/users" -name tembra-uninstall.log)
    assert_file_bytes "${log:-$T/no log in the temp folder}" "$3$2"
  else
    assert_file_bytes "$T/out" "$2"
    assert_file_bytes "$T/err" "$3"
  fi
}

# remove_service_behind_installer: stops and deletes the service with sc.
remove_service_behind_installer() {
  wine sc stop "$SERVICE_NAME" >/dev/null
  wine sc delete "$SERVICE_NAME" >/dev/null
  wait_for_state absent
}

case_uninstall() {
  install "$1" "$default_folder"
  uninstall "$1" "$default_folder"
  assert_eq 0 "$RC" "uninstall: exit status"
  assert_eq absent "$(service_state)" "uninstall: service gone"
  assert_eq "$files_left" "$(files_in "$default_folder")" "uninstall: files gone"
  assert_kept "$1" "$SUCCESS_LINE" ""
}

case_service_gone() {
  # An NSIS folder chosen with /D=. The package keeps the default: Wine's msiexec /x looks for
  # the files in the default folder whatever INSTALLDIR the install was given.
  local folder=$default_folder
  [[ $1 == nsis ]] && folder=$chosen_folder
  install "$1" "$folder"
  remove_service_behind_installer
  uninstall "$1" "$folder"
  assert_eq 0 "$RC" "uninstall: exit status"
  assert_eq "$files_left" "$(files_in "$folder")" "uninstall: files gone"
  if [[ $1 == nsis ]]; then
    assert_kept nsis "" "$(failure_report 1060)"$'\n'
  else
    # The package runs the tool only while the service's registry key exists.
    assert_kept msi "" ""
  fi
}

case_removal_fails() {
  install "$1" "$default_folder"
  # The vendor's service replaced by one that refuses to stop, then marked for deletion.
  remove_service_behind_installer
  install_service nostop
  start_service
  run_tool
  assert_eq 0 "$RC" "an earlier run of the tool: exit status"
  assert_eq RUNNING "$(service_state)" "service marked for deletion, still RUNNING"
  # As these machines' environment has it, and a machine-wide setting would: the recipes'
  # RUST_LIB_BACKTRACE=0 keeps the backtrace out of the report.
  RUST_BACKTRACE=1 uninstall "$1" "$default_folder"
  # msiexec gives 1603 on Windows for the same failure.
  assert_eq "$([[ $1 == nsis ]] && echo 2 || echo 1627)" "$RC" "uninstall: exit status"
  assert_kept "$1" "" $'IO error in winapi call\n'"$(failure_report 1072)"$'\n'
  # The notices stay with the exe that stays.
  assert_eq "$installed_files" "$(files_in "$default_folder")" "uninstall: files stay"
}

# pending_deletions: the deletions scheduled for the next restart, one path a line, from
# PendingFileRenameOperations (pairs of names: a path, then where it goes; nowhere for a
# deletion). A rename, should one be there, shows as "PATH -> DESTINATION".
pending_deletions() {
  wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *PendingFileRenameOperations *REG_MULTI_SZ *//p' |
    awk -F'\\\\0' '{ for (i = 1; i < NF; i += 2) print $(i + 1) == "" ? $i : $i " -> " $(i + 1) }'
}

# case_marked_for_deletion RECIPE in-use|elsewhere: the vendor's service replaced by one that
# refuses to stop, so that the tool can only mark it for deletion; its program is the product
# folder's sample-service.exe, running and so not to be deleted, or one outside that folder.
case_marked_for_deletion() {
  install "$1" "$default_folder"
  remove_service_behind_installer
  if [[ $2 == in-use ]]; then
    wine sc create "$SERVICE_NAME" binPath= "\"$default_folder\\sample-service.exe\" nostop" >/dev/null
  else
    install_service nostop
  fi
  start_service
  uninstall "$1" "$default_folder"
  assert_eq RUNNING "$(service_state)" "uninstall: service marked for deletion, still RUNNING"
  assert_kept "$1" "$SUCCESS_LINE" $'IO error in winapi call\n'
  # The tool and its notices go at once.
  local left scheduled=() prefix="\\??\\"
  if [[ $1 == nsis ]]; then
    assert_eq 3010 "$RC" "uninstall: exit status, restart required"
    # The files in use, then the folder, go at the restart; the service's key alone asks for it
    # when no file is in use.
    left=uninstall.exe
    [[ $2 == in-use ]] && left="sample-service.exe $left" &&
      scheduled+=("$prefix$default_folder\\sample-service.exe")
    scheduled+=("$prefix$default_folder\\uninstall.exe" "$prefix$default_folder\\")
  else
    # Windows Installer schedules a file in use for the restart and returns 3010; Wine's
    # msiexec leaves it where it is and schedules nothing.
    assert_eq 0 "$RC" "uninstall: exit status"
    left="no folder"
    [[ $2 == in-use ]] && left=sample-service.exe
  fi
  assert_eq "$left" "$(files_in "$default_folder")" "uninstall: the tool and its notices gone, what is left"
  assert_eq "$(printf '%s\n' "${scheduled[@]}")" "$(pending_deletions)" \
    "uninstall: deletions scheduled for the restart"
}

# The NSIS uninstaller on a Japanese system, whose ANSI code page (932) garbles or loses UTF-8
# bytes read as ANSI: the log holds the tool's bytes exactly and the details show its lines as
# written. The installer is built from a copy of the recipe in which every DetailPrint also
# writes its line to C:\details.txt.
case_translated_report() {
  local report details
  setup_exe=$details_setup_exe
  install nsis "$default_folder"
  remove_service_behind_installer
  # From here on Wine's programs take the system's language from LC_ALL (Wine's sc among them,
  # so no more service_state). Bash, that locale not installed here, warns when it is set.
  # shellcheck disable=SC2031 # not the glob's LC_ALL above
  export LC_ALL=ja_JP.UTF-8 2>/dev/null
  uninstall nsis "$default_folder"
  assert_eq 0 "$RC" "uninstall: exit status"
  report=$(failure_report 1060)
  local other_bytes
  other_bytes=$(tr -d '\n -~' <<<"$report")
  assert_ge "${#other_bytes}" 1 "bytes beside printable ASCII in the report"
  assert_kept nsis "" "$report"$'\n'
  details=$(iconv -f UTF-16LE -t UTF-8 "$WINEPREFIX/drive_c/details.txt" | tr -d '\r' | head -n 4)
  assert_eq "$report" "$details" "uninstall: the details show the report as written"
}

# The package's tables, where wixl has silently dropped or misplaced entries before.
msi_tables() {
  local sequence type events
  sequence=$(msiinfo export "$msi" InstallExecuteSequence | tr -d '\r')
  at() { awk -F'\t' -v a="$1" '$1 == a { print $3 }' <<<"$sequence"; }
  local action start remove
  action=$(at RemoveService) start=$(at InstallInitialize) remove=$(at RemoveFiles)
  if [[ -n $action ]] && ((start < action && action < remove)); then
    _pass "RemoveService at $action, between InstallInitialize ($start) and RemoveFiles ($remove)"
  else
    _fail "RemoveService at '$action', not between InstallInitialize ($start) and RemoveFiles ($remove)"
  fi
  type=$(msiinfo export "$msi" CustomAction | awk -F'\t' '$1 == "RemoveService" { print $2 }')
  assert_eq 3122 "$type" "RemoveService type: exe named by a property, deferred, not impersonated, checked"
  # Event bits 8 and 128: delete the service on install, on uninstall.
  events=$(msiinfo export "$msi" ServiceControl | awk -F'\t' 'NR > 3 { print $3 }')
  assert_eq 1 "$events" "ServiceControl only starts the service on install, never deletes it"
}

passed=0
failed=0
failed_names=()
# run_case NAME FUNCTION [ARG...]: one case in a subshell, in a fresh prefix unless NAME says
# "tables".
run_case() {
  [[ $1 == *"$only"* ]] || return 0
  echo "== $1"
  if (
    _OWN_TEMPLATE= # the template belongs to this script's shell
    trap _wine_cleanup EXIT
    [[ $1 == *tables* ]] || wine_prefix_new
    "${@:2}"
    test_done
  ); then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failed_names+=("$1")
  fi
}

wine_template_ensure
run_case "msi: tables" msi_tables
for recipe in nsis msi; do
  run_case "$recipe: uninstall" case_uninstall "$recipe"
  run_case "$recipe: uninstall, service already gone" case_service_gone "$recipe"
  run_case "$recipe: uninstall, service marked for deletion, its exe in use" \
    case_marked_for_deletion "$recipe" in-use
  run_case "$recipe: uninstall, service marked for deletion, its exe elsewhere" \
    case_marked_for_deletion "$recipe" elsewhere
  run_case "$recipe: uninstall, removal fails (os error 1072)" case_removal_fails "$recipe"
done
run_case "nsis: uninstall, service already gone, Japanese system" case_translated_report
((failed == 0)) || echo "failed: ${failed_names[*]}"
echo "$passed passed, $failed failed"
((failed == 0))
