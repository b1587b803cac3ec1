#!/bin/sh
# Checks the shape of the universal macOS module, which cannot run here:
# exactly the two architectures, a bundle for macOS 11 or later in each, only
# _Main exported, only system libraries loaded.
# usage: check-module.sh MODULE LIPO OTOOL NM
set -u
module=$1 lipo=$2 otool=$3 nm=$4
fail() { echo "FAIL: $*" >&2; status=1; }
status=0
[ -f "$module" ] || { echo "FAIL: $module does not exist" >&2; exit 1; }

arches=$("$lipo" -archs "$module" | tr ' ' '\n' | grep . | sort | tr '\n' ' ')
[ "$arches" = "arm64 x86_64 " ] || fail "architectures are '$arches', expected arm64 and x86_64"

for arch in arm64 x86_64; do
  slice=$(mktemp)
  "$lipo" -thin "$arch" "$module" -output "$slice" || { fail "$arch: no slice"; continue; }
  header=$("$otool" -hv "$slice")
  echo "$header" | grep -q BUNDLE || fail "$arch: not a bundle: $header"
  exports=$("$nm" -gU "$slice" | awk '{print $NF}' | tr '\n' ' ')
  [ "$exports" = "_Main " ] || fail "$arch: exports '$exports', expected only _Main"
  libraries=$("$otool" -L "$slice" | tail -n +2 | awk '{print $1}')
  for library in $libraries; do
    case "$library" in
      /usr/lib/libSystem.B.dylib) ;;
      *) fail "$arch: loads $library, which is not a system library" ;;
    esac
  done
  [ -n "$libraries" ] || fail "$arch: loads no library at all"
  minos=$("$otool" -l "$slice" | awk '/LC_BUILD_VERSION/ {found=1} found && $1 == "minos" {print $2; exit}')
  [ "$minos" = "11.0" ] || fail "$arch: minimum macOS is '$minos', expected 11.0"
  undefined=$("$nm" -u "$slice" | awk '{print $NF}')
  echo "$arch: bundle, exports _Main, loads: $(echo $libraries), minos $minos, $(echo "$undefined" | wc -w) imports"
  rm -f "$slice"
done
exit $status
