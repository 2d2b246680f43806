#!/usr/bin/env bash
# Starts a headless Wayland compositor with XWayland for the desktop tests:
#   scripts/wayland-compositor.sh sway|kwin|mutter [COMMAND ARGUMENT...]
# Once the compositor serves, it prints its clients' environment on standard output, one
# NAME=value a line, then the line "ready":
#   WAYLAND_DISPLAY   the compositor's socket as an absolute path (clients keep their own
#                     XDG_RUNTIME_DIR)
#   DISPLAY, XAUTHORITY   its XWayland server
#   XDG_SESSION_TYPE, XDG_CURRENT_DESKTOP   as the desktop's own session sets them
#   KDE_SESSION_VERSION   (kwin) Plasma's major version, as its session sets it
#   PARLOQUIN_COMPOSITOR   sway, kwin or mutter
#   SWAYSOCK          (sway) its IPC socket, for swaymsg
#   PARLOQUIN_COMPOSITOR_BUS   (kwin, mutter) the address of the compositor's own session bus,
#                     sealed like the tests' (KWin's scripting, mutter's RemoteDesktop)
# With a command, the command then runs in that environment and the compositor ends with it (the
# script exits with the command's status); without one, the compositor runs until this script is
# ended (SIGTERM). Everything it started ends with it.
#
#   sway    WLR_BACKENDS=headless WLR_RENDERER=pixman. Sway refuses to run as root: as root it runs
#           as the user nobody, in a runtime folder of that user's. PARLOQUIN_SWAY_CONFIG names a
#           file of configuration lines that sway reads after its own (a test's key bindings).
#   kwin    kwin_wayland --virtual --xwayland, KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 (every client may
#           use the restricted interfaces, such as fake input). Where the binary's file capability
#           keeps it from running (a container), a copy of it runs; KWin's own Qt platform wants the
#           name kwin_wayland, so the copy keeps it. With PARLOQUIN_DESKTOP_PORTAL=1 Plasma's desktop
#           portal runs on the compositor's bus too, as a Plasma session starts it: xdg-desktop-portal
#           with its KDE backend (whose global shortcuts are KWin's own kglobalaccel) and the
#           permission store; the clients' environment then says PARLOQUIN_DESKTOP_PORTAL=kde. Not
#           installed, it is left out and the variable is not said.
#   mutter  mutter --headless --wayland --virtual-monitor.
set -euo pipefail

kind="${1:-}"
case "$kind" in
  sway | kwin | mutter) shift ;;
  *)
    echo "usage: $0 sway|kwin|mutter [COMMAND ARGUMENT...]" >&2
    exit 2
    ;;
esac

# A process group of its own, so that ending this script ends every program it started (XWayland,
# the helpers the compositor ran) and nothing else. setsid execs in place here: the pid stays.
if [ "$(ps -o pgid= $$ | tr -d ' ')" != "$$" ]; then exec setsid "$0" "$kind" "$@"; fi

for program in "$kind" Xwayland dbus-daemon xhost; do
  [ "$program" = kwin ] && program=kwin_wayland
  if ! command -v "$program" >/dev/null; then
    echo "wayland-compositor: $program is not installed (scripts/install-deps.sh tests installs it)" >&2
    exit 3
  fi
done

# Sway refuses root; it runs as nobody then, and its runtime folder must be that user's.
run_as=()
if [ "$kind" = sway ] && [ "$(id -u)" -eq 0 ]; then run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups); fi

# A caller that dies without ending this script (a test that crashed) ends it all the same.
parent=$PPID
( while kill -0 "$parent" 2>/dev/null; do sleep 1; done; kill -TERM $$ 2>/dev/null ) &

