#!/usr/bin/env bash
# Shows the program at work: builds it, installs a running sample service named
# tembra_service in a throwaway Wine prefix, runs the program on it and shows the service gone.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

scripts/setup.sh demo || exit 1
cmake --preset mingw-x86 >/dev/null || exit 1
cmake --build --preset mingw-x86 -j "${JOBS:-2}" || exit 1

# shellcheck source=tests/wine/lib.sh
source tests/wine/lib.sh

show() {
  echo
  echo "\$ $*"
}

echo
echo "making a throwaway Wine prefix (about half a minute)"
wine_prefix_new
install_service stop || exit 1
start_service || exit 1

show sc query tembra_service
wine sc query tembra_service

show tembra-uninstall.exe
run_tool
cat "$T/out"
cat "$T/err" >&2
echo "(exit status $RC)"
status=$RC

show sc query tembra_service
wine sc query tembra_service
query_rc=$?
state=$(service_state)
if [[ $state == absent ]]; then
  echo "(exit status $query_rc: there is no such service; Wine's sc then prints nothing)"
else
  echo "(exit status $query_rc: the service is still there, $state)"
  status=1
fi

show "tembra-uninstall.exe    # again"
run_tool
cat "$T/out"
cat "$T/err" >&2
echo "(exit status $RC)"

exit "$status"
