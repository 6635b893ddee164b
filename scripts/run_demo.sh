#!/usr/bin/env bash
# The demo: builds the player and the demo course (or reuses build/),
# installs the player and the course's packet into a world of the demo's
# own, and starts the player on the course (orvex -tv DEMO).
#
#   scripts/run_demo.sh            starts orvex on the display
#   DEMO_DIR=/some/dir ...         keeps the demo's files there
#                                  (default build/demo; never the user's data)
#
# Without a sound server the demo starts a silent PulseAudio null sink and
# says so; without a display it runs under Xvfb, saves a screenshot and ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
demo=${DEMO_DIR:-$build/demo}
code=DEMO

say() { echo "run_demo: $*"; }

# The null sink this script started.
stop_sink() {
  "$root/scripts/null_sink.sh" stop "$demo/pulse" >/dev/null 2>&1 || true
  say "null sink stopped"
}

# --- Build ---------------------------------------------------------------------
bash "$root/scripts/install_deps.sh"
if [[ ! -f $build/build.ninja ]]; then
  say "configuring $build"
  # With CI=true warnings are errors, as in scripts/test.sh, so that a test
  # command run after the demo reuses the build instead of redoing it.
  werror=OFF
  [[ ${CI:-} == true ]] && werror=ON
  cmake -S "$root" -B "$build" -G Ninja -DTV_WERROR=$werror >/dev/null
fi
say "building orvex"
cmake --build "$build" -j4 --target orvex lindra glyphary brindle demo_course >/dev/null

# --- A world of the demo's own -------------------------------------------------
# Settings, data path and documents folder all live under $demo, so nothing
# of the user's own player data is read or written.
xauth_file=${XAUTHORITY:-$HOME/.Xauthority}
mkdir -p "$demo/home/.config" "$demo/home/Documents" "$demo/config" "$demo/run"
chmod 700 "$demo/run"
echo 'XDG_DOCUMENTS_DIR="$HOME/Documents"' >"$demo/home/.config/user-dirs.dirs"
# The server address must be read before HOME changes (its cookie and
# default socket are found through HOME).
pulse_server=${PULSE_SERVER:-}
if [[ -z $pulse_server ]] && timeout 5 pactl info >/dev/null 2>&1; then
  pulse_server=$(timeout 5 pactl info 2>/dev/null | sed -n 's/^Server String: //p')
fi
export XAUTHORITY=$xauth_file
export HOME=$demo/home
export XDG_CONFIG_HOME=$demo/home/.config
export XDG_DATA_HOME=$demo/home/.local/share
export XDG_CACHE_HOME=$demo/home/.cache
export TALVANE_CONFIG_ROOT=$demo/config
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$demo/run}
unset PUBLIC TALVANE_TEST_MODE TALVANE_PROGRAM_FOLDER

# --- Sound ---------------------------------------------------------------------
if [[ -n $pulse_server ]] && PULSE_SERVER=$pulse_server timeout 5 pactl info >/dev/null 2>&1; then
  export PULSE_SERVER=$pulse_server
  say "sound goes to the running sound server ($PULSE_SERVER)"
else
  say "no sound server answers: starting a silent PulseAudio null sink (the demo plays without sound)"
  if PULSE_SERVER=$("$root/scripts/null_sink.sh" start "$demo/pulse" | tail -1); then
    trap stop_sink EXIT
  else
    say "no null sink either: orvex will say \"Audio device not available\" and end"
    PULSE_SERVER=
  fi
  export PULSE_SERVER
fi

# --- The demo course -----------------------------------------------------------
# Built with the player: its packet (speech made by espeak-ng) and the grammar
# pages in the program folder. The player installs the packet like any
# other, making the slower and faster renderings.
packet=$build/course/DEMO.tpk
[[ -f $packet ]] || { say "the demo course was not built ($packet)"; exit 1; }

# --- Install and start ---------------------------------------------------------
QT_QPA_PLATFORM=offscreen "$build/bin/orvex" -instal
say "installing the demo course from $packet"
QT_QPA_PLATFORM=offscreen "$build/bin/orvex" -load "$packet" -nostart || { say "the installation failed ($?)"; exit 1; }
say "starting orvex -tv $code (settings and data under $demo)"
if [[ -n ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
  "$build/bin/orvex" -tv "$code" || say "orvex ended with $?"
  exit 0
fi

command -v xvfb-run >/dev/null || { say "no display and no xvfb-run: nothing to show on"; exit 1; }
say "no display: running under Xvfb; a screenshot goes to $demo/orvex.png"
shot=$demo/orvex.png
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" -tv "$2" & pid=$!
  sleep 4
  import -window root "$3" || true
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
' _ "$build/bin/orvex" "$code" "$shot"
[[ -f $shot ]] && say "screenshot: $shot"
