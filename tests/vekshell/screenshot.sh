#!/bin/sh
# Runs the debugger program with VEK_SCREENSHOT in a private directory and
# checks that it wrote a PNG picture. With "xvfb" it runs on an X server
# under xvfb-run (skipped, status 77, when that is not installed).
program=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/run" VEK_SCREENSHOT="$dir/shot.png"
mkdir -m 700 "$XDG_RUNTIME_DIR"
if [ "$2" = xvfb ]; then
  if ! command -v xvfb-run >/dev/null; then
    echo "xvfb-run is not installed: skipped"
    exit 77
  fi
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  xvfb-run -a "$program" || exit 1
else
  "$program" || exit 1
fi
head -c 8 "$VEK_SCREENSHOT" | od -An -c | grep -q 'P   N   G' || { echo "no picture written"; exit 1; }
echo "picture written"
