#!/usr/bin/env bash
# The main job, as far as the system is built: every program that exists
# introduces itself, then the sample program goes through what can run.
set -u
bin=${1:-build/bin}
for prog in qvppc cpppc cgppc coppc cappc vek; do
  if [ -x "$bin/$prog" ]; then
    echo "== $prog -vers"
    "$bin/$prog" -vers || true
  fi
done
