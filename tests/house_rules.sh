#!/usr/bin/env bash
# Checks the rules of the house that the compiler does not: only the platform layer
# includes toolkit, MIDI or synthesizer headers, and every source file is formatted. How the
# folders reach each other is checked by doors.py.
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
# Every source file is formatted with the project's .clang-format.
if command -v clang-format >/dev/null 2>&1; then
  unformatted=$(cd "$top" && find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 clang-format --dry-run 2>&1 | grep -E '^[^ ].*: warning:' | cut -d: -f1 | sort -u)
  if [ -n "$unformatted" ]; then
    echo "Files not formatted with clang-format:"
    echo "$unformatted"
    status=1
  fi
fi
exit $status
