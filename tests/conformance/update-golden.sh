#!/bin/sh
# Rewrites tests/conformance/golden-hashes.txt from the module of a build
# (default build/dev; run after building tressel_conformance there). Only for a
# deliberate change of the wires: commit the new file with the reason.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/dev}
out=$root/tests/conformance/golden-hashes.txt
tmp=$out.new
{
  echo "# The native module's wires on every corpus case (tests/conformance/Corpus.cpp):"
  echo "# FNV-1a 64 of each case's dump. Checked by conformance.GoldenWires; rewritten"
  echo "# by tests/conformance/update-golden.sh only for a deliberate change."
} >"$tmp"
"$build/bin/tressel_conformance" "$build/bin/Tressel.plm" hashes "$root/examples/example.obj" "$tmp.body"
cat "$tmp.body" >>"$tmp"
rm -f "$tmp.body"
mv "$tmp" "$out"
echo "wrote $out ($(grep -vc '^#' "$out") cases)"
