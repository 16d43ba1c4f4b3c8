#!/bin/sh
# Installs the build into a fresh prefix and builds C host programs against it: the key printer
# with the pkg-config file and with the CMake package (both print 001007), and a host that opens
# two outlines through the installed runtime and has the library compare them. Every program,
# the installed command included, runs without LD_LIBRARY_PATH.
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
test -f "$prefix/include/brimrt63.h"

PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --exists norvex63
cc -std=c11 "$source/tests/library/install_consumer/consumer.c" -o "$prefix/by-pkg-config" \
    $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs norvex63)
test "$("$prefix/by-pkg-config")" = 001007
cc -std=c11 "$source/tests/library/install_consumer/runtime_host.c" -o "$prefix/host" \
    $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs norvex63)
test "$("$prefix/host" "$source/examples/base.outline" "$source/examples/version1.outline" \
    "$prefix/change.cmp")" = "7 records"

cmake -S "$source/tests/library/install_consumer" -B "$prefix/consumer-build" \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer-build" >/dev/null
test "$("$prefix/consumer-build/consumer")" = 001007
test "$("$prefix/consumer-build/runtime_host" "$source/examples/base.outline" \
    "$source/examples/version2.outline" "$prefix/change2.cmp")" = "3 records"
# The installed command finds its libraries without help.
"$prefix/bin/norvex" --version >/dev/null
echo "installed and used: $prefix"
