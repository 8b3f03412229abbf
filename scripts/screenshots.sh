#!/bin/sh
# Photographs the prompt dialog as the program shows it, once in each of its
# languages (res/languages.txt), into BUILD_DIR/screenshots/prompt-<locale>.png, and fails
# unless each picture shows the prompt: more than one colour, and a picture
# of its own for each language (the labels differ). The test program saves
# each picture (the test bed's one way to take one), and ImageMagick turns it
# into PNG.
#
#     scripts/screenshots.sh [BUILD_DIR] [readme]
#
# With "readme" the English picture also becomes the README's,
# docs/prompt-en_US.png.
#
# BUILD_DIR (default: the tree of the architecture the scripts choose) must
# hold a built tests/dialog/dialog_test.exe. The test command
# runs this script as the CTest test dialog_screenshots, inside the test
# run's Wine session (SENTAVIO_SESSION); run by hand, it starts a session of
# its own under BUILD_DIR and ends it afterwards.
set -eu
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/common.sh
. "$sentavio_root/scripts/common.sh"
[ -n "${1:-}" ] || { host_choose_arch && set -- "$sentavio_root/${tree:?}" "${2:-}"; }
build=$(cd "$1" && pwd)
exe=$build/tests/dialog/dialog_test.exe
out=$build/screenshots
if [ ! -f "$exe" ]; then
    echo "screenshots: $exe is not built" >&2
    exit 1
fi

# Run by hand, a session of its own, which ends with this script.
on_exit
if [ -z "${SENTAVIO_SESSION:-}" ] || [ ! -f "$SENTAVIO_SESSION/display" ]; then
    session_start "$build" "$build/screenshot-session"
fi
mkdir -p "$out"

locales=$(awk '!/^#/ { print $1 }' "$sentavio_root/res/languages.txt")
languages=$(echo "$locales" | wc -l)
status=0
for locale in $locales; do
    shot=$out/prompt-$locale
    rm -f "$shot.png" "$shot.bmp"
    # The test program opens the prompt and saves it as a bitmap.
    interruptible -o "$shot.log" env LANG=$locale.UTF-8 LC_ALL=$locale.UTF-8 SENTAVIO_PICTURE="$(dos_path "$shot.bmp")" \
        "$sentavio_root/cmake/wine-run.sh" "$exe" --no-skip --test-case='Picture of the prompt' &&
        convert "$shot.bmp" "$shot.png" || {
        echo "screenshots: no picture for $locale; see $shot.log" >&2
        status=1
        continue
    }
    if [ "$(identify -format '%k' "$shot.png")" -lt 2 ]; then
        echo "screenshots: the $locale picture is all one colour" >&2
        status=1
    fi
    rm -f "$shot.bmp" "$shot.log"
    echo "$shot.png"
done
pictures=$(find "$out" -maxdepth 1 -name 'prompt-*.png' | wc -l)
distinct=$(identify -format '%#\n' "$out"/prompt-*.png 2>/dev/null | sort -u | wc -l)
if [ "$pictures" -ne "$languages" ] || [ "$distinct" -ne "$languages" ]; then
    echo "screenshots: $distinct different pictures of $pictures for $languages languages" >&2
    status=1
fi
if [ "${2:-}" = readme ] && [ $status = 0 ]; then
    cp "$out/prompt-en_US.png" "$sentavio_root/docs/prompt-en_US.png"
fi
exit $status
