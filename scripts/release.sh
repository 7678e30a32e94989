#!/usr/bin/env bash
# Makes a release in dist/: the bridge's setup program, the kit for hosts of the news library, and a
# checksum file. --verify builds everything a second time in another folder and compares the bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
verify=false
[ "${1:-}" = --verify ] && verify=true

bash scripts/setup.sh
bash scripts/build.sh i686 >/dev/null
version=$(head -n1 VERSION)
# Every date inside the outputs is the last commit's: one commit, the same bytes.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
export TZ=UTC

# make_release BUILD_DIR OUT_DIR: the three outputs from one i686 build.
make_release() {
  local build=$1 out=$2 stage
  stage=$(mktemp -d)
  rm -rf "$out"
  mkdir -p "$out" "$stage/program"

  i686-w64-mingw32-strip -o "$stage/program/vextor.exe" "$build/vextor.exe"
  makensis -V2 -DVERSION="$version" -DPROGRAM_DIR="$stage/program" -DOUTFILE="$out/vextor-setup-$version.exe" \
    installer/vextor.nsi >/dev/null

  local name=MorvekNews-kit-$version
  local kit=$stage/$name
  mkdir -p "$kit/include" "$kit/lib" "$kit/sample"
  i686-w64-mingw32-strip -o "$kit/MorvekNews.dll" "$build/MorvekNews.dll"
  cp kit/MorvekNews.h "$kit/include/"
  cp resources/news/MorvekNews.def "$kit/lib/"
  # Run in its folder: dlltool names the library's own symbols after the path it is given.
  (cd "$kit/lib" && i686-w64-mingw32-dlltool --input-def "$root/kit/MorvekNews-stdcall.def" \
    --dllname MorvekNews.dll --kill-at --temp-prefix MorvekNews --deterministic-libraries \
    --output-lib MorvekNews.lib)
  cp kit/sample_host.c tools/newshost.cpp "$kit/sample/"
  i686-w64-mingw32-gcc -O2 -s -Wl,--no-insert-timestamp -I"$kit/include" kit/sample_host.c "$kit/lib/MorvekNews.lib" \
    -o "$kit/sample/sample_host.exe"
  i686-w64-mingw32-strip -o "$kit/sample/newshost.exe" "$build/newshost.exe"
  cp docs/news-library.md "$kit/README.md"
  # The sample must import the six functions by their plain names from the DLL: that is what the
  # header and the import library promise.
  local imports
  imports=$(i686-w64-mingw32-objdump -p "$kit/sample/sample_host.exe" | sed -n '/DLL Name: MorvekNews.dll/,/^$/p')
  for function in MorvekNewsInit MorvekNewsShow MorvekNewsGetShowNewsFlag MorvekNewsClose; do
    grep -Eq "[[:space:]]$function\$" <<<"$imports" || { echo "sample_host.exe does not import $function" >&2; exit 1; }
  done

  find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$stage" && find "$name" -type f | LC_ALL=C sort | zip -X -q -D -@ "$out/$name.zip")
  (cd "$out" && sha256sum "vextor-setup-$version.exe" "$name.zip" >SHA256SUMS)
  rm -rf "$stage"
}

make_release "$root/build/i686" "$root/dist"
echo "release $version in dist/:"
(cd dist && for file in *; do printf '  %-34s %9d bytes\n' "$file" "$(stat -c %s "$file")"; done)
sed 's/^/  sha256 /' dist/SHA256SUMS

if $verify; then
  # A second build from scratch in another folder, then a second release from it.
  second=$(mktemp -d)
  trap 'rm -rf "$second"' EXIT
  cmake -S . -B "$second/build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DBUILD_TESTS=OFF >/dev/null
  cmake --build "$second/build" -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
  make_release "$second/build" "$second/dist"
  same=true
  for file in vextor.exe MorvekNews.dll newshost.exe; do
    if cmp -s "build/i686/$file" "$second/build/$file"; then echo "  build:   $file the same"; else echo "  build:   $file DIFFERS"; same=false; fi
  done
  for file in $(cd dist && ls); do
    if cmp -s "dist/$file" "$second/dist/$file"; then echo "  release: $file the same"; else echo "  release: $file DIFFERS"; same=false; fi
  done
  $same && echo "two builds match bit for bit" || { echo "the two builds differ" >&2; exit 1; }
fi
