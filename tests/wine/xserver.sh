# Sourced: starts Xvfb on the first free display with xcompmgr as compositor.
# Sets DISPLAY and vesk_x_pids; vesk_x_stop ends both.
vesk_x_start() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  vesk_x_pids=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start on $DISPLAY" >&2; return 1; }
  xcompmgr >/dev/null 2>&1 &
  vesk_x_pids="$vesk_x_pids $!"
}
vesk_x_stop() {
  [ -n "${vesk_x_pids:-}" ] && kill $vesk_x_pids 2>/dev/null
  vesk_x_pids=
}
