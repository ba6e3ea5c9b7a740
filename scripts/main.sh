#!/usr/bin/env bash
# The main job: build what the day needs (qorhost, the module, the simulated
# printer and its stand-in libraries; not the tests or benchmarks, which
# scripts/test.sh builds) and run the full business day against the
# simulated printer, showing the paper tape at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target qor_day
work=$(mktemp -d /tmp/qorhost-day.XXXXXX)
echo "state and host folder: $work"
exec build/bin/qorhost --state "$work/ecf" --host-dir "$work/host" --journal "$work/journal.jsonl" --tape examples/full-day.json
