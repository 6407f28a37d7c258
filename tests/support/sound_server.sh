#!/usr/bin/env bash
# A private sound server for the tests:
#
#   tests/support/sound_server.sh [--pulseaudio] DIR RATE [NOISE_BINARY]
#
# By default PipeWire with its pulse service; with --pulseaudio a real
# PulseAudio daemon, run from the package that scripts/install-deps unpacks
# into /usr/local/lib/quorlix/pulseaudio (Debian's pulseaudio package cannot
# be installed beside pipewire-alsa).
#
# Everything lives in the empty folder DIR: the runtime folder, HOME, the
# configuration and a session bus of its own, so the machine's own session
# is never touched, and no client starts a server of its own. The server
# runs at RATE (44100 or 48000). Its only sink, "quorlix-sink", feeds the
# default capture device of both ALSA plugins (type pipewire, type pulse)
# and of Wine's pulse driver: in PipeWire the playback half of a loopback,
# "quorlix-source"; in PulseAudio the sink's monitor. With NOISE_BINARY
# (this tree's quorlix-noise) an hour of synthetic line-in noise that never
# repeats is played into the sink in real time; without it the source
# records silence.
#
# Once everything answers, DIR/ready appears, holding lines of NAME=VALUE:
# the environment a client needs (XDG_RUNTIME_DIR, PULSE_SERVER,
# PULSE_CLIENTCONFIG), the PID of every process started (dbus_pid,
# pipewire_pid, wireplumber_pid, pulse_pid, listener_pid, events_pid,
# noise_pid, player_pid; pulse_pid is the process that serves the pulse
# protocol, pipewire-pulse or the PulseAudio daemon), and the log of the
# server's events as `pactl subscribe` prints them (events), complete up to
# that moment. The script then stays in the foreground until SIGTERM or
# SIGINT and ends every process it started, by PID; should the script itself
# be killed, each of them gets SIGKILL from the kernel.
set -uo pipefail

server=pipewire
if [[ ${1:-} == --pulseaudio ]]; then
  server=pulseaudio
  shift
