#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The device link against a real kernel: boots Debian's kernel in QEMU (software emulation) with
# the uhid module and runs the guest test program there. Exit 0 when the guest printed
# "RESULT: PASS", 1 when it failed, 77 (skipped) with the reason when this machine cannot run it.
# Usage: run-vmtest.sh GUEST_BINARY CARD_SIM_BINARY WORK_DIR [SANITIZER [HALVIK_CLI_BINARY]]
# With HALVIK_CLI_BINARY, the guest also lists and downloads the card halvik-card-sim serves
# with halvik-cli.
set -u
GUEST=$1
CARD_SIM=$2
WORK=$3
SANITIZER=${4:-}
CLI=${5:-}
HERE=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }
# A Debian package scripts/install-deps installs: missing, the test skips, or fails under CI.
need_package() {
  if [ "${CI:-}" = "true" ]; then echo "FAILED: $* (CI=true)"; exit 1; fi
  skip "$@"
}

[ -z "$SANITIZER" ] || skip "not run in a $SANITIZER-sanitizer build (the guest has 256 MB and no sanitizer runtime)"
command -v qemu-system-x86_64 >/dev/null || need_package "qemu-system-x86_64 is not installed (scripts/install-deps installs it)"
command -v cpio >/dev/null || need_package "cpio is not installed (scripts/install-deps installs it)"
BUSYBOX=/bin/busybox
[ -x "$BUSYBOX" ] && ! ldd "$BUSYBOX" >/dev/null 2>&1 ||
  need_package "a static busybox is needed (package busybox-static, installed by scripts/install-deps)"
command -v xz >/dev/null ||
  need_package "xz is not installed (package xz-utils, installed by scripts/install-deps)"
[ -x "$GUEST" ] || { echo "guest program $GUEST is missing"; exit 1; }
[ -x "$CARD_SIM" ] || { echo "halvik-card-sim $CARD_SIM is missing"; exit 1; }
[ -z "$CLI" ] || [ -x "$CLI" ] || { echo "halvik-cli $CLI is missing"; exit 1; }

# Debian's kernel, unpacked into the build tree once (not installed on this machine).
KDIR=$WORK/kernel
mkdir -p "$KDIR"
exec 9>"$WORK/.lock"
flock 9
if ! ls "$KDIR"/root/boot/vmlinuz-* >/dev/null 2>&1; then
  pkg=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}')
  [ -n "$pkg" ] || skip "the package archive does not name a kernel for linux-image-amd64"
  rm -f "$KDIR"/*.deb
  (cd "$KDIR" && apt-get download "$pkg" >/dev/null 2>&1) ||
    skip "the kernel package $pkg cannot be downloaded"
  rm -rf "$KDIR/root"
  dpkg-deb -x "$KDIR"/"$pkg"_*.deb "$KDIR/root" || skip "the kernel package $pkg cannot be unpacked"
  rm -f "$KDIR"/*.deb
fi
VMLINUZ=$(ls "$KDIR"/root/boot/vmlinuz-* | head -1)
KVER=${VMLINUZ##*/vmlinuz-}
MODDIR=$KDIR/root/lib/modules/$KVER/kernel/drivers/hid
# The uncompressed kernel boots about twice as fast under emulation.
if [ ! -f "$KDIR/vmlinux" ]; then
  for off in $(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$VMLINUZ" | cut -d: -f1); do
    tail -c +$((off + 1)) "$VMLINUZ" | xz -dc --single-stream >"$KDIR/vmlinux.tmp" 2>/dev/null || true
    if [ "$(head -c 4 "$KDIR/vmlinux.tmp" | od -An -tx1 | tr -d ' ')" = 7f454c46 ]; then
      mv "$KDIR/vmlinux.tmp" "$KDIR/vmlinux"
      break
    fi
  done
  rm -f "$KDIR/vmlinux.tmp"
fi
KERNEL=$KDIR/vmlinux
[ -f "$KERNEL" ] || KERNEL=$VMLINUZ

# The initramfs: busybox, the three HID modules, the guest program and its shared libraries
# (halvik-cli brings the Qt libraries it draws reports with: about 80 MB, hence the memory).
R=$WORK/root
rm -rf "$R"
mkdir -p "$R/bin" "$R/dev" "$R/proc" "$R/sys" "$R/tmp" "$R/lib/modules"
cp "$BUSYBOX" "$R/bin/busybox"
ln -s busybox "$R/bin/sh"
for m in hid uhid hid-generic; do
  f=$(ls "$MODDIR/$m.ko"* 2>/dev/null | head -1)
  [ -n "$f" ] || skip "the kernel package has no $m module"
  case "$f" in
    *.xz) xz -dc "$f" >"$R/lib/modules/$m.ko" ;;
    *.zst) zstd -dcq "$f" >"$R/lib/modules/$m.ko" ;;
    *) cp "$f" "$R/lib/modules/$m.ko" ;;
  esac
done
cp "$GUEST" "$R/bin/devicelink-vmguest"
cp "$CARD_SIM" "$R/bin/halvik-card-sim"
[ -z "$CLI" ] || cp "$CLI" "$R/bin/halvik-cli"
for lib in $(ldd "$GUEST" "$CARD_SIM" $CLI | awk '$2 == "=>" && $3 ~ /^\// {print $3} $1 ~ /^\// && $1 !~ /:$/ {print $1}' | sort -u); do
  mkdir -p "$R$(dirname "$lib")"
  cp -L "$lib" "$R$lib"
done
install -m 755 "$HERE/init" "$R/init"
(cd "$R" && find . | cpio -o -H newc --quiet | gzip -1) >"$WORK/initrd.gz"

LOG=$WORK/console.log
start=$(date +%s.%N)
timeout "${QEMU_TIMEOUT:-120}" qemu-system-x86_64 -accel tcg -m 1024 -smp 1 -nodefaults -nographic \
  -serial stdio -no-reboot -kernel "$KERNEL" -initrd "$WORK/initrd.gz" \
  -append "console=ttyS0 quiet panic=-1" </dev/null 2>&1 | tr -d '\r' >"$LOG"
end=$(date +%s.%N)
grep -oE '(CHECK|RESULT|CARDSIM|CLI:|GUEST).*' "$LOG"
awk -v k="$KVER" -v a="$start" -v b="$end" 'BEGIN { printf "HOST: kernel %s, QEMU ran %.1f s\n", k, b - a }'
if grep -q 'RESULT: PASS' "$LOG" && grep -q 'CARDSIM: PASS' "$LOG" &&
   grep -q 'halvik-card-sim exit=0' "$LOG" && { [ -z "$CLI" ] || grep -q 'CLI: PASS' "$LOG"; }; then
  exit 0
fi
echo "--- guest console:"
tail -n 40 "$LOG"
exit 1
