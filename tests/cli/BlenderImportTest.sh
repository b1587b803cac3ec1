#!/usr/bin/env bash
# Imports the OBJ, PLY and glTF outputs of `tressel wire` on the bundled
# example (modes 0, 1 and 2) into Blender, all in one background Blender
# process: OBJ through the default and the legacy importer. Every object's
# vertex and edge counts must match the command's summary:
#   OBJ: one object per group, edges = segments, vertices = segments (every
#        wire of the example is a closed ring, whose last corner reuses the
#        first vertex);
#   glTF: one object per group, edges = segments, vertices = segments + wires
#        (every vertex sent, a ring's closing one included);
#   PLY: one object for the file with the totals of the same.
# Exits 77 (skipped) when blender is not installed.
#   BlenderImportTest.sh TRESSEL EXAMPLES_FOLDER
set -euo pipefail
tressel=$1
examples=$2
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v blender >/dev/null 2>&1; then
  echo "skipped: blender is not installed (scripts/test installs it: apt-get install blender python3-numpy)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
imports=()
for mode in 0 1 2; do
  "$tressel" wire "$examples/example.obj" --mode "$mode" -o "m$mode.obj" >"summary$mode.txt"
  for format in ply gltf; do
    "$tressel" wire "$examples/example.obj" --mode "$mode" -o "m$mode.$format" >"summary$mode.$format.txt"
    cmp "summary$mode.txt" "summary$mode.$format.txt"
  done
  imports+=(obj_new "m$mode.obj" obj_legacy "m$mode.obj" ply "m$mode.ply" gltf "m$mode.gltf")
done
blender -b --factory-startup --python "$here/BlenderImport.py" -- "${imports[@]}" >blender.log 2>&1 || {
  cat blender.log
  exit 1
}
python3 - <<'CHECK'
import json, re, sys
imported = [json.loads(line[len("IMPORTED "):]) for line in open("blender.log") if line.startswith("IMPORTED ")]
failures = []
checked = 0
for entry in imported:
    mode = re.match(r"m(\d)\.", entry["file"]).group(1)
    groups = {}
    for line in open("summary%s.txt" % mode):
        name, rest = line.split(": ", 1)
        counts = dict((k, int(v)) for k, v in (item.split(" ") for item in rest.strip().split(", ")))
        groups[name] = counts
    objects = entry["objects"]
    if entry["importer"] == "ply":
        expected = {"only": {"vertices": sum(g["segments"] + g["wires"] for g in groups.values()),
                             "edges": sum(g["segments"] for g in groups.values())}}
        objects = {"only": next(iter(objects.values()))} if len(objects) == 1 else objects
    else:
        extra = (lambda g: g["wires"]) if entry["importer"] == "gltf" else (lambda g: 0)
        expected = dict((name, {"vertices": g["segments"] + extra(g), "edges": g["segments"]}) for name, g in groups.items())
    if objects != expected:
        failures.append("%s %s: Blender read %s, the summary says %s" % (entry["importer"], entry["file"], objects, expected))
    checked += 1
if checked != 12:
    failures.append("%d of 12 imports reported (see blender.log)" % checked)
for failure in failures:
    print(failure)
if failures:
    sys.exit(1)
print("Blender read all 12 imports (OBJ twice, PLY, glTF; modes 0-2) exactly as the summary counts")
CHECK
