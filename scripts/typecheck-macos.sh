#!/usr/bin/env bash
# Type-checks the macOS backend without a Mac: every .mm file under src/ is
# compiled for arm64 macOS 12.3 as Objective-C++ with ARC, against the Apple
# declarations in tests/apple_sdk/ and the portable core headers. Standard
# C and C++ headers come from libc++ and the arm64 glibc headers, since the
# check needs types, not a Mac's libc. Any error or warning fails it; so does
# a snippet in tests/apple_sdk/selftest/fails_*.mm that compiles although it
# should not.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh libc++-14-dev libc6-dev-arm64-cross >/dev/null

cxx=${CXX_TYPECHECK:-clang++}
llvm_root=$(dirname "$(dirname "$(readlink -f "$(command -v "$cxx")")")")
resource_dir=$("$cxx" -print-resource-dir)
libcxx="$llvm_root/include/c++/v1"
libc=/usr/aarch64-linux-gnu/include

flags=(
  -x objective-c++ -std=c++20 -fsyntax-only
  -target arm64-apple-macos12.3 -fobjc-arc -fblocks
  -nostdinc -nostdinc++ -stdlib=libc++
  # glibc's own __nonnull must not meet the Darwin keyword spelling of it.
  -U__nonnull -U__nullable -D_GNU_SOURCE
  -isystem "$libcxx" -isystem "$resource_dir/include" -isystem "$libc"
  -iframework tests/apple_sdk -isystem tests/apple_sdk -I src
  -Wall -Wextra -Wshadow -Wunguarded-availability -Wobjc-property-assign-on-object-type -Werror
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

[ $failed -eq 0 ] && echo "typecheck-macos: ${#sources[@]} files OK"
exit $failed
