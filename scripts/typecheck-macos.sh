#!/usr/bin/env bash
# Type-checks the macOS backend without a Mac: every .mm file under src/ is
# compiled for arm64 macOS 12.3 as Objective-C++ with ARC, against the Apple
# declarations in tests/apple_sdk/ and the portable core headers. Standard
# C and C++ headers come from libc++ and the arm64 glibc headers, since the
# check needs types, not a Mac's libc; the fixed-width integers are Darwin's
# (tests/apple_sdk/stdint.h). Any error or warning fails it; so does
# a snippet in tests/apple_sdk/selftest/fails_*.mm that compiles although it
# should not. Then the Apple CMake build is configured against the same
# declarations and must carry its target, ARC, Objective-C++ error and
# signing flags (a timestamp for a real identity, a strict verification after
# signing) and compile, and its own command line must reject a wrong delegate
# signature; the entitlements must parse and grant exactly the three keys
# the helper needs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh libc++-14-dev libc6-dev-arm64-cross >/dev/null

cxx=${CXX_TYPECHECK:-clang++}
llvm_root=$(dirname "$(dirname "$(readlink -f "$(command -v "$cxx")")")")
resource_dir=$("$cxx" -print-resource-dir)
libcxx="$llvm_root/include/c++/v1"
libc=/usr/aarch64-linux-gnu/include

# C headers for an arm64 LP64 target; glibc's own __nonnull must not meet the
# Darwin keyword spelling of it. The Apple declarations come before glibc, so
# that their <stdint.h> is the one every header sees.
c_headers=(
  -nostdinc -U__nonnull -U__nullable -D_GNU_SOURCE
  -isystem "$resource_dir/include" -isystem "$PWD/tests/apple_sdk" -isystem "$libc"
)
cxx_headers=(-nostdinc++ -stdlib=libc++ -isystem "$libcxx" "${c_headers[@]}")
# The warnings that fail the Apple build of our .mm files, from the one list
# that build reads too.
mapfile -t objcxx_errors < <(grep -E '^-' cmake/objcxx-errors.txt)

flags=(
  -x objective-c++ -std=c++20 -fsyntax-only
  -target arm64-apple-macos12.3 -fobjc-arc -fblocks
  "${cxx_headers[@]}" -I src
  -Wall -Wextra -Wshadow -Wunguarded-availability -Wobjc-property-assign-on-object-type -Wmethod-signatures
  "${objcxx_errors[@]}" -Werror
)

