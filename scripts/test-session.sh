#!/usr/bin/env bash
# Runs a command inside a private desktop session for the tests:
#   - fresh XDG folders, so no test touches the user's settings, models or caches;
#   - Xvfb as the X server (DISPLAY), for hotkey, paste and window tests;
#   - a private D-Bus session bus;
#   - a PulseAudio daemon with a null sink and two inputs for capture tests that play a tone in
#     real time: the default parloquin_sine (440 Hz, 48 kHz mono) and parloquin_sine_1k (1 kHz,
#     44.1 kHz mono, with a vendor name).
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

# Session bus.
if command -v dbus-daemon >/dev/null; then
  dbus-daemon --session --fork --print-address=3 --print-pid=4 \
    3>"$session/dbus.address" 4>"$session/dbus.pid" || true
  if [ -s "$session/dbus.address" ]; then
    export DBUS_SESSION_BUS_ADDRESS=$(cat "$session/dbus.address")
    pids+=($(cat "$session/dbus.pid"))
  fi
fi

# Sound server with a null sink and two test inputs. Each input is a sine played into a null sink
# of its own, offered as an input through a remap of that sink's monitor (monitors are outputs,
# not inputs). A sink plays in blocks of up to 2 s until someone asks it for less; a recorder that
# stays attached with a short latency keeps it real-time, so that recordings get the tone as it
# is played.
if command -v pulseaudio >/dev/null; then
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
  for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && break; sleep 0.1; done
  if command -v parec >/dev/null; then
    for tone in parloquin_tone_440 parloquin_tone_1k; do
      parec --latency-msec=10 -d "$tone.monitor" >/dev/null 2>&1 &
      pids+=($!)
    done
    sleep 2.5  # the first, long block of each sink
  fi
fi

"$@"

