# Sourced by the scripts: one Xvfb and one wineserver per prefix for a whole
# run, so each Windows program starts in about half a second instead of
# paying for a display and a server of its own.

wine_session_pids=()

# Starts a private Xvfb (unless DISPLAY is already set) and exports DISPLAY.
wine_session_display() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  wine_session_pids+=($!)
  local number
  read -r -t 30 number <"$fifo" || true
  rm -f "$fifo"
  if [ -z "${number:-}" ]; then echo "session: Xvfb did not start" >&2; return 1; fi
  export DISPLAY=":$number"
}

# wine_session_server PREFIX RUNNER: creates the prefix if needed, keeps one
# wineserver running for it until wine_session_end, and starts Wine's own
# services with one program before any test runs: test programs started side
# by side while those services come up can hang on exit.
wine_session_server() {
  local prefix=$1 runner=$2
  WINEPREFIX="$prefix" "$runner" cmd /c exit 0 >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -p >/dev/null 2>&1 || true
  wine_session_prefixes+=("$prefix")
  WINEPREFIX="$prefix" "$runner" cmd /c exit 0 >/dev/null 2>&1
}

wine_session_prefixes=()

wine_session_end() {
  local prefix
  for prefix in "${wine_session_prefixes[@]}"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" timeout 10 wineserver -w >/dev/null 2>&1 || true
  done
  local pid
  for pid in "${wine_session_pids[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
}
