#!/usr/bin/env bash
# Installs the build into a fresh prefix and runs the installed command from
# another folder, with no variable pointing anywhere: it must find its module,
# the resource file and the bundled example in the installed layout on its
# own. Also checks the man page renders and the bash completion completes.
# Usage: InstallTest.sh CMAKE BUILD_DIR
set -euo pipefail
cmake_command=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake_command" --install "$build" --prefix "$prefix" >/dev/null
for file in bin/tressel lib/tressel/Tressel.plm lib/tressel/Tressel.rsc share/man/man1/tressel.1 \
            share/bash-completion/completions/tressel share/doc/tressel/README.md \
            share/doc/tressel/docs/tressel.md share/tressel/examples/example.obj; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/tressel" ] || fail "bin/tressel is not executable"
[ ! -e "$prefix/bin/Tressel.plm" ] || fail "the module is installed beside the command"

mkdir "$scratch/work"
cd "$scratch/work"
unset TRESSEL_MODULE TRESSEL_EXAMPLES
"$prefix/bin/tressel" --version | grep -qx 'tressel [0-9.]*' || fail "--version"
"$prefix/bin/tressel" info | grep -q 'product: *Tressel' || fail "info from the installed module"
"$prefix/bin/tressel" wire -o wires.obj >summary.txt || fail "wire on the bundled example: $(cat summary.txt)"
grep -q '^sheet: vertices 12, facets 6, dropped 0, wires 6, segments 24$' summary.txt || fail "summary: $(cat summary.txt)"
grep -q '^l ' wires.obj || fail "no polyline in wires.obj"
printf 'ok\n' >ok.txt
"$prefix/bin/tressel" wire --scene scene.json -o again.obj -q
"$prefix/bin/tressel" settings scene.json --script ok.txt >/dev/null || fail "settings: the dialog from the installed resource file"

if command -v man >/dev/null; then
  MANWIDTH=100 man -l "$prefix/share/man/man1/tressel.1" 2>/dev/null >man.txt
  for section in 'TRESSEL WIRE' 'TRESSEL SETTINGS' 'TRESSEL VALIDATE' 'TRESSEL INFO' 'TRESSEL DESCRIBE' '--monitor'; do
    grep -q -- "$section" man.txt || fail "the man page lacks $section"
  done
fi

completions=$(bash -c '
  source "$1"
  COMP_WORDS=(tressel w); COMP_CWORD=1; _tressel; echo "${COMPREPLY[*]}"
  COMP_WORDS=(tressel wire --mode w); COMP_CWORD=3; _tressel; echo "${COMPREPLY[*]}"
  COMP_WORDS=(tressel settings scene.json --mon); COMP_CWORD=3; _tressel; echo "${COMPREPLY[*]}"
' _ "$prefix/share/bash-completion/completions/tressel")
[ "$completions" = $'wire\nwelded\n--monitor' ] || fail "completion gave: $completions"
echo "installed tree works"
