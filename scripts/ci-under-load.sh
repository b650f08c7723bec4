#!/usr/bin/env bash
# Runs .ci/run the way a loaded CI machine would: in a fresh clone of this
# checkout's HEAD, with two CPU-bound processes running beside it. Prints
# the elapsed time and exits with .ci/run's status. The busy processes are
# ended, and the clone removed, however the run ends. The packages are
# installed first, outside the network namespace the run gets, where
# .ci/run's own package step cannot reach the mirrors; that step then finds
# them installed.
set -uo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
revision=$(git -C "$source_dir" rev-parse HEAD) || exit 1
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-ci-under-load-XXXXXX") || exit 1

busy=()
ci=
finish() {
  # A run cut short by a signal goes with everything it started: it runs in
  # a process group of its own.
  if [ -n "$ci" ] && kill -0 "$ci" 2>/dev/null; then
    kill -TERM -- "-$ci" 2>/dev/null
    wait "$ci" 2>/dev/null
  fi
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${busy[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap finish EXIT
# A signal ends the script through the EXIT trap.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

git clone --quiet --no-checkout "$source_dir" "$work/quorvel" || exit 1
git -C "$work/quorvel" checkout --quiet --detach "$revision" || exit 1

"$work/quorvel/.ci/install-packages"

for _ in 1 2; do
  sh -c 'while :; do :; done' &
  busy+=("$!")
done

# In a network namespace of its own where the system allows one (root, with
# iproute2): the tests' fixed loopback addresses then cannot meet another
# test run on the same machine, whose servers would hold them.
run=(bash -c 'cd "$1" && exec .ci/run' ci-run "$work/quorvel")
isolation="shared loopback"
if command -v ip >/dev/null && unshare --net ip link set lo up 2>/dev/null; then
  run=(unshare --net bash -c 'ip link set lo up && cd "$1" && exec .ci/run'
       ci-run "$work/quorvel")
  isolation="own network namespace"
fi
echo "ci-under-load: ${revision:0:12} in $work/quorvel, $isolation"

start=$(date +%s)
# In the background, so that a signal is handled at once rather than after
# the run; `wait` returns when it ends.
setsid "${run[@]}" &
ci=$!
wait "$ci"
status=$?
ci=
elapsed=$(($(date +%s) - start))
printf 'ci-under-load: %s: .ci/run exited %d after %dm%02ds beside %d busy processes\n' \
  "${revision:0:12}" "$status" $((elapsed / 60)) $((elapsed % 60)) "${#busy[@]}"
exit "$status"
