#!/usr/bin/env bash
# A PipeWire of its own without a desktop: a session bus, pipewire, wireplumber and pipewire-pulse
# in a runtime folder of their own, with a null sink "null" at 48000 Hz as the default sink.
#   eval "$(tools/scripts/private-pipewire.sh start DIR [QUANTUM])"   starts it, prints the exports
#   tools/scripts/private-pipewire.sh stop DIR                        stops the four by their pids
# JACK clients reach it through pw-jack, PulseAudio clients through PULSE_RUNTIME_PATH.
set -euo pipefail

command=${1:-}
folder=${2:-}
[ -n "$command" ] && [ -n "$folder" ] || { echo "usage: $0 start|stop DIR [QUANTUM]" >&2; exit 2; }

stop() {
  local name pid
  for name in pipewire-pulse wireplumber pipewire dbus; do
    [ -f "$folder/$name.pid" ] || continue
    pid=$(cat "$folder/$name.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$folder/$name.pid"
  done
}

if [ "$command" = stop ]; then
  stop
  exit 0
fi
[ "$command" = start ] || { echo "usage: $0 start|stop DIR [QUANTUM]" >&2; exit 2; }
for program in dbus-daemon pipewire wireplumber pipewire-pulse pactl; do
  command -v "$program" >/dev/null || { echo "$program is not installed" >&2; exit 1; }
done

quantum=${3:-}
mkdir -p "$folder/run" "$folder/config/pipewire/pipewire.conf.d" "$folder/state"
chmod 700 "$folder/run"
export XDG_RUNTIME_DIR="$folder/run" XDG_CONFIG_HOME="$folder/config" XDG_STATE_HOME="$folder/state"
export PULSE_RUNTIME_PATH="$folder/run/pulse"
unset PULSE_SERVER PIPEWIRE_REMOTE
if [ -n "$quantum" ]; then
  printf 'context.properties = { default.clock.quantum = %s default.clock.min-quantum = 32 }\n' "$quantum" \
    > "$folder/config/pipewire/pipewire.conf.d/quantum.conf"
fi

dbus-daemon --session --nofork --address="unix:path=$folder/run/bus" > "$folder/dbus.log" 2>&1 &
echo $! > "$folder/dbus.pid"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$folder/run/bus"
for _ in $(seq 50); do [ -S "$folder/run/bus" ] && break; sleep 0.1; done

pipewire > "$folder/pipewire.log" 2>&1 &
echo $! > "$folder/pipewire.pid"
for _ in $(seq 50); do [ -S "$folder/run/pipewire-0" ] && break; sleep 0.1; done
wireplumber > "$folder/wireplumber.log" 2>&1 &
echo $! > "$folder/wireplumber.pid"
pipewire-pulse > "$folder/pipewire-pulse.log" 2>&1 &
echo $! > "$folder/pipewire-pulse.pid"

answered=no
for _ in $(seq 100); do
  if pactl info >/dev/null 2>&1; then answered=yes; break; fi
  sleep 0.1
done
if [ $answered = no ]; then
  echo "pipewire-pulse does not answer; see $folder/*.log" >&2
  stop
  exit 1
fi
pactl load-module module-null-sink sink_name=null rate=48000 >/dev/null
# wireplumber chooses the default sink once it has seen the new node.
for _ in $(seq 100); do
  pactl set-default-sink null 2>/dev/null && [ "$(pactl get-default-sink 2>/dev/null)" = null ] && break
  sleep 0.1
done
echo "export XDG_RUNTIME_DIR='$folder/run' XDG_CONFIG_HOME='$folder/config' XDG_STATE_HOME='$folder/state'"
echo "export PULSE_RUNTIME_PATH='$folder/run/pulse' DBUS_SESSION_BUS_ADDRESS='unix:path=$folder/run/bus'"
