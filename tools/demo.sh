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

echo
echo "== qvbuild -o sum_c.o tools/demo/sum.c (C through cpppc, cgppc, coppc, cappc)"
cp "$here/demo/sum.c" "$tmp/sum_c.c"
"$bin/qvbuild" -o "$tmp/sum_c.o" "$tmp/sum_c.c" || exit 1
echo "== vekrun -p total sum_c.o (main returns the sum, also stored in total)"
"$bin/vekrun" -p total "$tmp/sum_c.o" 2>&1 || exit 1
echo "== qvbuild +debug -p-xp, then vek -c: stop at sum_c.c:10 (return s), print the locals and the stack"
"$bin/qvbuild" +debug -p-xp -o "$tmp/sum_c.o" "$tmp/sum_c.c" || exit 1
printf 'break sum_c.c:10\ngo\nx s\nx i\nstack\nquit\n' | "$bin/vek" -c "$tmp/sum_c.o" 2>&1
