#!/bin/sh
# Starts the program (with the simulator preloaded by the caller's environment
# and QV750_SIM_TRACE=1) and passes once the simulated programmer has been
# opened and asked for its strings, within 30 s. The program is then ended.
program="$1"
log=$(mktemp)
"$program" 2>"$log" &
pid=$!
found=1
for _ in $(seq 1 300); do
  if grep -q '^qv750sim: open device 1' "$log" && grep -q '^qv750sim: control device 1' "$log"; then
    found=0
    break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if [ "$found" -ne 0 ]; then
  echo "the program never reached the preloaded simulator; its stderr:"
  cat "$log"
fi
rm -f "$log"
exit "$found"
