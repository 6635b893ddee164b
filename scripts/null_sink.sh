#!/usr/bin/env bash
# A private PulseAudio server with one null sink, for the tests and the
# benchmark of the real audio backend.
#   scripts/null_sink.sh start [DIR]   starts it unless one answers in DIR;
#                                      prints the server address
#   scripts/null_sink.sh stop [DIR]    stops the server of DIR and its reader
#   scripts/null_sink.sh running [DIR] exits 0 when the server of DIR answers
#   ... start|stop --for BUILD         the server of a build folder
# DIR defaults to ${TALVANE_PULSE_DIR:-/tmp/talvane-pulse-$UID-<key>}, one
# server per build folder (--for) or else per source tree, so that two
# builds testing at once (a normal and a sanitizer build, or two checkouts)
# never hear each other. The sink
# "nullsink" is the default output and "nullmon" (its monitor, remapped so
# that Qt lists it) the default input. Exits 1 when no server can be started.
set -uo pipefail
cmd=${1:-start}
key=$(cd "$(dirname "$0")/.." && pwd -P | md5sum | cut -c1-8)
if [[ ${2:-} == --for ]]; then
  key=$(realpath -m "${3:?--for needs a build folder}" | md5sum | cut -c1-8)
  set -- "$cmd"
fi
dir=${2:-${TALVANE_PULSE_DIR:-/tmp/talvane-pulse-$(id -u)-$key}}
mkdir -p "$dir" && chmod 700 "$dir"
export XDG_RUNTIME_DIR=$dir
export PULSE_RUNTIME_PATH=$dir/pulse
export PULSE_SERVER=unix:$dir/pulse/native
export HOME=$dir
unset PULSE_COOKIE

answers() { timeout 5 pactl info >/dev/null 2>&1; }

case $cmd in
  running)
    answers
    exit ;;
  stop)
    [[ -f $dir/reader.pid ]] && kill "$(cat "$dir/reader.pid")" 2>/dev/null
    rm -f "$dir/reader.pid"
    # The server refuses "pactl exit" (--disallow-exit): end it by its pid.
    pid=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null)
    [[ -n $pid ]] && kill "$pid" 2>/dev/null
    for _ in $(seq 50); do answers || break; sleep 0.1; done
    exit 0 ;;
  start) ;;
  *) echo "usage: $0 start|stop|running [DIR]" >&2; exit 2 ;;
esac

if ! answers; then
  command -v pulseaudio >/dev/null || { echo "null_sink: pulseaudio is not installed" >&2; exit 1; }
  mkdir -p "$dir/pulse" && chmod 700 "$dir/pulse"
  pulseaudio -n --daemonize=yes --system=false --exit-idle-time=-1 --disallow-exit \
    --use-pid-file=yes --log-target=file:"$dir/pulse.log" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse/native" \
    -L "module-null-sink sink_name=nullsink rate=44100 channels=2" \
    -L "module-remap-source master=nullsink.monitor source_name=nullmon" >/dev/null 2>&1
  for _ in $(seq 50); do answers && break; sleep 0.1; done
  answers || { echo "null_sink: the server did not start (see $dir/pulse.log)" >&2; exit 1; }
  pactl set-default-sink nullsink && pactl set-default-source nullmon
fi

# An idle null sink renders far ahead, which delays every new stream by up
# to 2 s: a low-latency reader on the monitor keeps it in real time.
if ! { [[ -f $dir/reader.pid ]] && kill -0 "$(cat "$dir/reader.pid")" 2>/dev/null; }; then
  nohup parec -d nullsink.monitor --latency-msec=10 --raw >/dev/null 2>&1 &
  echo $! >"$dir/reader.pid"
  # Wait until a short clip plays in well under half a second.
  clip=$dir/clip.raw
  head -c 8820 /dev/zero >"$clip"
  for _ in $(seq 20); do
    t0=$(date +%s%N)
    timeout 5 pacat --raw --format=s16le --rate=44100 --channels=1 "$clip" >/dev/null 2>&1
    t1=$(date +%s%N)
    (( (t1 - t0) / 1000000 < 400 )) && break
    sleep 0.2
  done
fi
echo "$PULSE_SERVER"
