#!/usr/bin/env bash
# The main job: build what the day needs (qorhost, the module, the simulated
# printer and its stand-in libraries; configured without the tests and
# benchmarks, whose libraries it does not need: scripts/test.sh configures
# them back) and run the full business day against the simulated printer,
# showing the paper tape at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh day
cmake --preset default -DQOR_TESTS=OFF -DQOR_BENCH=OFF >/dev/null
cmake --build --preset default --target qor_day
work=$(mktemp -d /tmp/qorhost-day.XXXXXX)
echo "state and host folder: $work"
exec build/bin/qorhost --state "$work/ecf" --host-dir "$work/host" --journal "$work/journal.jsonl" --tape examples/full-day.json
