#!/usr/bin/env bash
# Checks the rules of the house that the compiler does not: only the platform layer
# includes toolkit, MIDI or synthesizer headers, a folder reaches another only through
# that folder's services header, and every source file is formatted.
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
# From another subsystem's folder a file includes only that folder's services header.
crossing=$(cd "$top/src" && grep -rn -E '^#include "[A-Za-z]+/' --include='*.h' --include='*.cpp' . |
  awk -F'"' '{ split($1, from, "/"); split($2, to, "/");
    if (from[2] != to[1] && to[1] != "platform" &&
        $2 !~ /^(model\/model_services|params\/param_services|layout\/layout_services|graphics\/ge_services|app\/app_services|annotations\/anno_services|editing\/editing_services|performance\/performance_services|ImportExport\/musicxml_services|Editor\/[A-Za-z_]+)\.h$/)
      print }')
if [ -n "$crossing" ]; then
  echo "Headers of another folder included other than through its services header:"
  echo "$crossing"
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
