#!/usr/bin/env bash
# camsample's exact output, without a camera and against the simulated one.
# Usage: check_camsample.sh <camsample> <camsim> <address camsample uses>
#                           [<runner>, e.g. wine for Windows programs]
set -u
camsample=$1
camsim=$2
address=$3
runner=${4:-}
failures=0

# Windows programs end their lines with CR LF; the lines are compared
# without the CR.
run() {
  local out status
  out=$($runner "$@"); status=$?
  printf '%s' "${out//$'\r'/}"
  return "$status"
}

expect() {  # name, expected status, expected output, actual status, output
  if [ "$4" != "$2" ] || [ "$5" != "$3" ]; then
    echo "FAIL $1: status $4 (want $2), output:"
    printf '%s\n' "$5" | sed 's/^/  | /'
    echo "wanted:"
    printf '%s\n' "$3" | sed 's/^/  | /'
    failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}

out=$(run "$camsample"); status=$?
expect "no camera" 1 "Connect to Ostrel_P1 camera......Failed!!
Terminate this program!!" "$status" "$out"

$runner "$camsim" --address "$address" --sps 40 >/dev/null &
pid=$!
# camsim ends on SIGTERM; a Windows camsim under wine takes no notice of
# it, so it is killed after 10 s.
stop_camsim() {
  kill "$pid" 2>/dev/null
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}
# Up to 30 s for camsim to listen: a sanitizer build on a loaded machine
# can take seconds to start.
listening=0
for _ in $(seq 300); do
  if (exec 3<>"/dev/tcp/$address/3002") 2>/dev/null; then
    listening=1
    break
  fi
  sleep 0.1
done
if [ "$listening" -ne 1 ]; then
  echo "FAIL camsim never listened on $address"
  stop_camsim
  exit 1
fi
out=$(run "$camsample"); status=$?
stop_camsim
expect "camera" 0 "Connect to Ostrel_P1 camera......Success! Device Name = RVXOSTRL1[1]
Get a smart-motion configuration......OK! Get Internal SPS = 40
Set a smart-motion configuration......OK!
Disconnect this camera." "$status" "$out"

echo "$((2 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
