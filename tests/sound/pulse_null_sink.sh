#!/bin/sh
# A private PulseAudio server on a null sink, for the real-sound test.
# The caller sets PULSE_RUNTIME_PATH to an empty folder of its own.
#   pulse_null_sink.sh start               start the server, wait until it answers
#   pulse_null_sink.sh record FILE PIDFILE record the sink's monitor into FILE
#   pulse_null_sink.sh stop [PIDFILE]      stop the recorder, then the server
set -u
: "${PULSE_RUNTIME_PATH:?set PULSE_RUNTIME_PATH to a private folder}"
unset PULSE_SERVER

wait_for() {  # tries, then a command that must succeed
  tries=$1; shift
  while ! "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -le 0 ] && return 1
    sleep 0.1
  done
}

sink_latency_below() {  # microseconds
  latency=$(pactl list sinks 2>/dev/null | awk '$1=="Latency:"{print $2; exit}')
  [ -n "$latency" ] && [ "$latency" -lt "$1" ]
}

case "${1:-}" in
start)
  command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed"; exit 1; }
  pulseaudio -D --system=false --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=null rate=48000" \
    --load=module-native-protocol-unix 2>"$PULSE_RUNTIME_PATH/server.log" ||
    { echo "pulseaudio did not start:"; cat "$PULSE_RUNTIME_PATH/server.log"; exit 1; }
  wait_for 50 pactl info || { echo "pulseaudio does not answer"; exit 1; }
  ;;
record)
  parec -d null.monitor --latency-msec=20 --rate=48000 --channels=2 --format=s16le \
    --file-format=wav "$2" </dev/null >/dev/null 2>&1 &
  echo $! >"$3"
  # The null sink starts in idle 2-second blocks; until it leaves them the
  # first second of a stream would be lost.
  wait_for 100 sink_latency_below 100000 || { echo "the null sink stays idle"; exit 1; }
  ;;
stop)
  if [ -n "${2:-}" ] && [ -f "$2" ]; then
    pid=$(cat "$2")
    kill -INT "$pid" 2>/dev/null
    wait_for 50 sh -c "! kill -0 $pid" || kill -KILL "$pid" 2>/dev/null
  fi
  pulseaudio --kill 2>/dev/null
  wait_for 50 sh -c "! pactl info" || true
  ;;
*)
  echo "usage: $0 start | record FILE PIDFILE | stop [PIDFILE]" >&2
  exit 2
  ;;
esac
