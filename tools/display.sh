# Sourced by the scripts that run Windows programs: an Xvfb display of their
# own, so that windows can open where no X server runs.
start_display() {
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    QRX_XVFB_PID=$!
    for _ in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$QRX_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_display() {
  [ -n "${QRX_XVFB_PID:-}" ] && kill "$QRX_XVFB_PID" 2>/dev/null || true
  QRX_XVFB_PID=
}