fi
if [[ $# -lt 2 || $# -gt 3 || ! -d $1 ]]; then
  echo "usage: $0 [--pulseaudio] DIR RATE [NOISE_BINARY]" >&2
  exit 2
fi
dir=$(cd "$1" && pwd)
rate=$2
noise_binary=${3:-}
pulseaudio_root=/usr/local/lib/quorlix/pulseaudio

pids=()
stop_all() {
  trap - TERM INT EXIT
  local pid
  # A frozen process would keep SIGTERM pending for ever.
  for pid in "${pids[@]}"; do kill -CONT "$pid" 2>/dev/null; kill -TERM "$pid" 2>/dev/null; done
  for _ in $(seq 20); do
    local alive=0
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    ((alive)) || break
    sleep 0.1
  done
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null; done
  wait 2>/dev/null
  exit 0
}
trap stop_all TERM INT EXIT

fail() {
  echo "sound_server: $1" >&2
  local log
  for log in "$dir"/*.log; do
    echo "--- ${log##*/}" >&2
    tail -n 20 "$log" >&2
  done
  exit 1
}

export HOME=$dir/home
export XDG_RUNTIME_DIR=$dir/runtime
export XDG_CONFIG_HOME=$dir/config
export XDG_STATE_HOME=$dir/state
export XDG_DATA_HOME=$dir/data
export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
export PULSE_STATE_PATH=$XDG_STATE_HOME/pulse
export PULSE_SERVER=unix:$PULSE_RUNTIME_PATH/native
export PULSE_CLIENTCONFIG=$dir/client.conf
unset PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$PULSE_RUNTIME_PATH" "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d" \
  "$XDG_STATE_HOME" "$XDG_DATA_HOME"
chmod 700 "$XDG_RUNTIME_DIR" "$PULSE_RUNTIME_PATH"
# A client that finds no server must fail, never start one of its own.
echo "autospawn = no" >"$PULSE_CLIENTCONFIG"

# Every process runs with SIGKILL as its parent-death signal: if this
# script dies without its trap, nothing it started outlives it.
start() {  # NAME COMMAND...: starts COMMAND in the background, logging to NAME.log
  local name=$1
  shift
  setpriv --pdeathsig KILL "$@" </dev/null >"$dir/$name.log" 2>&1 &
  pids+=($!)
  eval "${name}_pid=$!"
}

wait_until() {  # WHAT COMMAND...: polls COMMAND for up to 10 s
  local what=$1
  shift
  for _ in $(seq 100); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "$what did not come up"
}

bus_socket=$dir/runtime/bus
start dbus dbus-daemon --session --nofork --nopidfile --address="unix:path=$bus_socket"
wait_until "the session bus" test -S "$bus_socket"
export DBUS_SESSION_BUS_ADDRESS=unix:path=$bus_socket

start_pipewire() {
  # The sink is the capture half of a loopback whose playback half is the
  # source: what is played into the one comes out of the other.
  cat >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/quorlix.conf" <<EOF
context.properties = {
    default.clock.rate = $rate
    default.clock.allowed-rates = [ $rate ]
}
context.modules = [
    { name = libpipewire-module-loopback
        args = {
            node.description = "QUORLIX test noise"
            audio.position = [ FL FR ]
            capture.props = {
                node.name = "quorlix-sink"
                media.class = "Audio/Sink"
            }
            playback.props = {
                node.name = "quorlix-source"
                media.class = "Audio/Source"
            }
        }
    }
]
EOF
  start pipewire pipewire
  wait_until "pipewire" test -S "$XDG_RUNTIME_DIR/pipewire-0"
  start wireplumber wireplumber
  start pulse pipewire-pulse
  wait_until "the pulse service" pactl info
  # The source is the default once the session manager has chosen it.
  default_source_is_ours() { [[ $(pactl get-default-source) == quorlix-source ]]; }
  wait_until "the default source" default_source_is_ours
  source=quorlix-source
  listener_pid=
}

# The daemon's own libraries and modules stay in its unpacked folder; its
# settings, state, sockets and sink are made here and nowhere else. Pinning
# both of its rates keeps the sink at RATE whatever its clients ask for.
start_pulseaudio() {
  local modules
  modules=$(echo "$pulseaudio_root"/usr/lib/pulse-*/modules)
  mkdir -p "$XDG_CONFIG_HOME/pulse"
  cat >"$XDG_CONFIG_HOME/pulse/daemon.conf" <<EOF
default-sample-rate = $rate
alternate-sample-rate = $rate
exit-idle-time = -1
realtime-scheduling = no
high-priority = no
EOF
  cat >"$dir/server.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$PULSE_RUNTIME_PATH/native
load-module module-null-sink sink_name=quorlix-sink rate=$rate channels=2 format=s16le
set-default-source quorlix-sink.monitor
EOF
  start pulse env LD_LIBRARY_PATH="$pulseaudio_root/usr/lib/x86_64-linux-gnu/pulseaudio:$modules" \
    "$pulseaudio_root/usr/bin/pulseaudio" --daemonize=no --use-pid-file=no --system=no -n \
    --log-target=stderr --dl-search-path="$modules" -F "$dir/server.pa"
  wait_until "pulseaudio" pactl info
  # A null sink renders as far ahead as its clients' latencies allow. With
  # only the player (pacat keeps two seconds in the server) it renders two
  # seconds at a time, and a recording that starts then waits up to two
  # seconds for its first samples, as no card makes it wait. A recorder that
  # stays connected at a card's latency keeps the sink in short blocks, while
  # the player keeps its deep buffer against a loaded machine.
  start listener parec --latency-msec=50 --raw --device=quorlix-sink.monitor /dev/null
  pipewire_pid=
  wireplumber_pid=
  source=quorlix-sink.monitor
}

"start_$server"

# Every event of the server, one a line, in the order the server sent them,
# so that a test can count the recording streams a run opens.
start events stdbuf -oL pactl subscribe

noise_pid=
player_pid=
if [[ -n $noise_binary ]]; then
  # The generator writes only as fast as the player takes the samples.
  mkfifo "$dir/noise.fifo"
  start noise "$noise_binary" 1 3600 "$dir/noise.fifo"
  start player pacat --playback --raw --format=s16le --rate=44100 --channels=2 \
    --device=quorlix-sink "$dir/noise.fifo"
  player_playing() { [[ -n $(pactl list short sink-inputs) ]]; }
  wait_until "the player" player_playing
  # The player's stream exists before the session manager has linked it to
  # the sink; until then the source records silence. A tenth of a second
  # recorded from the source with a sample that is not zero shows that the
  # noise arrives.
  source_has_noise() {
    local bytes
    bytes=$(timeout 5 parec --latency-msec=20 --raw --format=s16le --rate=44100 --channels=2 \
      --device="$source" 2>/dev/null | head -c 17640 | od -An -v -tx1) || true
    [[ $bytes =~ [1-9a-f] ]]
  }
  wait_until "noise at the source" source_has_noise
fi

# A client's departure comes after every event before it: once that of a
# client started now is logged, so is everything the set-up did.
event_log_caught_up() {
  local client
  client=$(pactl info | sed -n 's/^Client Index: //p')
  for _ in $(seq 10); do
    grep -q "'remove' on client #$client\$" "$dir/events.log" && return 0
    sleep 0.1
  done
  return 1
}
wait_until "the event log" event_log_caught_up

{
  echo "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"
  echo "PULSE_SERVER=$PULSE_SERVER"
  echo "PULSE_CLIENTCONFIG=$PULSE_CLIENTCONFIG"
  echo "dbus_pid=$dbus_pid"
  echo "pipewire_pid=$pipewire_pid"
  echo "wireplumber_pid=$wireplumber_pid"
  echo "pulse_pid=$pulse_pid"
  echo "listener_pid=$listener_pid"
  echo "events_pid=$events_pid"
  echo "noise_pid=$noise_pid"
  echo "player_pid=$player_pid"
  echo "events=$dir/events.log"
} >"$dir/ready.new"
mv "$dir/ready.new" "$dir/ready"

# Stays until told to stop; wait returns early whenever a child ends, and
# the tests end some of them on purpose.
while :; do
  wait
  sleep 1
done
