#!/usr/bin/env bash
# Builds the library, the simulated camera and the sample program, serves a
# simulated camera on 127.0.0.1, runs camsample against it and stops the
# camera again. Exits with camsample's status.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null
cmake --build --preset default --target camsim camsample >/dev/null

build=build/default
"$build/tools/camsim/camsim" --address 127.0.0.1 >/dev/null &
camsim=$!
trap 'kill "$camsim" 2>/dev/null; wait "$camsim" 2>/dev/null || true' EXIT

# Wait until the camera listens (at most 5 s).
for _ in $(seq 50); do
  if (exec 3<>/dev/tcp/127.0.0.1/3002) 2>/dev/null; then break; fi
  kill -0 "$camsim" 2>/dev/null || { echo "camsim could not start" >&2; exit 1; }
  sleep 0.1
done

status=0
"$build/sample/camsample" || status=$?
exit "$status"
