#!/usr/bin/env bash
# Checks the manual pages, builds without GoogleTest, makes the Debian package
# and checks it: its contents, lintian's verdict (not one tag, informational
# and pedantic ones included), its programs' hardening, and its programs run
# from the unpacked package on a sample picture. Also checks what
# `cmake --install` puts in place. The package is left in build-package/.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
build=build-package
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "package.sh: $*" >&2
  exit 1
}

# groff checks the pages; dpkg-shlibdeps (dpkg-dev) names the package's
# library versions; lintian checks the package. Installed from Debian's
# packages when missing.
scripts/install-packages.sh groff-base dpkg-dev lintian

programs=(ondafwd ondainv ondasplit)

# The manual pages: groff reads each without a word.
for program in "${programs[@]}"; do
  page=docs/man/$program.1
  [ -f "$page" ] || fail "$page is missing"
  warnings=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff warns about $page:"$'\n'"$warnings"
done
echo "Manual pages: groff reads all ${#programs[@]} without a warning."

# Asking for the tests without GoogleTest stops the configure and says why.
if cmake -S . -B "$work/no-gtest" -DONDA_BUILD_TESTS=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=TRUE >"$work/no-gtest.log" 2>&1; then
  fail "a configure with -DONDA_BUILD_TESTS=ON succeeded without GoogleTest"
fi
grep -q "GoogleTest was not found" "$work/no-gtest.log" ||
  fail "a configure with -DONDA_BUILD_TESTS=ON without GoogleTest did not say why it failed"

# The programs alone, as a machine without GoogleTest builds them.
rm -rf "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=TRUE >/dev/null
cmake --build "$build" -j "$jobs"
[ ! -e "$build/tests" ] || fail "tests were configured without GoogleTest"

# What a package or an install must hold, one file a line, sorted.
expected_files() {  # prefix of the programs and the pages, as they are listed
  local prefix=$1
  {
    for program in "${programs[@]}"; do
      echo "${prefix}bin/$program"
      echo "${prefix}share/man/man1/$program.1"
    done
    echo "${prefix}share/doc/onda/README.md"
    echo "${prefix}share/doc/onda/changelog"
    echo "${prefix}share/doc/onda/copyright"
  } | LC_ALL=C sort
}

# The Debian package.
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/onda_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb in $build"
deb=${debs[0]}
for field in Package:onda Section:graphics Architecture:"$(dpkg --print-architecture)"; do
  value=$(dpkg-deb -f "$deb" "${field%%:*}")
  [ "$value" = "${field#*:}" ] || fail "$deb: ${field%%:*} is '$value', not '${field#*:}'"
done
# The changelog's version is the package's.
version=$(dpkg-deb -f "$deb" Version)
[ "$(dpkg-parsechangelog -l docs/changelog -S Version)" = "$version" ] ||
  fail "docs/changelog does not start with version $version"
# What a distribution asks of a package: lintian prints not one tag.
tags=$(lintian -I --pedantic "$deb" 2>"$work/lintian.log") ||
  fail "lintian failed on $deb:"$'\n'"$tags$(cat "$work/lintian.log")"
[ -z "$tags" ] || fail "lintian tags $deb:"$'\n'"$tags"
echo "lintian -I --pedantic: no tag on $deb."
# Files only (not folders), with the .gz of the pages and the changelog taken off.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sed -e 's|^\./||' -e 's|\.gz$||' |
  LC_ALL=C sort >"$work/deb-files"
expected_files usr/ >"$work/expected"
diff -u "$work/expected" "$work/deb-files" || fail "$deb does not hold what it should (diff above)"

# Its programs and pages, unpacked.
dpkg-deb -x "$deb" "$work/root"
for program in "${programs[@]}"; do
  page=$work/root/usr/share/man/man1/$program.1
  [ -f "$page" ] || { gzip -dc "$page.gz" >"$page" && rm "$page.gz"; }
  warnings=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff warns about the packaged page of $program"
done
bin=$work/root/usr/bin
sample=samples/camera.bmp
"$bin/ondafwd" "$sample" "$work/fwd2.bmp" 2 >/dev/null
"$bin/ondainv" "$work/fwd2.bmp" "$work/inv2.bmp" 2 >/dev/null
"$bin/ondasplit" "$sample" "$work/split2.bmp" 2 >/dev/null
for output in fwd2 inv2 split2; do
  [ -s "$work/$output.bmp" ] || fail "the packaged programs wrote no $output.bmp"
done
cmp "$work/fwd2.bmp" "$work/split2.bmp" ||
  fail "the packaged ondasplit and ondafwd disagree at 2 levels"
"$build/tools/ondafwd/ondafwd" "$sample" "$work/built-fwd2.bmp" 2 >/dev/null
cmp "$work/fwd2.bmp" "$work/built-fwd2.bmp" ||
  fail "the packaged ondafwd writes another file than the built one"
echo "Package: $deb holds the programs, their pages, the README, the changelog and the copyright; its programs run."

# cmake --install into a fresh prefix.
cmake --install "$build" --prefix "$work/prefix" >/dev/null
(cd "$work/prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/installed"
expected_files "" >"$work/expected"
diff -u "$work/expected" "$work/installed" || fail "cmake --install does not put in place what it should"
for program in "${programs[@]}"; do
  [ -x "$work/prefix/bin/$program" ] || fail "cmake --install left $program not executable"
done
echo "Install: cmake --install puts the programs in bin/, the pages in share/man/man1/, the README, changelog and copyright in share/doc/onda/."
