#!/bin/bash
# compare.sh BUILD_BIN SEED [qvbuild options]: builds a random program (gen.py)
# with ours and with the host's cc, runs ours on the simulator and compares
# `result`. Prints "SEED ok" or "SEED MISMATCH ..." (keeping the directory).
here=$(cd "$(dirname "$0")" && pwd)
B=$1; s=$2; shift 2
d=$(mktemp -d "${TMPDIR:-/tmp}/randprog.XXXXXX")
python3 "$here/gen.py" "$s" > "$d/main.c"
printf '#undef main\n#include <stdio.h>\nextern unsigned result; int realmain(void);\nint main(void) { realmain(); printf("%%u\\n", result); return 0; }\n' > "$d/harness.c"
cc -w -O1 -Dmain=realmain -o "$d/host" "$d/main.c" "$d/harness.c" || { echo "$s hostfail $d"; exit 1; }
want=$(( $("$d/host") & 0xFFFFFFFF ))
"$B/qvbuild" "$@" -o "$d/prog.o" "$d/main.c" >/dev/null 2>"$d/err" || { echo "$s buildfail $d"; exit 1; }
got=$("$B/vekrun" -p result "$d/prog.o" 2>&1 | grep "result =" | sed 's/result = //')
got=$(( ${got:-0} & 0xFFFFFFFF ))
if [ "$got" == "$want" ]; then echo "$s ok"; rm -rf "$d"; else echo "$s MISMATCH want $want got $got $d"; exit 1; fi
