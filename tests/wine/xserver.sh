# Sourced: starts Xvfb on a free display with xcompmgr as compositor.
# Sets DISPLAY and vesk_x_pids; vesk_x_stop ends both.
vesk_x_start() {
  # Xvfb picks the free display itself: sessions started together would all
  # see the same number free and share one screen (and one mouse).
  local out n= i
  out=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$out" >/dev/null 2>&1 &
  vesk_x_pids=$!
  for i in $(seq 100); do
    [ "$(wc -l <"$out")" -ge 1 ] && break
    sleep 0.1
  done
  n=$(head -n1 "$out")
  rm -f "$out"
  [ -n "$n" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$n"
  xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start on $DISPLAY" >&2; return 1; }
  xcompmgr >/dev/null 2>&1 &
  vesk_x_pids="$vesk_x_pids $!"
}
vesk_x_stop() {
  [ -n "${vesk_x_pids:-}" ] && kill $vesk_x_pids 2>/dev/null
  vesk_x_pids=
}
