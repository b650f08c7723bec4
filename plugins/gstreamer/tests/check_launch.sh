#!/usr/bin/env bash
# gst-launch-1.0 writes 30 frames of camsim as PNG files through the built
# plugin, and not all frames are the same (the shapes move).
# Usage: check_launch.sh <gst-launch-1.0> <camsim> <plugin dir> <address>
#                        <work dir>
set -u
launch=$1 camsim=$2 plugins=$3 address=$4 work=$5
fail() { echo "FAIL $*"; exit 1; }

rm -rf "$work" && mkdir -p "$work/frames" || exit 1
"$camsim" --address "$address" >/dev/null &
camera=$!
trap 'kill "$camera" 2>/dev/null; wait "$camera" 2>/dev/null' EXIT
deadline=$((SECONDS + 20))
until (exec 3<>"/dev/tcp/$address/3002") 2>/dev/null; do
  [ "$SECONDS" -lt "$deadline" ] || fail "camsim does not serve $address"
  sleep 0.05
done

# Only this build's plugin and the system's: no user registry, no stale one.
GST_PLUGIN_PATH=$plugins GST_REGISTRY=$work/registry.bin \
  timeout 60 "$launch" -q quorvelsrc address="$address" num-buffers=30 \
  ! videoconvert ! pngenc ! multifilesink location="$work/frames/frame-%02d.png" \
  || fail "gst-launch-1.0 exited with $?"

files=("$work"/frames/frame-*.png)
[ "${#files[@]}" -eq 30 ] || fail "${#files[@]} files, want 30"
[ "$(cksum "${files[@]}" | cut -d' ' -f1 | sort -u | wc -l)" -gt 1 ] \
  || fail "all 30 frames are the same"
echo "ok   30 PNG frames of camsim"
