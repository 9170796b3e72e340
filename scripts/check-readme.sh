#!/usr/bin/env bash
# Runs the README's commands as a new user would, in the order written, and
# checks what they leave. The blocks to run are the fenced blocks right after
# a line "<!-- readme-check: NAME -->": setup (the demo), install (under a
# scratch home's ~/.local, then PATH), recipe (the conversion, on a photo.png
# and a logo.gif made here) and many (the xargs -P recipe, on a folder of
# sample pictures). They run in one shell, in a fresh copy of the tracked
# files, with only the system's folders on PATH: a program the README leaves
# off the PATH is not found. The README's test command is CI's own step,
# scripts/test.sh; this script checks that the README names that command.
#
# Needs ImageMagick's convert in /usr/bin (scripts/install-prerequisites.sh).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check-readme: $*" >&2
  exit 1
}

# The fenced block after the marker of `name`, as it stands.
block() {
  local text
  text=$(awk -v marker="<!-- readme-check: $1 -->" '
    $0 == marker { armed = 1; next }
    armed && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$repo/README.md")
  [ -n "$text" ] || fail "README.md has no block marked $1"
  printf '%s\n' "$text"
}

grep -qx 'scripts/test.sh' "$repo/README.md" || fail "README.md does not give scripts/test.sh"
grep -qx 'scripts/test.sh' "$repo/.ci/run" || fail ".ci/run does not run scripts/test.sh"

# A fresh copy of the tracked files, as a clone has them.
mkdir "$work/onda" "$work/home" "$work/pictures" "$work/pictures/photos"
(cd "$repo" && git ls-files -z | while IFS= read -r -d '' file; do
  [ -e "$file" ] && printf '%s\0' "$file"
done | tar --null -T - -cf -) | tar -xf - -C "$work/onda"

# The pictures: the samples, one under a name with blanks, and the user's
# photo.png and logo.gif of the recipe.
cp "$repo"/samples/*.bmp "$work/pictures/photos/"
cp "$repo/samples/camera.bmp" "$work/pictures/photos/the camera again.bmp"
/usr/bin/convert "$repo/samples/astronaut.bmp" "$work/pictures/photo.png"
/usr/bin/convert -size 64x64 xc:red -fill blue -draw 'rectangle 0,0 31,31' "$work/pictures/logo.gif"

{
  echo 'set -euo pipefail'
  echo "cd '$work/onda'"
  block setup
  block install
  echo "cd '$work/pictures'"
  block recipe
  block many
} >"$work/readme.sh"
echo "check-readme: running the README's blocks in $work"
env -i HOME="$work/home" PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
  bash "$work/readme.sh" >"$work/readme.log" 2>&1 || {
  cat "$work/readme.log" >&2
  fail "a README block failed"
}

built="$work/onda/build/tools"
# The demo's pictures.
for picture in camera astronaut; do
  for kind in fwd2 inv2 split1 split2; do
    [ "$(head -c 2 "$work/onda/demo-output/$picture-$kind.bmp")" = BM ] ||
      fail "the demo wrote no $picture-$kind.bmp"
  done
done
# The install.
for program in ondafwd ondainv ondasplit; do
  [ -x "$work/home/.local/bin/$program" ] || fail "$program is not in ~/.local/bin"
  [ -e "$work/home/.local/share/man/man1/$program.1" ] || fail "no manual page for $program"
done
# The recipe's files are read, without a word on standard error.
cd "$work/pictures"
for converted in photo.bmp logo.bmp; do
  "$built/ondafwd/ondafwd" "$converted" check.bmp 2 >/dev/null 2>"$work/err" ||
    fail "ondafwd refuses the recipe's $converted: $(cat "$work/err")"
  [ ! -s "$work/err" ] || fail "ondafwd on the recipe's $converted: $(cat "$work/err")"
done
# Every picture has its output, the one the built program writes.
count=0
for photo in photos/*.bmp; do
  name=${photo##*/}
  "$built/ondafwd/ondafwd" "$photo" expected.bmp 2 >/dev/null
  cmp -s "fwd/$name" expected.bmp || fail "fwd/$name is missing or not ondafwd's output"
  count=$((count + 1))
done
[ "$(find fwd -type f | wc -l)" -eq "$count" ] || fail "fwd/ holds other files than the outputs"
echo "check-readme: the README's commands ran as written; $count pictures, the demo, the install and the recipe checked."
