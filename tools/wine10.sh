#!/usr/bin/env bash
# Runs the end-to-end suites under Wine 10 of Debian 13 "trixie", beside the Wine 8 of this
# machine: a trixie root made once with debootstrap (reused after), the source tree bound into
# it at the same path, and the builds made here tested there by their own ctest (the suites as
# the build registered them) with the Wine of the root and a Wine prefix of their own.
#
#   tools/wine10.sh [suite ...]   e.g. `tools/wine10.sh telop dpi`; all suites by default
#
# The mounts live in a mount namespace of their own, so they vanish with the run whatever
# ends it, and never show in the machine's mount table. VO_WINE10_ROOT moves the root (default
# below), VO_E2E_JOBS sets how many suites run at once (default: one more than the cores, as
# the suites mostly wait).
set -euo pipefail
# debootstrap, chroot and the mounts need root.
if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=VO_WINE10_ROOT,VO_DEBIAN_MIRROR,VO_E2E_JOBS,VO_OUT,JOBS "$0" "$@"
fi
source "$(dirname "$0")/common.sh"

ROOTFS="${VO_WINE10_ROOT:-/var/cache/vo/wine10-trixie}"
MIRROR="${VO_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
PACKAGES=(wine wine32:i386 wine64 xvfb xdotool x11-utils xcompmgr imagemagick python3 python3-pil
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation locales cmake)
READY="$ROOTFS/.vo-ready"

# In the namespace: binds what the suites need, then runs the rest of the arguments in the
# root. The trap unmounts in reverse order, before the namespace would drop them anyway.
if [ "${1:-}" = --inside ]; then
  shift
  mounted=()
  unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" || true; done
  }
  trap unmount_all EXIT
  bind() {  # source, target inside the root, mount options
    mkdir -p "$ROOTFS$2"
    mount "${@:3}" "$1" "$ROOTFS$2"
    mounted+=("$ROOTFS$2")
  }
  bind proc /proc -t proc
  bind /dev /dev --rbind
  bind /sys /sys --rbind
  # The host's /tmp: Xvfb picks a free display by the lock files there, and the harness's
  # scratch folders are the same paths on both sides.
  bind /tmp /tmp --bind
  bind "$VO_ROOT" "$VO_ROOT" --bind
  [ "${VO_OUT#"$VO_ROOT"/}" != "$VO_OUT" ] || bind "$VO_OUT" "$VO_OUT" --bind
  cp -L /etc/resolv.conf "$ROOTFS/etc/resolv.conf" 2>/dev/null || true
  chroot "$ROOTFS" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 "$@"
  exit
fi

in_root() { unshare --mount --propagation private "$0" --inside "$@"; }

make_root() {
  local started partial="$ROOTFS.partial"
  started=$(date +%s)
  echo "wine10: making the Debian 13 root in $ROOTFS"
  if ! command -v debootstrap >/dev/null; then
    apt-get update -q || true  # a mirror mid-sync may leave one index out; debootstrap is 64-bit
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap
  fi
  rm -rf "$partial"
  debootstrap --variant=minbase trixie "$partial" "$MIRROR" >"$partial.log" 2>&1 ||
    { tail -20 "$partial.log"; exit 1; }
  VO_WINE10_ROOT="$partial" in_root sh -euc '
    dpkg --add-architecture i386
    apt-get update -q || true  # a mirror mid-sync may leave one index out; debootstrap is 64-bit
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
    sed -i "s/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/" /etc/locale.gen
    locale-gen >/dev/null
    apt-get clean' sh "${PACKAGES[@]}" >>"$partial.log" 2>&1 ||
    { tail -20 "$partial.log"; exit 1; }
  rm -rf "$ROOTFS"
  mv "$partial" "$ROOTFS"
  mv "$partial.log" "$ROOTFS.log"
  echo "${PACKAGES[*]}" >"$READY"
  echo "wine10: root made in $(($(date +%s) - started)) s, $(du -sh "$ROOTFS" | cut -f1)"
}

# A root made before the list above grew: the packages it lacks are installed into it.
add_packages() {
  echo "wine10: adding to the Debian 13 root: ${PACKAGES[*]}"
  in_root sh -euc '
    apt-get update -q || true
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
    apt-get clean' sh "${PACKAGES[@]}" >>"$ROOTFS.log" 2>&1 || { tail -20 "$ROOTFS.log"; exit 1; }
  echo "${PACKAGES[*]}" >"$READY"
}

# The root is reused while it holds the packages listed above; one run makes it at a time.
mkdir -p "$(dirname "$ROOTFS")"
{
  flock 9
  if [ ! -f "$READY" ]; then
    make_root
  elif [ "$(cat "$READY")" != "${PACKAGES[*]}" ]; then
    add_packages
  fi
} 9>"$ROOTFS.lock"

build="$(build_dir "$(in_root "$VO_ROOT/tools/which_wine.sh" | cut -d' ' -f1)")"
for program in vo.exe probe.exe; do
  [ -f "$build/$program" ] || { echo "wine10: build $build first (tools/test.sh)"; exit 1; }
done
echo "wine10: $(in_root /usr/lib/wine/wine --version 2>/dev/null || in_root wine --version)"
# The harness finds the root's loader as it finds this machine's; the prefix is kept apart from
# the Wine 8 runs' one. Named suites run alone (with the prefix step they need), else every one.
suites='.*'
[ $# -eq 0 ] || suites="($(IFS='|' && echo "$*"))"
# ctest keeps its log and timings in the build, which stays its owner's after a run as root.
trap 'chown -R --reference="$build" "$build/Testing" 2>/dev/null || true' EXIT
in_root VO_WINEPREFIX="$build/e2e-prefix-wine10" ctest --test-dir "$build" -R "^e2e\.$suites\$" \
  --no-tests=error --output-on-failure -j "${VO_E2E_JOBS:-$((JOBS + 1))}"
