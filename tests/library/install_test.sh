#!/bin/sh
# Installs the build into a fresh prefix and builds a C host program against it twice: with the
# pkg-config file and with the CMake package. Both programs must run and print the key 001007.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(ls -d "$prefix"/lib*/ | head -n 1)
test -x "$prefix/bin/norvex"
test -f "$prefix/include/norvex63.h"

PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --exists norvex63
cc -std=c11 "$source/tests/library/install_consumer/consumer.c" -o "$prefix/by-pkg-config" \
    $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs norvex63)
test "$(LD_LIBRARY_PATH="$libdir" "$prefix/by-pkg-config")" = 001007

cmake -S "$source/tests/library/install_consumer" -B "$prefix/consumer-build" \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer-build" >/dev/null
test "$("$prefix/consumer-build/consumer")" = 001007
# The installed command finds its libraries without help.
"$prefix/bin/norvex" --version >/dev/null
echo "installed and used: $prefix"
