#!/usr/bin/env bash
# Builds the Debian packages from a configured and built tree, unpacks them
# into a scratch root with dpkg -x and checks them as a user of each would:
# the library's SONAME, a program built from <zep3/zep3.h> and pkg-config
# against the root alone, and the installed station running from the root.
set -euo pipefail
build=$1
scratch=$2
src=$(cd "$(dirname "$0")/../install" && pwd)
rm -rf "$scratch"
mkdir -p "$scratch/packages" "$scratch/root"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/packages" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; exit 1; }
shopt -s nullglob
debs=("$scratch"/packages/*.deb)
[[ ${#debs[@]} -eq 3 ]] || { echo "expected 3 packages, got: ${debs[*]}"; exit 1; }
for deb in "${debs[@]}"; do
    echo "$(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version): $(dpkg-deb -f "$deb" Depends)"
    dpkg -x "$deb" "$scratch/root"
done
root=$scratch/root
lib=$(find "$root/usr" -name 'libzep3.so.*.*' -print -quit)
[[ -n "$lib" ]] || { echo "no versioned library in the packages"; exit 1; }
libdir=$(dirname "$lib")
soname=$(objdump -p "$lib" | awk '$1 == "SONAME" { print $2 }')
[[ "$soname" == libzep3.so.[0-9]* && -e "$libdir/$soname" && -L "$libdir/libzep3.so" ]] ||
    { echo "bad SONAME or links: $soname"; ls -l "$libdir"; exit 1; }
# Each file in the package it belongs to.
runtime=$(dpkg -c "$scratch"/packages/libzep3-[0-9]*.deb)
dev=$(dpkg -c "$scratch"/packages/libzep3-dev_*.deb)
grep -q "libzep3.so.[0-9]" <<<"$runtime" || { echo "no library in the library package"; exit 1; }
! grep -Eq "include/|libzep3.so$" <<<"$runtime" || { echo "development files in the library package"; exit 1; }
dpkg-deb -f "$scratch"/packages/libzep3-dev_*.deb Depends | grep -q "libjpeg62-turbo-dev" ||
    { echo "libzep3-dev does not depend on the packages of its private pkg-config modules"; exit 1; }
for f in include/zep3/zep3.h pkgconfig/zep3.pc cmake/ZEP3/ZEP3Config.cmake; do
    grep -q "$f" <<<"$dev" || { echo "$f not in the development package"; exit 1; }
done
[[ -x "$root/usr/bin/zep3-station" && -x "$root/usr/bin/zep3-station-client" ]] || exit 1

# The installed-library program, built against the root (the private
# dependencies' pkg-config files come from the system, as on an installed machine).
export PKG_CONFIG_PATH="$libdir/pkgconfig"
g++ -std=c++17 -Wall -Wextra -Werror -o "$scratch/consumer" "$src/consumer.cpp" $(pkg-config --cflags --libs zep3) \
    -Wl,-rpath,"$libdir"
mkdir -p "$scratch/run"
"$scratch/consumer" "$scratch/run"
# The same through the CMake package.
mkdir -p "$scratch/cmake-consumer"
cat >"$scratch/cmake-consumer/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(consumer CXX)
set(CMAKE_CXX_STANDARD 17)
find_package(ZEP3 REQUIRED)
add_executable(consumer $src/consumer.cpp)
target_link_libraries(consumer PRIVATE ZEP3::zep3)
CMAKE
cmake -S "$scratch/cmake-consumer" -B "$scratch/cmake-consumer/build" -DCMAKE_PREFIX_PATH="$root/usr" \
    -DCMAKE_BUILD_RPATH="$libdir" >/dev/null
cmake --build "$scratch/cmake-consumer/build" >/dev/null
"$scratch/cmake-consumer/build/consumer" "$scratch/run"

# The installed station finds its plug-in in the root and records.
printf 'Station\\Remote\\Port=0\nStation\\Web\\Port=0\n' >"$scratch/run/zep3-station.ini"
LD_LIBRARY_PATH="$libdir" timeout 120 "$root/usr/bin/zep3-station" "$scratch/run" --seconds 2 >"$scratch/station.out"
grep -q "segments   1 " "$scratch/station.out" || { cat "$scratch/station.out"; exit 1; }
echo "packages good"
