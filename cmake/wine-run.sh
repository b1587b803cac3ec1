#!/bin/sh
# Runs a Windows program under wine in a prefix of its own:
#   wine-run.sh <wine loader> <prefix> <program> [arguments...]
# The prefix is made on first use (a 32-bit one for the 32-bit loader), under a
# lock because ctest starts several programs at once. The runtime installers
# that wine offers for a new prefix are not wanted and are switched off.
set -e
loader=$1
prefix=$2
shift 2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "$(basename "$loader")" in
  wine64) export WINEARCH=win64 ;;
  *) export WINEARCH=win32 ;;
esac
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  flock "$prefix.lock" sh -c '
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$1" wineboot.exe --init >/dev/null 2>&1
      wineserver -w
    fi' sh "$loader"
fi
exec "$loader" "$@"
