#!/usr/bin/env bash
# Runs a command inside a private desktop session for the tests:
#   - fresh XDG folders, so no test touches the user's settings, models or caches;
#   - Xvfb as the X server (DISPLAY), for hotkey, paste and window tests;
#   - a sealed private D-Bus session bus: it starts no service installed on the machine
#     (scripts/test-session-bus.conf);
#   - a PulseAudio server with a null sink and two inputs for capture tests that play a tone in
#     real time: the default parloquin_sine (440 Hz, 48 kHz mono) and parloquin_sine_1k (1 kHz,
#     44.1 kHz mono, with a vendor name). It is PulseAudio's own daemon where PulseAudio is
#     installed, otherwise the machine's PipeWire (pipewire, wireplumber, pipewire-pulse) run
#     privately; PARLOQUIN_TEST_SOUND_SERVER=pulseaudio|pipewire chooses;
#   - headless Wayland compositors with XWayland on demand: a test (or a person) that needs one
#     starts it with scripts/wayland-compositor.sh sway|kwin|mutter, which ends with it; the
#     folder for XWayland's sockets is made here.
# Everything it starts ends with it.
set -euo pipefail

session=$(mktemp -d /tmp/parloquin-test-session.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$session"
}
trap cleanup EXIT

export XDG_CONFIG_HOME="$session/config" XDG_DATA_HOME="$session/data" XDG_CACHE_HOME="$session/cache"
export XDG_RUNTIME_DIR="$session/runtime" HOME="$session/home"
# Sound clients find the session's server by XDG_RUNTIME_DIR alone, never the user's.
unset PULSE_SERVER PULSE_RUNTIME_PATH PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR
# No test reaches the user's Wayland desktop: the tests that want one start their own.
unset WAYLAND_DISPLAY WAYLAND_SOCKET SWAYSOCK XDG_SESSION_TYPE XDG_CURRENT_DESKTOP
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$HOME"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

# X server: the first free display number from 90 on.
if command -v Xvfb >/dev/null; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$session/xvfb.log" 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    break
  done
fi

