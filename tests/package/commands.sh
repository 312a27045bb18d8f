#!/usr/bin/env bash
# The scripts' command calls against tools/common.sh's COMMANDS: the repository passes with
# stand-ins for a desktop's commands first on the PATH (mailcap's print, see, edit and compose,
# words of awk programs and here-documents; xdg-utils'), and a script of calls in every
# position has exactly those calls found.
set -euo pipefail
source "$(dirname "$0")/../../tools/common.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for command in print see edit compose xdg-mime xdg-open x-terminal-emulator one two three four; do
  printf '#!/bin/sh\n' >"$work/$command"
  chmod +x "$work/$command"
done
audit() {
  PATH="$work:$PATH" python3 "$ROOT/tools/check_commands.py" audit "$@" -- "${COMMANDS[@]}" "${BENCH_COMMANDS[@]}"
}
audit "$ROOT" || { echo "FAILED: the repository's scripts, a desktop's commands on the PATH"; exit 1; }

cat >"$work/script.sh" <<'SCRIPT'
# print see
awk '{ print $1 }
     END { print "edit" }' file | one -x
names=(see edit "print")
echo "print $(two "see") compose" # print
if three; then python3 - <<PY; fi
print("see")
PY
x=$( four | sed "s/print/edit/" )
helper() { :; }
y=$(helper see now) LC_ALL=C compose=1 z=$HOME/x one
SCRIPT
found=$( (audit "$work/script.sh" 2>&1 || true) | sed -n 's/.* calls \([a-z]*\),.*/\1/p' | sort | tr '\n' ' ')
[ "$found" == "four one three two " ] || { echo "FAILED: the calls found: $found"; exit 1; }