runtime=$(mktemp -d /tmp/parloquin-wayland.XXXXXX)
compositor_pid=""
bus_pid=""
cleanup() {
  trap - EXIT TERM INT HUP
  [ -z "$compositor_pid" ] || kill -TERM "$compositor_pid" 2>/dev/null || true
  [ -z "$bus_pid" ] || kill -TERM "$bus_pid" 2>/dev/null || true
  for _ in $(seq 20); do
    [ -n "$compositor_pid" ] && kill -0 "$compositor_pid" 2>/dev/null || break
    sleep 0.1
  done
  # What is left of the group (XWayland, helpers), but not this script until it is done.
  kill -KILL $(pgrep -g $$ | grep -vx $$) 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

mkdir -p "$runtime/home" "$runtime/config"
if [ ${#run_as[@]} -gt 0 ]; then chown -R nobody:nogroup "$runtime"; fi
chmod 700 "$runtime"
# XWayland's socket folder; Xvfb makes it too, but a session without one may lack it.
[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix 2>/dev/null || true

# The program the compositor runs once it serves: it writes the clients' environment.
ready="$runtime/ready.sh"
cat >"$ready" <<'READY'
#!/bin/sh
out="$PARLOQUIN_READY_FILE"
{
  echo "WAYLAND_DISPLAY=$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
  echo "DISPLAY=$DISPLAY"
  [ -z "${XAUTHORITY:-}" ] || echo "XAUTHORITY=$XAUTHORITY"
  [ -z "${SWAYSOCK:-}" ] || echo "SWAYSOCK=$SWAYSOCK"
} >"$out.part"
mv "$out.part" "$out"
# Mutter ends when the program it ran ends: this one stays until the compositor goes.
[ "${PARLOQUIN_READY_STAYS:-}" != 1 ] || exec sleep 2147483647
READY
# XWayland lets in only its own user's clients: sway's, run as nobody, lets in the caller's too.
if [ ${#run_as[@]} -gt 0 ]; then
  sed -i "1a xhost +si:localuser:$(id -un) >/dev/null" "$ready"
fi
chmod 755 "$ready"

environment=(env -u DISPLAY -u WAYLAND_DISPLAY -u XAUTHORITY -u SWAYSOCK -u WAYLAND_SOCKET
  HOME="$runtime/home" XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$runtime/config"
  XDG_DATA_HOME="$runtime/home/.local/share" XDG_CACHE_HOME="$runtime/home/.cache"
  PARLOQUIN_READY_FILE="$runtime/environment")

# KWin and mutter talk to a session bus: a sealed one of their own, so that their names
# (org.kde.KWin, org.gnome.Mutter.*) never meet another compositor's or the tests' services.
start_bus() {
  mkdir -p "$runtime/dbus/services"
  cp "$(dirname "$0")/test-session-bus.conf" "$runtime/dbus/bus.conf"
  dbus-daemon --config-file="$runtime/dbus/bus.conf" --fork --print-address=3 --print-pid=4 \
    3>"$runtime/dbus/address" 4>"$runtime/dbus/pid"
  bus_pid=$(cat "$runtime/dbus/pid")
  bus_address=$(cat "$runtime/dbus/address")
  environment+=(DBUS_SESSION_BUS_ADDRESS="$bus_address")
}

# Waits until the name has an owner on the compositor's bus; false after 30 s.
bus_name_owned() {
  for _ in $(seq 300); do
    if dbus-send --bus="$bus_address" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Plasma's desktop portal on the compositor's bus, its programs in this script's group. The backend
# first: the portal takes the backends that are there when it starts (the bus starts none).
portal=""
start_kde_portal() {
  local backend
  backend=$(ls /usr/lib/*/libexec/xdg-desktop-portal-kde 2>/dev/null | head -n 1)
  if [ -z "$backend" ] || [ ! -x /usr/libexec/xdg-desktop-portal ] || [ ! -x /usr/libexec/xdg-permission-store ]; then
    echo "wayland-compositor: xdg-desktop-portal-kde is not installed: no desktop portal" >&2
    return 0
  fi
  local clients=()
  while IFS= read -r line; do clients+=("$line"); done <"$runtime/environment"
  "${environment[@]}" "${clients[@]}" XDG_CURRENT_DESKTOP=KDE /usr/libexec/xdg-permission-store \
    >"$runtime/permission-store.log" 2>&1 &
  # Its dialogs are not needed here: off screen, so it needs neither display.
  "${environment[@]}" "${clients[@]}" XDG_CURRENT_DESKTOP=KDE QT_QPA_PLATFORM=offscreen "$backend" \
    >"$runtime/portal-kde.log" 2>&1 &
  bus_name_owned org.freedesktop.impl.portal.desktop.kde || {
    echo "wayland-compositor: xdg-desktop-portal-kde did not start; its log:" >&2
    tail -n 20 "$runtime/portal-kde.log" >&2
    exit 4
  }
  "${environment[@]}" "${clients[@]}" XDG_CURRENT_DESKTOP=KDE /usr/libexec/xdg-desktop-portal \
    >"$runtime/portal.log" 2>&1 &
  bus_name_owned org.freedesktop.portal.Desktop || {
    echo "wayland-compositor: xdg-desktop-portal did not start; its log:" >&2
    tail -n 20 "$runtime/portal.log" >&2
    exit 4
  }
  portal=kde
}

desktop=""
case "$kind" in
  sway)
    desktop=sway
    cat >"$runtime/sway.conf" <<CONF
xwayland force
output * resolution 1280x800
exec $ready
CONF
    # A test's own lines (key bindings), readable by the user sway runs as.
    if [ -n "${PARLOQUIN_SWAY_CONFIG:-}" ]; then
      cp "$PARLOQUIN_SWAY_CONFIG" "$runtime/sway-extra.conf"
      echo "include $runtime/sway-extra.conf" >>"$runtime/sway.conf"
    fi
    [ ${#run_as[@]} -eq 0 ] || chown nobody:nogroup "$runtime"/sway*.conf
    "${environment[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
      "${run_as[@]}" sway -c "$runtime/sway.conf" >"$runtime/compositor.log" 2>&1 &
    compositor_pid=$!
    ;;
  kwin)
    desktop=KDE
    start_bus
    kwin=$(command -v kwin_wayland)
    # Exit status 126: the kernel refused to run it (its file capability is not allowed here).
    status=0
    "$kwin" --version >/dev/null 2>&1 || status=$?
    if [ "$status" -eq 126 ]; then
      mkdir -p "$runtime/bin"
      cp "$kwin" "$runtime/bin/kwin_wayland"
      kwin="$runtime/bin/kwin_wayland"
    fi
    # Plasma's session says its major version (5 or 6) to its programs.
    plasma_version=$("$kwin" --version 2>/dev/null | grep -o '[0-9][0-9]*' | head -n 1 || true)
    "${environment[@]}" KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 XDG_CURRENT_DESKTOP=KDE \
      "$kwin" --virtual --xwayland --socket wayland-kwin --width 1280 --height 800 "$ready" \
      >"$runtime/compositor.log" 2>&1 &
    compositor_pid=$!
    ;;
  mutter)
    desktop=GNOME
    start_bus
    "${environment[@]}" PARLOQUIN_READY_STAYS=1 XDG_CURRENT_DESKTOP=GNOME \
      mutter --headless --wayland --virtual-monitor 1280x800 --wayland-display wayland-mutter -- "$ready" \
      >"$runtime/compositor.log" 2>&1 &
    compositor_pid=$!
    ;;
esac

for _ in $(seq 300); do
  [ -f "$runtime/environment" ] && break
  if ! kill -0 "$compositor_pid" 2>/dev/null; then
    echo "wayland-compositor: $kind ended before it served; its log:" >&2
    tail -n 30 "$runtime/compositor.log" >&2
    exit 4
  fi
  sleep 0.1
done
if [ ! -f "$runtime/environment" ]; then
  echo "wayland-compositor: $kind did not serve within 30 s; its log:" >&2
  tail -n 30 "$runtime/compositor.log" >&2
  exit 4
fi

if [ "$kind" = kwin ] && [ "${PARLOQUIN_DESKTOP_PORTAL:-}" = 1 ]; then start_kde_portal; fi

{
  cat "$runtime/environment"
  [ -z "$portal" ] || echo "PARLOQUIN_DESKTOP_PORTAL=$portal"
  [ -z "${plasma_version:-}" ] || echo "KDE_SESSION_VERSION=$plasma_version"
  echo "XDG_SESSION_TYPE=wayland"
  echo "XDG_CURRENT_DESKTOP=$desktop"
  echo "PARLOQUIN_COMPOSITOR=$kind"
  [ -z "$bus_pid" ] || echo "PARLOQUIN_COMPOSITOR_BUS=$bus_address"
} >"$runtime/clients"

if [ $# -gt 0 ]; then
  set -a
  # shellcheck disable=SC1091
  source "$runtime/clients"
  set +a
  cat "$runtime/clients"
  echo ready
  # In the background, so that a signal to this script ends everything at once.
  "$@" &
  status=0
  wait $! || status=$?
  exit "$status"
fi
cat "$runtime/clients"
echo ready
wait "$compositor_pid" || true