failed=0
mapfile -t sources < <(find src -name '*.mm' | sort)
if [ ${#sources[@]} -eq 0 ]; then
  echo "typecheck-macos: no .mm files found" >&2
  exit 1
fi
for f in "${sources[@]}"; do
  if ! "$cxx" "${flags[@]}" "$f"; then
    echo "typecheck-macos: FAILED $f" >&2
    failed=1
  fi
done

selftest=tests/apple_sdk/selftest
if ! "$cxx" "${flags[@]}" "$selftest/compiles.mm"; then
  echo "typecheck-macos: FAILED $selftest/compiles.mm" >&2
  failed=1
fi
for f in "$selftest"/fails_*.mm; do
  if "$cxx" "${flags[@]}" "$f" 2>/dev/null; then
    echo "typecheck-macos: $f compiled but must not" >&2
    failed=1
  fi
done

# The Apple build itself: configured as on a Mac (with these declarations in
# place of the SDK and nothing linked), it must compile the helper's objects
# for arm64 macOS 12.3 with ARC, and sign the result with the entitlements.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/darwin.cmake" <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_C_COMPILER ${cxx%++})
set(CMAKE_CXX_COMPILER $cxx)
set(CMAKE_OBJCXX_COMPILER $cxx)
foreach(lang C CXX OBJCXX)
  set(CMAKE_\${lang}_COMPILER_TARGET arm64-apple-macos12.3)
endforeach()
set(CMAKE_C_FLAGS_INIT "${c_headers[*]}")
set(CMAKE_CXX_FLAGS_INIT "${cxx_headers[*]}")
set(CMAKE_OBJCXX_FLAGS_INIT "${cxx_headers[*]}")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_OSX_SYSROOT /)
set(CMAKE_INSTALL_NAME_TOOL true)
TOOLCHAIN
if cmake -S . -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/darwin.cmake" >"$work/configure.log" 2>&1; then
  commands=$(ninja -C "$work/build" -t commands screenshare-helper)
  for want in "-arch arm64" "-mmacosx-version-min=12.3" "-fobjc-arc" \
      "codesign --force --options runtime --entitlements $PWD/cmake/screenshare-helper.entitlements --sign -" \
      "codesign --verify --strict" "${objcxx_errors[@]}"; do
    if ! grep -qF -- "$want" <<<"$commands"; then
      echo "typecheck-macos: the Apple build lacks: $want" >&2
      failed=1
    fi
  done
  if grep -qF -- "--timestamp" <<<"$commands"; then
    echo "typecheck-macos: an ad-hoc signature asks for a timestamp" >&2
    failed=1
  fi
  mapfile -t objects < <(ninja -C "$work/build" -t targets all | grep -oE '^[^:]+\.mm\.o' | sort -u)
  if ! ninja -C "$work/build" -j2 "${objects[@]}" >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    echo "typecheck-macos: the Apple build does not compile" >&2
    failed=1
  fi
  # The Apple build's own command line for one of our .mm files, with a
  # snippet in its place: the selftest that must compile does, and a wrong
  # delegate signature fails it for that fault.
  read -ra apple_command <<<"$(ninja -C "$work/build" -t commands "${objects[0]}" | tail -n1)"
  apple_compile() {  # source
    local args=() prev="" word
    for word in "${apple_command[@]}"; do
      case $prev in
        -c) word=$PWD/$1 ;;
        -o) word=$work/snippet.o ;;
        -MF) word=$work/snippet.d ;;
      esac
      args+=("$word")
      prev=$word
    done
    (cd "$work/build" && "${args[@]}")
  }
  if ! apple_compile "$selftest/compiles.mm"; then
    echo "typecheck-macos: the Apple build's command fails $selftest/compiles.mm" >&2
    failed=1
  fi
  if apple_compile "$selftest/fails_delegate_signature.mm" 2>"$work/delegate.log" ||
      ! grep -qF -- "-Wmethod-signatures" "$work/delegate.log"; then
    cat "$work/delegate.log" >&2
    echo "typecheck-macos: the Apple build accepts a wrong delegate signature" >&2
    failed=1
  fi
else
  cat "$work/configure.log" >&2
  echo "typecheck-macos: the Apple build does not configure" >&2
  failed=1
fi

# A real identity signs with a secure timestamp.
cmake -S . -B "$work/build" -DHELPER_CODESIGN_IDENTITY="Developer ID Application: Example" \
  >"$work/configure.log" 2>&1 &&
  commands=$(ninja -C "$work/build" -t commands screenshare-helper) || commands=""
if ! grep -qF -- "--timestamp --sign" <<<"$commands"; then
  echo "typecheck-macos: a real identity signs without --timestamp" >&2
  failed=1
fi

# The entitlements: a well-formed property list with exactly the three
# hardened-runtime exceptions the helper needs, each granted.
if ! python3 - cmake/screenshare-helper.entitlements <<'PY'
import plistlib, sys
with open(sys.argv[1], "rb") as f:
    e = plistlib.load(f)
want = {"com.apple.security.cs.allow-jit", "com.apple.security.cs.allow-unsigned-executable-memory",
        "com.apple.security.cs.disable-library-validation"}
sys.exit(0 if set(e) == want and all(e[k] is True for k in want) else 1)
PY
then
  echo "typecheck-macos: the entitlements are not the three keys, each true" >&2
  failed=1
fi

[ $failed -eq 0 ] && echo "typecheck-macos: ${#sources[@]} files and the Apple build OK"
exit $failed
