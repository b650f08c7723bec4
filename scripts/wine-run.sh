#!/bin/sh
# Runs a Windows program of the cross build under wine64: CTest's emulator
# for the Windows presets, and a plain runner for the CI steps.
# WINEPREFIX may name the prefix to use; one beside the build is made
# otherwise, so runs never share the user's own prefix. wine's server
# creates the programs' sockets in the network namespace it started in: a
# test run in a namespace of its own needs a prefix whose server is not
# already running outside it. `wine-run.sh --server ARGS` runs that server
# itself, the one installed beside the loader.
set -e
loader=""
for candidate in /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 \
                 "$(command -v wine64 2>/dev/null || true)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then
    loader=$candidate
    break
  fi
done
if [ -z "$loader" ]; then
  echo "wine-run.sh: wine64 is not installed" >&2
  exit 127
fi
if [ "${1-}" = --server ]; then
  shift
  loader=$(dirname "$loader")/wineserver64
fi
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/quorvel-wine-$(id -u)}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No desktop integration, no dialogs for a first start.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=d;mshtml=d}"
exec "$loader" "$@"
