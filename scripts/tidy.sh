#!/usr/bin/env bash
# clang-tidy (.clang-tidy: the bugprone and performance checks) over the
# sources of the default build; any finding fails. Run by scripts/test.sh
# after the default build.
#
#   bash scripts/tidy.sh          the translation units that changed since the
#                                 merge base with main (QOR_TIDY_BASE names
#                                 another branch or commit), or that include a
#                                 file that changed; every one when this clone
#                                 has no such history (a shallow CI clone, an
#                                 archive) or .clang-tidy itself changed
#   bash scripts/tidy.sh --all    every translation unit
#
# Two jobs by default (QOR_TIDY_JOBS): the whole tree takes a few minutes on
# two cores, a branch's changes seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-tidy >/dev/null || ! command -v run-clang-tidy >/dev/null; then
  echo "tidy: clang-tidy is not installed (bash scripts/deps.sh --tests installs it); skipped"
  exit 0
fi
build=build
[ -f "$build/compile_commands.json" ] || { echo "tidy: configure the default preset first"; exit 1; }

all=0
[ "${1:-}" = "--all" ] && all=1
base=""
if [ $all = 0 ]; then
  ref=${QOR_TIDY_BASE:-main}
  git rev-parse -q --verify "$ref^{commit}" >/dev/null 2>&1 || ref="origin/$ref"
  base=$(git merge-base HEAD "$ref" 2>/dev/null || true)
  if [ -z "$base" ] || [ "$(git rev-parse --is-shallow-repository 2>/dev/null)" = true ]; then
    echo "tidy: no merge base with ${QOR_TIDY_BASE:-main} in this clone; every translation unit"
    all=1
  fi
fi
changed=""
if [ $all = 0 ]; then
  changed=$( { git diff --name-only "$base" -- . ; git ls-files --others --exclude-standard; } | sort -u)
  if grep -qx ".clang-tidy" <<<"$changed"; then all=1; fi
fi

# The translation units to check: the build's own sources (not generated
# files), all of them or those whose dependencies (ninja's record) hold a
# changed file. A source never built has no record and is checked.
units=$(python3 - "$build" "$all" "$changed" <<'EOF'
import json, os, subprocess, sys
build, every, changed = sys.argv[1], sys.argv[2] == "1", set(filter(None, sys.argv[3].split("\n")))
root = os.getcwd()
files = sorted({e["file"] for e in json.load(open(os.path.join(build, "compile_commands.json")))
                if not os.path.relpath(e["file"], root).startswith(("build", ".."))})
if every:
    print("\n".join(files)); sys.exit()
wanted = {os.path.realpath(os.path.join(root, c)) for c in changed}
# "object: #deps N, ..." then indented dependency paths, the source first.
deps = subprocess.run(["ninja", "-C", build, "-t", "deps"], capture_output=True, text=True).stdout
by_source, current = {}, None
for line in deps.splitlines():
    if line and not line.startswith(" "):
        current = None
    elif line.strip():
        path = os.path.realpath(os.path.join(build, line.strip()))
        if current is None:
            current = by_source.setdefault(path, set())
        current.add(path)
for f in files:
    real = os.path.realpath(f)
    if real in wanted or real not in by_source or wanted & by_source[real]:
        print(f)
EOF
)
count=$(grep -c . <<<"$units" || true)
if [ "$count" = 0 ]; then
  echo "tidy: no translation unit changed since $base"
  exit 0
fi
echo "tidy: $count translation units"
start=$(date +%s)
# Test code (a tests/ folder, the benchmarks, the fuzz targets) is checked
# for bugprone findings only: its fixtures build a handful of rows, and
# their speed is not what they are written for.
is_test='(^|/)(tests|bench|fuzz)/'
module_units=$(grep -Ev "$is_test" <<<"$units" || true)
test_units=$(grep -E "$is_test" <<<"$units" || true)
: >"$build/tidy.log"
check() {  # check EXTRA-ARGS... -- UNITS
  local args=() ; while [ "$1" != "--" ]; do args+=("$1"); shift; done; shift
  [ -n "$1" ] || return 0
  # run-clang-tidy takes regular expressions: each file's path, escaped and anchored.
  # shellcheck disable=SC2046
  run-clang-tidy -p "$build" -j "${QOR_TIDY_JOBS:-2}" -quiet "${args[@]}" \
    $(sed 's/[][\.*^$+?(){}|]/\\&/g; s/^/^/; s/$/$/' <<<"$1") >>"$build/tidy.log" 2>&1
}
status=0
check -- "$module_units" || status=1
check "-checks=-performance-*" -- "$test_units" || status=1
if [ $status != 0 ] || grep -qE "(warning|error):" "$build/tidy.log"; then
  sed 's/\x1b\[[0-9;]*m//g' "$build/tidy.log" | grep -E "(warning|error):" | sort -u | head -50
  echo "tidy: findings (all of them in $build/tidy.log)"
  exit 1
fi
echo "tidy: clean, $count translation units in $(( $(date +%s) - start )) s"
