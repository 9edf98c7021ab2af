#!/usr/bin/env bash
# Installs what building and testing MachineCodes needs on a Debian 12 machine, as root.
# Safe to run again: it installs only what is missing.
set -euo pipefail

# Native build and unit tests, the two MinGW-w64 cross compilers (the -win32 thread model needs no
# winpthread DLL), the fuzzer runtime, and the Windows test bench: Wine on a virtual X screen with a
# CJK font, xdotool for real input, ImageMagick for screenshots.
packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev clang libclang-rt-14-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth x11-utils xdotool fonts-wqy-microhei imagemagick
  qemu-user python3 procps
)
# 32-bit Wine for the shipping i686 program; this kernel runs it only through QEMU user emulation.
i386_packages=(wine32:i386 libwine:i386)

missing=()
for p in "${packages[@]}" "${i386_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# This kernel cannot execute i386 Linux binaries itself, so 32-bit Wine runs through QEMU user emulation:
# register qemu-i386 for i386 ELF executables and shared objects (types 2 and 3).
if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || true
fi
if [ -e /proc/sys/fs/binfmt_misc/register ] && [ ! -e /proc/sys/fs/binfmt_misc/mc-qemu-i386 ] \
   && [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':mc-qemu-i386:M::%s:%s:%s:OCF\n' "$magic" "$mask" "$(command -v qemu-i386)" \
    > /proc/sys/fs/binfmt_misc/register || echo "setup: could not register qemu-i386 for 32-bit programs" >&2
fi
