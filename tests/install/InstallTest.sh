#!/usr/bin/env bash
# Installs the build into a scratch prefix outside the system's paths and uses
# it as an outside project would: the layout, an application built with
# find_package and one built with pkg-config (both including
# <ZorCompCore/...>), and the installed zorcc started from the prefix.
# Usage: InstallTest.sh <source dir> <build dir> <scratch dir> [compiler flags] [linker flags]
set -euo pipefail
src=$1 build=$2 work=$3 cxxflags=${4:-} ldflags=${5:-}
appsrc="$src/tests/install/app"
prefix="$work/prefix"
rm -rf "$work"
mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }

# Layout: public headers under include/ZorCompCore/, no private ones; samples under share/.
for f in include/ZorCompCore/zor_export.h include/ZorCompCore/core/StreamHelper.h \
         include/ZorCompCore/platform/Variant.h lib/pkgconfig/ZorCompCore.pc \
         lib/cmake/ZorCompCore/ZorCompCoreConfig.cmake bin/zorcc libexec/zor-preview-worker; do
  [[ -e "$prefix/$f" ]] || fail "$f not installed"
done
[[ -z "$(find "$prefix/include" -name '*_p.h')" ]] || fail "private headers installed: $(find "$prefix/include" -name '*_p.h')"
ls "$prefix"/share/ZorCompCore/glossary/*.tsv >/dev/null 2>&1 || fail "sample glossaries not under share/ZorCompCore/glossary"
ls "$prefix"/share/ZorCompCore/scripts/* >/dev/null 2>&1 || fail "sample scripts not under share/ZorCompCore/scripts"
# The LGPL and the GPL it builds on, beside the package.
for f in LICENSE LICENSE.GPL-3; do
  cmp -s "$src/$f" "$prefix/share/doc/ZorCompCore/$f" || fail "$f not installed under share/doc/ZorCompCore"
done
grep -q "GNU LESSER GENERAL PUBLIC LICENSE" "$prefix/share/doc/ZorCompCore/LICENSE" || fail "LICENSE is not the LGPL"
# Each library lists the package's include folder, once.
includes=$(grep -o 'INTERFACE_INCLUDE_DIRECTORIES "[^"]*"' "$prefix"/lib/cmake/ZorCompCore/ZorCompCoreTargets.cmake | sort -u)
[[ "$includes" == 'INTERFACE_INCLUDE_DIRECTORIES "${_IMPORT_PREFIX}/include"' ]] || fail "include folders: $includes"
# The HTML editor's library comes along where it was built.
if [[ -e "$build/src/htmleditor/libZorCompCoreHtmlEditor.so" ]]; then
  for f in lib/libZorCompCoreHtmlEditor.so include/ZorCompCore/zor_htmleditor_export.h \
           include/ZorCompCore/htmleditor/ZORHtmlEditor.h; do
    [[ -e "$prefix/$f" ]] || fail "$f not installed"
  done
  grep -q 'ZorCompCore::HtmlEditor' "$prefix"/lib/cmake/ZorCompCore/ZorCompCoreTargets.cmake \
    || fail "the package has no target ZorCompCore::HtmlEditor"
fi

# Nothing may come from the build tree or a library path set by the caller,
# and nothing goes to the caller's home.
unset LD_LIBRARY_PATH
mkdir -p "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" XDG_STATE_HOME="$work/home/.local/state"
export CMAKE_PREFIX_PATH="$prefix"

# 1. find_package
cmake -S "$appsrc" -B "$work/app-cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >"$work/app-cmake.log" 2>&1 \
  || { cat "$work/app-cmake.log"; fail "configuring an application with find_package"; }
cmake --build "$work/app-cmake" >>"$work/app-cmake.log" 2>&1 || { cat "$work/app-cmake.log"; fail "building it"; }
out=$("$work/app-cmake/app") || fail "the find_package application failed: $out"
echo "find_package application: $out"

# 2. pkg-config
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
libdir=$(pkg-config --variable=libdir ZorCompCore)
# shellcheck disable=SC2046,SC2086
c++ $cxxflags -o "$work/app-pc" "$appsrc/main.cpp" $(pkg-config --cflags --libs ZorCompCore) \
    -Wl,-rpath,"$libdir" $ldflags || fail "building an application with pkg-config"
out=$("$work/app-pc") || fail "the pkg-config application failed: $out"
echo "pkg-config application: $out"

# 3. The installed zorcc, from the prefix: its library is the prefix's.
loaded=$(ldd "$prefix/bin/zorcc" | grep libZorCompCore)
lib=$(awk '{ print $3 }' <<<"$loaded")
[[ -e "$lib" && "$(realpath "$lib")" == "$(realpath "$prefix")"/* ]] \
  || fail "installed zorcc does not load the prefix's library:$loaded"
"$prefix/bin/zorcc" --version || fail "installed zorcc does not start"
"$prefix/bin/zorcc" script run "$prefix/share/ZorCompCore/scripts/invoice.pas" >"$work/zorcc.log" 2>&1 \
  || { cat "$work/zorcc.log"; fail "installed zorcc cannot run the installed sample script"; }
echo "installed zorcc ran share/ZorCompCore/scripts/invoice.pas"
