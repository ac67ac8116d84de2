#!/usr/bin/env bash
# Installs the built library into a scratch prefix and builds a program that
# uses it the way an application does: <zep3/zep3.h> and pkg-config only.
set -euo pipefail
build=$1
prefix=$2
# A library built with sanitizers needs a program built with the same ones.
sanitize=${3:-}
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
src=$(dirname "$0")/consumer.cpp
g++ -std=c++17 -Wall -Wextra -Werror ${sanitize:+-fsanitize=$sanitize} -o "$prefix/consumer" "$src" $(pkg-config --cflags --libs zep3) \
    -Wl,-rpath,"$prefix/lib"
"$prefix/consumer" "$prefix"
