#!/bin/sh
# install_test.sh BUILD_DIR CONSUMER_SOURCE WORK_DIR CXX SANITIZER
set -eu
build=$1 consumer=$2 work=$3 cxx=$4 sanitizer=${5:-none}
# A sanitizer build of the library needs its runtime in the program too.
case $sanitizer in
  address) sanflags="-fsanitize=address,undefined" ;;
  thread) sanflags="-fsanitize=thread" ;;
  *) sanflags="" ;;
esac
prefix=$work/prefix

fail() { echo "FAILED: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$prefix" --component PlenvarClient2 >"$work/install.log"

lib=$prefix/lib
[ -f "$lib/libPlenvarClient2.so.2.1.0" ] || fail "versioned library missing"
[ "$(readlink "$lib/libPlenvarClient2.so.2")" = libPlenvarClient2.so.2.1.0 ] || fail "soname link"
[ "$(readlink "$lib/libPlenvarClient2.so")" = libPlenvarClient2.so.2 ] || fail "development link"
[ -f "$prefix/include/Plenvar/PlenvarClient.h" ] || fail "PlenvarClient.h missing"
[ -f "$prefix/include/Plenvar/PlenvarRecords.h" ] || fail "PlenvarRecords.h missing"
readelf -d "$lib/libPlenvarClient2.so.2.1.0" | grep -q 'SONAME.*\[libPlenvarClient2\.so\.2\]' \
  || fail "soname is not libPlenvarClient2.so.2"

# Only the client class (with its vtable and type info) and the two factory
# functions may be visible: anything else would tie applications to internals.
leaked=$(nm -D --defined-only --demangle "$lib/libPlenvarClient2.so.2.1.0" | cut -d' ' -f3- |
  grep -v -e '^Plenvar::PlenvarClient::' -e '^Plenvar::GetNewPlenvarClient()$' \
          -e '^Plenvar::DeletePlenvarClient(Plenvar::PlenvarClient\*)$' \
          -e '^vtable for Plenvar::PlenvarClient$' -e '^typeinfo for Plenvar::PlenvarClient$' \
          -e '^typeinfo name for Plenvar::PlenvarClient$' || true)
[ -z "$leaked" ] || fail "symbols exported beyond the client interface:
$leaked"
for symbol in 'Plenvar::GetNewPlenvarClient()' 'Plenvar::DeletePlenvarClient(Plenvar::PlenvarClient*)' \
              'Plenvar::PlenvarClient::ConnectToServer(wchar_t const*, bool)' \
              'Plenvar::PlenvarClient::FreeArray(void*)'; do
  nm -D --defined-only --demangle "$lib/libPlenvarClient2.so.2.1.0" | grep -qF " $symbol" \
    || fail "not exported: $symbol"
done

echo "== find_package"
cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$sanflags" >"$work/cmake-configure.log" || { cat "$work/cmake-configure.log"; fail "configure"; }
cmake --build "$work/cmake-build" >"$work/cmake-build.log" || { cat "$work/cmake-build.log"; fail "build"; }
"$work/cmake-build/consumer"

echo "== pkg-config"
flags=$(PKG_CONFIG_PATH="$lib/pkgconfig" pkg-config --cflags --libs PlenvarClient2)
[ "$(PKG_CONFIG_PATH="$lib/pkgconfig" pkg-config --modversion PlenvarClient2)" = 2.1.0 ] || fail "pc version"
# shellcheck disable=SC2086
"$cxx" -std=c++17 $sanflags -o "$work/pc-consumer" "$consumer/main.cpp" $flags
LD_LIBRARY_PATH="$lib" "$work/pc-consumer"
