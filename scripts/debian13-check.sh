#!/usr/bin/env bash
# Runs the README's test command (scripts/test.sh) on Debian 13 (trixie) from this tree, on a
# Debian machine of any release:
#   - a trixie root made with debootstrap from the Debian archive this machine's apt uses, kept in
#     build/debian13-root (PARLOQUIN_DEBIAN13_ROOT names another folder) and reused by later runs;
#   - the tree (without build/) copied to /root/parloquin in it, refreshed on every run, so that
#     its build folders stay and a second run builds only what changed;
#   - the test packages installed there by scripts/install-deps.sh (with the network), then
#     scripts/test.sh run in a network namespace of its own that has only a loopback interface,
#     so that its X server, session bus and sound server meet none of this machine's.
# Needs root (debootstrap, chroot, mounts). Builds with PARLOQUIN_JOBS (default 6) compile jobs and
# runs PARLOQUIN_TEST_JOBS (default 4) tests at once. Writes everything to build/debian13-check.log
# and ends with the test runs' summaries.
#   scripts/debian13-check.sh            install, build and test
#   scripts/debian13-check.sh -- CMD...  run CMD in the tree copy instead (a shell: -- bash)
set -euo pipefail

# The whole script is read before it runs: a change to the file while a run goes on does not
# reach that run.
main() {
  cd "$(dirname "$0")/.."
  tree=$PWD
  source scripts/packages.sh

  suite=trixie
  root=$(realpath -m "${PARLOQUIN_DEBIAN13_ROOT:-build/debian13-root}")
  log="$tree/build/debian13-check.log"
  command=(scripts/test.sh)
  if [ "${1:-}" = -- ]; then
    shift
    command=("$@")
  fi

  if [ "$(id -u)" -ne 0 ]; then
    echo "$0 makes a Debian 13 root with debootstrap and mounts in it: run it as root" >&2
    exit 1
  fi
  missing=()
  for p in "${debian13_check_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  fi

  # The Debian archive this machine's apt uses (its first source that is neither security nor
  # another project's), else Debian's own.
  archive_of() {  # the archive's last path element: debian or debian-security
    local files=() url=""
    shopt -s nullglob
    files=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
    shopt -u nullglob
    [ ${#files[@]} -eq 0 ] || url=$(grep -hoE '(https?://[^ ]+/'"$1"')/?( |$)' "${files[@]}" 2>/dev/null | head -n 1 | tr -d ' ')
    echo "${url%/}"
  }
  mirror=$(archive_of debian)
  mirror=${mirror:-http://deb.debian.org/debian}
  security=$(archive_of debian-security)
  security=${security:-${mirror%/debian}/debian-security}

  mkdir -p "$tree/build" "$(dirname "$root")"
  # One run at a time per root: a second would unmount the first one's folders.
  exec 9>"$root.lock"
  if ! flock -n 9; then
    echo "$0: another run uses $root; wait for it to end" >&2
    exit 1
  fi
  exec > >(tee "$log") 2>&1

  # Mounts under the root, deepest first; also those a run that was killed left behind.
  unmount_all() {
    local m
    while read -r m; do
      umount "$m" 2>/dev/null || umount -l "$m"
    done < <(findmnt -rn -o TARGET | awk -v r="$root/" 'index($0 "/", r) == 1' | sort -r)
  }
  unmount_all
  trap unmount_all EXIT

  if [ ! -f "$root/etc/debian_version" ] || ! grep -q "VERSION_CODENAME=$suite" "$root/etc/os-release" 2>/dev/null; then
    echo "== debootstrap $suite from $mirror into $root"
    rm -rf "$root.partial"
    debootstrap --variant=minbase --include=ca-certificates "$suite" "$root.partial" "$mirror"
    rm -rf "$root"
    mv "$root.partial" "$root"
  fi

  # apt's sources, name service, and no services started by package installs.
  cat >"$root/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
URIs: $mirror
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: $security
Suites: $suite-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  rm -f "$root/etc/apt/sources.list"
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  # The certificate authorities this machine trusts, for npm there (a proxy that this machine's npm
  # trusts is then trusted there too).
  [ ! -f /etc/ssl/certs/ca-certificates.crt ] || cp -L /etc/ssl/certs/ca-certificates.crt "$root/etc/ssl/certs/host-ca-certificates.crt"
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"

  # /dev is a folder of its own with the few devices the build and tests use, not the machine's:
  # a removal of the root while it is mounted cannot reach the machine's devices.
  mount -t proc proc "$root/proc"
  mount -t sysfs -o ro sysfs "$root/sys"
  mount -t tmpfs -o mode=755,size=64k dev "$root/dev"
  for device in "null 1 3" "zero 1 5" "full 1 7" "random 1 8" "urandom 1 9" "tty 5 0"; do
    read -r name major minor <<<"$device"
    mknod -m 666 "$root/dev/$name" c "$major" "$minor"
  done
  mkdir "$root/dev/pts" "$root/dev/shm"
  mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$root/dev/pts"
  ln -s pts/ptmx "$root/dev/ptmx"
  ln -s /proc/self/fd "$root/dev/fd"
  ln -s /proc/self/fd/0 "$root/dev/stdin"
  ln -s /proc/self/fd/1 "$root/dev/stdout"
  ln -s /proc/self/fd/2 "$root/dev/stderr"
  mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
  mount -t tmpfs -o mode=1777 tmp "$root/tmp"

  echo "== the tree into $root/root/parloquin"
  mkdir -p "$root/root/parloquin"
  rsync -a --delete --exclude=/build/ --exclude=/.git "$tree/" "$root/root/parloquin/"

  # A command in the tree copy, with a clean environment.
  inside=(chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
    LANG=C.UTF-8 TERM="${TERM:-dumb}" DEBIAN_FRONTEND=noninteractive ${CI:+CI=$CI}
    NODE_EXTRA_CA_CERTS=/etc/ssl/certs/host-ca-certificates.crt
    PARLOQUIN_JOBS="${PARLOQUIN_JOBS:-6}" PARLOQUIN_TEST_JOBS="${PARLOQUIN_TEST_JOBS:-4}"
    /bin/bash -c 'cd /root/parloquin && exec "$@"' inside)
  # The same in a network namespace of its own with the loopback interface up.
  isolated=(unshare --net /bin/bash -c 'ip link set lo up && exec "$@"' isolated)

  echo "== $(. "$root/etc/os-release" && echo "$PRETTY_NAME"): scripts/install-deps.sh tests"
  "${inside[@]}" scripts/install-deps.sh tests 9>&-

  echo "== ${command[*]}, with no network but the loopback"
  status=0
  "${isolated[@]}" "${inside[@]}" "${command[@]}" 9>&- || status=$?

  echo "== summary ($suite, exit status $status)"
  grep -E '^[0-9]+% tests passed|^The following tests FAILED|^[[:space:]]+[0-9]+ - .*\((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception)' "$log" || true
  exit "$status"
}
main "$@"
