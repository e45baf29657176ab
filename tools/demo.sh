#!/usr/bin/env bash
# The main job, as far as the system is built: every program introduces
# itself, then the sample program is assembled and run on the simulator.
set -u
bin=${1:-build/bin}
here=$(cd "$(dirname "$0")" && pwd)
for prog in qvppc cpppc cgppc coppc cappc; do
  if [ -x "$bin/$prog" ]; then
    "$bin/$prog" -vers 2>&1
  fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo
echo "== cappc -o sum.o tools/demo/sum.s"
"$bin/cappc" -o "$tmp/sum.o" "$here/demo/sum.s" || exit 1
echo "== vekrun -t -n 12 sum.o (the first instructions, traced)"
"$bin/vekrun" -t -n 12 "$tmp/sum.o" 2>&1 | head -14
echo "== vekrun sum.o (to the end: r3 holds 1+2+...+10 = 55 = 0x37)"
"$bin/vekrun" "$tmp/sum.o" 2>&1
