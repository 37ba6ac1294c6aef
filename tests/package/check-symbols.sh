#!/usr/bin/env bash
# The installed Linux libraries: each has a versioned file name and SONAME,
# each exports only its own interface, and none exports a Win32 name or a
# test seam (those would collide with any other library of the host's
# process that defines or expects them).
#   bash tests/package/check-symbols.sh <install prefix>
set -euo pipefail

prefix=$1
version=$(sed -n 's/^revision=\(.\)\(.\)$/\1.\2/p' "$prefix"/lib*/pkgconfig/korvane.pc)
major=${version%%.*}
failed=0
fail() { echo "check-symbols: $*" >&2; failed=1; }

# Every Win32 call the layer implements, and the seams.
forbidden=(CreateFileW ReadFile WriteFile CloseHandle GetFileSizeEx GetFileInformationByHandle
  FindFirstFileW FindNextFileW FindClose FileTimeToSystemTime GetFileAttributesW GetLastError
  SetLastError SysAllocString SysAllocStringLen SysFreeString SysStringLen PathFileExistsW
  SetFaultHook LiveBstrCount)

for lib in Korvane KorvaneHost ZRString ZRLog ZRCoreXml KvWin32; do
  file=$(ls "$prefix"/lib*/"lib$lib.so.$version" 2>/dev/null | head -n 1)
  if [ -z "$file" ]; then
    fail "no lib$lib.so.$version in $prefix"
    continue
  fi
  soname=$(readelf -d "$file" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = "lib$lib.so.$major" ] || fail "lib$lib.so.$version has SONAME '$soname', not lib$lib.so.$major"
  [ "$(readlink "${file%.*}")" = "lib$lib.so.$version" ] || fail "lib$lib.so.$major does not lead to lib$lib.so.$version"
  # Global defined symbols, demangled: a C name is the word itself, a C++
  # one the function's qualified name.
  names=$(nm -D --defined-only -C "$file" | awk '$2 ~ /^[A-Z]$/ { $1 = ""; $2 = ""; print }' | sed 's/^ *//; s/(.*//')
  for name in "${forbidden[@]}"; do
    if grep -qE "(^|::)$name\$" <<<"$names"; then
      fail "lib$lib.so exports $name"
    fi
  done
done
# The layer's calls are there under their prefixed names, and the layer
# exports nothing else but the kvwin32 extras (a call added without its
# KVWIN32_SYMBOL shows here whatever its name).
layer=$(ls "$prefix"/lib*/libKvWin32.so."$version")
nm -D --defined-only "$layer" | grep -q ' T KvWin32_CreateFileW$' || fail "libKvWin32 lacks KvWin32_CreateFileW"
others=$(nm -D --defined-only "$layer" | awk '$2 ~ /^[A-Z]$/ { print $3 }' | grep -vE '^(KvWin32_|_ZN7kvwin32)' || true)
[ -z "$others" ] || fail "libKvWin32 exports other names: $(echo $others)"
# Korvane exports its two classes and nothing else: their members, and the
# vtable and type information of CKorvane. The host library exports its flat
# calls only.
exports() { nm -D --defined-only -C "$1" | awk '$2 ~ /^[A-Z]$/ { $1 = ""; $2 = ""; print }' | sed 's/^ *//'; }
korvane=$(ls "$prefix"/lib*/libKorvane.so."$version")
others=$(exports "$korvane" |
  grep -vE '^((CKorvane|FDesc)::|(vtable|typeinfo|typeinfo name) for CKorvane$)' || true)
[ -z "$others" ] || fail "libKorvane exports more than CKorvane and FDesc: $(echo $others)"
host=$(ls "$prefix"/lib*/libKorvaneHost.so."$version")
others=$(exports "$host" | grep -vE '^KorvaneHost[A-Za-z]+$' || true)
[ -z "$others" ] || fail "libKorvaneHost exports other names: $(echo $others)"
[ "$failed" -eq 0 ] && echo "check-symbols: versioned SONAMEs, no Win32 names or seams exported ($prefix)"
exit "$failed"