# XWayland's socket folder, for compositors started in the session (Xvfb makes it too).
[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix 2>/dev/null || true

# Session bus, sealed: its only service folder is an empty one of the session's.
if command -v dbus-daemon >/dev/null; then
  mkdir -p "$session/dbus/services"
  cp "$(dirname "$0")/test-session-bus.conf" "$session/dbus/bus.conf"
  dbus-daemon --config-file="$session/dbus/bus.conf" --fork --print-address=3 --print-pid=4 \
    3>"$session/dbus.address" 4>"$session/dbus.pid" || true
  if [ -s "$session/dbus.address" ]; then
    export DBUS_SESSION_BUS_ADDRESS=$(cat "$session/dbus.address")
    pids+=($(cat "$session/dbus.pid"))
  fi
fi

sound_server="${PARLOQUIN_TEST_SOUND_SERVER:-}"
if [ -z "$sound_server" ]; then
  if command -v pulseaudio >/dev/null; then sound_server=pulseaudio
  elif command -v pipewire-pulse >/dev/null; then sound_server=pipewire
  fi
fi

wait_for_sound_server() {
  for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && return 0; sleep 0.1; done
  echo "test-session: the $1 sound server did not start; the audio tests will fail" >&2
  return 1
}

# PulseAudio: a null sink and two test inputs. Each input is a sine played into a null sink of
# its own, offered as an input through a remap of that sink's monitor (monitors are outputs, not
# inputs). A sink plays in blocks of up to 2 s until someone asks it for less; a recorder that
# stays attached with a short latency keeps it real-time, so that recordings get the tone as it
# is played.
start_pulseaudio() {
  cat >"$session/pulse.pa" <<PA
load-module module-native-protocol-unix
load-module module-null-sink sink_name=parloquin_null sink_properties=device.description=Null-Ausgabe
load-module module-null-sink sink_name=parloquin_tone_440 format=float32le rate=48000 channels=1 channel_map=mono sink_properties=device.description=Ton-440
load-module module-sine sink=parloquin_tone_440 frequency=440
load-module module-remap-source source_name=parloquin_sine master=parloquin_tone_440.monitor channels=1 channel_map=mono source_properties=device.description=Sinus-Testquelle
load-module module-null-sink sink_name=parloquin_tone_1k format=float32le rate=44100 channels=1 channel_map=mono sink_properties=device.description=Ton-1k
load-module module-sine sink=parloquin_tone_1k frequency=1000
load-module module-remap-source source_name=parloquin_sine_1k master=parloquin_tone_1k.monitor channels=1 channel_map=mono source_properties="device.description='Sinus 1 kHz' device.vendor.name='Parloquin Testlabor'"
set-default-source parloquin_sine
set-default-sink parloquin_null
PA
  pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n -F "$session/pulse.pa" \
    --use-pid-file=no --log-target=file:"$session/pulse.log" >/dev/null 2>&1 &
  pids+=($!)
  wait_for_sound_server PulseAudio
  if command -v parec >/dev/null; then
    for tone in parloquin_tone_440 parloquin_tone_1k; do
      parec --latency-msec=10 -d "$tone.monitor" >/dev/null 2>&1 &
      pids+=($!)
    done
    sleep 2.5  # the first, long block of each sink
  fi
}

# PipeWire: the machine's daemon, session manager and PulseAudio server, private to the session
# (its runtime folder, its bus) and without the machine's sound cards. Its PulseAudio server has
# no sine module: sox plays each tone into its null sink. The same inputs as above result.
start_pipewire() {
  local missing=()
  for program in pipewire wireplumber pipewire-pulse pw-loopback pactl pacat sox; do
    command -v "$program" >/dev/null || missing+=("$program")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "test-session: this machine's sound runs on PipeWire, and a private PipeWire server for the tests" \
         "needs ${missing[*]}, which is not installed; the audio tests will fail" >&2
    return
  fi
  mkdir -p "$XDG_CONFIG_HOME/wireplumber/main.lua.d" "$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d"
  printf 'alsa_monitor.enabled = false\nv4l2_monitor.enabled = false\nlibcamera_monitor.enabled = false\n' \
    >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/90-parloquin-tests.lua"
  echo 'bluez_monitor.enabled = false' >"$XDG_CONFIG_HOME/wireplumber/bluetooth.lua.d/90-parloquin-tests.lua"
  # Long periods, so that a busy machine (a parallel test run) does not make the tones skip.
  mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d"
  echo 'context.properties = { default.clock.quantum = 4096 default.clock.min-quantum = 2048 }' \
    >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/90-parloquin-tests.conf"
  pipewire >"$session/pipewire.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
  wireplumber >"$session/wireplumber.log" 2>&1 &
  pids+=($!)
  pipewire-pulse >"$session/pipewire-pulse.log" 2>&1 &
  pids+=($!)
  wait_for_sound_server PipeWire || return 0
  # A tone: sox plays it into a null sink of its own, and a loopback offers that sink's sound as
  # an input (PipeWire's remap module keeps neither the rate nor quoted properties).
  tone() {  # sink, rate, frequency, input, the input's properties
    pactl load-module module-null-sink sink_name="$1" format=float32le rate="$2" channels=1 channel_map=mono \
      sink_properties=device.description="$1" >/dev/null
    pacat --playback -d "$1" --raw --format=float32le --rate="$2" --channels=1 --latency-msec=250 \
      < <(sox -n -t raw -e floating-point -b 32 -r "$2" -c 1 - synth 86400 sine "$3" 2>/dev/null) \
      >>"$session/tones.log" 2>&1 &
    pids+=($!)
    local format="audio.rate=$2 audio.channels=1 audio.position=[MONO]"
    pw-loopback --capture-props="node.target=$1 stream.capture.sink=true node.name=$4.capture $format" \
      --playback-props="media.class=Audio/Source node.name=$4 $5 $format" >>"$session/tones.log" 2>&1 &
    pids+=($!)
    # A recorder that stays attached keeps the chain running, so that a recording gets the tone
    # from its first buffer on.
    for _ in $(seq 50); do pactl list short sources | grep -q "	$4	" && break; sleep 0.1; done
    parec --latency-msec=10 -d "$4" >/dev/null 2>&1 &
    pids+=($!)
  }
  pactl load-module module-null-sink sink_name=parloquin_null sink_properties=device.description=Null-Ausgabe >/dev/null
  tone parloquin_tone_440 48000 440 parloquin_sine 'node.description=Sinus-Testquelle'
  tone parloquin_tone_1k 44100 1000 parloquin_sine_1k \
    'node.description="Sinus 1 kHz" device.vendor.name="Parloquin Testlabor"'
  pactl set-default-source parloquin_sine
  pactl set-default-sink parloquin_null
}

# A sound server that fails to come up fails the audio tests, not the whole run.
case "$sound_server" in
  pulseaudio) start_pulseaudio || true ;;
  pipewire) start_pipewire || true ;;
  "") echo "test-session: no sound server installed (pulseaudio or pipewire-pulse); the audio tests will fail" >&2 ;;
  *) echo "test-session: unknown PARLOQUIN_TEST_SOUND_SERVER=$sound_server" >&2; exit 2 ;;
esac

"$@"

