#!/usr/bin/env bash
# The main job: build everything and run the full business day against the
# simulated printer, showing the paper tape at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
work=$(mktemp -d /tmp/qorhost-day.XXXXXX)
echo "state and host folder: $work"
exec build/bin/qorhost --state "$work/ecf" --host-dir "$work/host" --journal "$work/journal.jsonl" --tape examples/full-day.json
