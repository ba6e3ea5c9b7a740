#!/usr/bin/env bash
# The example day under wine against the same day on Linux: qorhost's output
# (every step's line, the paper tape of --tape) and the printer's call journal
# must be the same, except how the two systems spell the state and host
# folders' paths. Needs both builds (the default and windows-x64 presets).
# QOR_KEEP=1 keeps the runs' folder.
set -euo pipefail
cd "$(dirname "$0")/.."
# A folder name of 8.3 form: its short path (GetShortPathNameA) is itself.
work=$(mktemp -d /tmp/qd.XXX)
trap '[ -n "${QOR_KEEP:-}" ] || rm -rf "$work"' EXIT
day=examples/full-day.json
build/bin/qorhost --state "$work/linux/ecf" --host-dir "$work/linux/host" --journal "$work/linux/journal.jsonl" \
  --tape "$day" </dev/null >"$work/linux.out"
wine build-windows-x64/bin/qorhost.exe --state "$work/windows/ecf" --host-dir "$work/windows/host" \
  --journal "$work/windows/journal.jsonl" --tape "$day" </dev/null >"$work/windows.out"
# Path spelling: "Z:\\tmp\\x" (JSON), "Z:\tmp\x" or "/tmp/x" -> "/tmp/x"; then the run's folder -> DIR.
normalize() {  # FILE RUN
  sed -e 's#\\\\#/#g' -e 's#\\#/#g' -e 's#[A-Za-z]:/#/#g' -e "s#$work/$2#DIR#g" "$1"
}
status=0
for f in out journal; do
  if [ $f = out ]; then a=$work/linux.out b=$work/windows.out; else a=$work/linux/journal.jsonl b=$work/windows/journal.jsonl; fi
  if diff <(normalize "$a" linux) <(normalize "$b" windows) >"$work/$f.diff"; then
    echo "example day, $f: the same under wine as on Linux ($(wc -l <"$a") lines)"
  else
    echo "example day, $f: differs under wine (first differences):"
    head -20 "$work/$f.diff" | cut -c1-300
    status=1
  fi
done
exit $status
