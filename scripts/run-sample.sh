#!/usr/bin/env bash
# Builds the library, the simulated camera and the sample program, serves a
# simulated camera on 127.0.0.1, runs camsample against it and stops the
# camera again. Exits with camsample's status. The build's progress goes to
# stderr, so stdout carries the sample's lines alone.
set -euo pipefail
cd "$(dirname "$0")/.."

# camsample is built for this address and its fixed ports.
address=127.0.0.1
ports="3002 3001"

# Another program serving the address would get the sample's commands and
# its answers would pass for our camera's, so the script stops instead.
refuse_if_served() {
  local port busy=""
  for port in $ports; do
    if (exec 3<>"/dev/tcp/$address/$port") 2>/dev/null; then
      busy="$busy $port"
    fi
  done
  if [ -n "$busy" ]; then
    echo "run-sample.sh: $address is already served (in use:$busy);" \
         "stop that program and run again" >&2
    exit 1
  fi
}

refuse_if_served
echo "run-sample.sh: building camsim and camsample (a first build takes" \
     "a few minutes)" >&2
cmake --preset default >&2
cmake --build --preset default --target camsim camsample >&2
# The build is long enough for something else to have started meanwhile.
refuse_if_served

build=build/default
log=$(mktemp)
"$build/tools/camsim/camsim" --address "$address" >/dev/null 2>"$log" &
camsim=$!
trap 'kill "$camsim" 2>/dev/null; wait "$camsim" 2>/dev/null || true;
      rm -f "$log"' EXIT

# Wait until our camera listens (at most 5 s).
ready=0
for _ in $(seq 50); do
  if ! kill -0 "$camsim" 2>/dev/null; then
    echo "run-sample.sh: camsim could not start: $(cat "$log")" >&2
    exit 1
  fi
  if (exec 3<>"/dev/tcp/$address/3002") 2>/dev/null; then
    ready=1
    break
  fi
  sleep 0.1
done
if [ "$ready" -ne 1 ]; then
  echo "run-sample.sh: camsim did not listen on $address within 5 s" >&2
  exit 1
fi

status=0
"$build/sample/camsample" || status=$?
exit "$status"
