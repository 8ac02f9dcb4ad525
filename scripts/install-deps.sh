#!/usr/bin/env bash
# Installs what building and testing velk needs and a fresh machine may lack.
# With --fuzz also the clang toolchain for the fuzz targets; with --arm the
# aarch64 cross compiler and qemu-user for scripts/check-arm.sh.
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
command -v iconv >/dev/null || need+=(libc-bin)
command -v man >/dev/null || need+=(man-db)
command -v groff >/dev/null || need+=(groff-base)
[ -x /usr/bin/time ] || need+=(time)
# GnuCOBOL judges the record lengths in the copy-book tests (they skip without it).
command -v cobc >/dev/null || need+=(gnucobol3)
if [ "${1:-}" = "--fuzz" ]; then
  command -v clang++ >/dev/null || need+=(clang)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
    need+=(libclang-rt-14-dev)
fi
if [ "${1:-}" = "--arm" ]; then
  command -v aarch64-linux-gnu-g++ >/dev/null || need+=(g++-aarch64-linux-gnu)
  command -v qemu-aarch64 >/dev/null || command -v qemu-aarch64-static >/dev/null ||
    need+=(qemu-user)
fi
[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  echo "Installing ${need[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
else
  echo "Needs ${need[*]}: apt-get install ${need[*]}" >&2
  exit 1
fi
