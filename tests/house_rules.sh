#!/usr/bin/env bash
# Checks the rules of the house that the compiler does not: only the platform layer
# includes toolkit, MIDI or synthesizer headers.
set -u
top=${1:-.}
status=0
hits=$(grep -rn -E '#include *<(Q[A-Za-z]+|Qt[A-Za-z]*/|alsa/|fluidsynth)' "$top/src" \
         --include='*.h' --include='*.cpp' | grep -v "^$top/src/platform/")
if [ -n "$hits" ]; then
  echo "Toolkit headers included outside src/platform:"
  echo "$hits"
  status=1
fi
exit $status
