#!/usr/bin/env bash
# Renews the pictures of the user's guide from the tests of this commit:
# builds, runs the window's test programs (app/gui/tests/gui_*tests, the
# X server's one left out) with TAVRIN_SCREENSHOTS=build/screenshots, then
# copies every picture docs/guide.md shows into docs/images/ and removes
# the ones it no longer shows. A "<!-- pending: NAME.png -->" comment in the
# guide whose picture the tests now make becomes that picture; the ones
# still missing are listed. Ends with status 1 when a test failed or a
# picture the guide shows was not made.
#
#   bash scripts/screenshots.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
shots="$root/build/screenshots"
guide="$root/docs/guide.md"
images="$root/docs/images"
rm -rf "$shots"
mkdir -p "$shots" "$images"

status=0
for test in build/app/gui/tests/gui_*tests; do
  case "$test" in *x11*) continue ;; esac
  [ -x "$test" ] || continue
  echo "== $test" >&2
  if ! TAVRIN_SCREENSHOTS="$shots" QT_QPA_PLATFORM=offscreen "$test" --gtest_brief=1 >&2; then
    echo "screenshots: $test failed" >&2
    status=1
  fi
done

# Pending pictures that now exist become pictures: "user-choice.png" shows
# as "![User choice](images/user-choice.png)".
for name in $(grep -o '<!-- pending: [A-Za-z0-9._-]*\.png -->' "$guide" | sed 's/<!-- pending: \(.*\) -->/\1/'); do
  if [ -f "$shots/$name" ]; then
    alt=$(basename "$name" .png | tr '-' ' ' | sed 's/^./\U&/')
    NAME="$name" ALT="$alt" perl -0pi -e 's/<!-- pending: \Q$ENV{NAME}\E -->/![$ENV{ALT}](images\/$ENV{NAME})/g' "$guide"
    echo "screenshots: $name is no longer pending" >&2
  fi
done

shown=$(grep -o '](images/[A-Za-z0-9._-]*\.png)' "$guide" | sed 's/](images\/\(.*\))/\1/' | sort -u)
for name in $shown; do
  if [ -f "$shots/$name" ]; then
    cp "$shots/$name" "$images/$name"
  else
    echo "screenshots: the tests made no $name (docs/guide.md shows it)" >&2
    status=1
  fi
done
for old in "$images"/*.png; do
  [ -e "$old" ] || continue
  grep -qx "$(basename "$old")" <<<"$shown" || { rm "$old"; echo "screenshots: removed $(basename "$old")" >&2; }
done

# Pictures the tests make that the guide does not show: candidates for a
# pending comment whose name differs.
# (The scripted start's pictures, start-*, repeat the views.)
unused=$(cd "$shots" && for f in *.png; do
  case "$f" in start-*) continue ;; esac
  grep -qx "$f" <<<"$shown" || echo "$f"
done | tr '\n' ' ')
[ -z "$unused" ] || echo "screenshots: made but not shown in the guide: $unused" >&2

pending=$( (grep -o '<!-- pending: [A-Za-z0-9._-]*\.png -->' "$guide" || true) | sed 's/<!-- pending: \(.*\) -->/\1/' | tr '\n' ' ')
echo "== docs/images: $(echo "$shown" | wc -w) pictures from $shots${pending:+; still pending: $pending}"
exit "$status"
