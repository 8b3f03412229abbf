#!/bin/sh
# Photographs the prompt dialog as the program shows it, once in each of its
# five languages, into BUILD_DIR/screenshots/prompt-<locale>.png, and fails
# unless each picture shows the prompt: the dialog's own size, more than one
# colour, and a picture of its own for each language (the labels differ).
#
#     scripts/screenshots.sh [BUILD_DIR] [readme]        (default: build)
#
# With "readme" the English picture also becomes the README's,
# docs/prompt-en_US.png.
#
# BUILD_DIR must hold a built tests/dialog/dialog_test.exe. The test command
# runs this script as the CTest test dialog_screenshots, inside the test
# run's Wine session (SENTAVIO_SESSION); run by hand, it starts a session of
# its own under BUILD_DIR and ends it afterwards.
set -eu
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
. "$sentavio_root/scripts/common.sh"
build=$(cd "${1:-$sentavio_root/build}" && pwd)
exe=$build/tests/dialog/dialog_test.exe
out=$build/screenshots
if [ ! -f "$exe" ]; then
    echo "screenshots: $exe is not built" >&2
    exit 1
fi

# What this script started ends with it, also on an interrupt.
own_session=
pid=
finish() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    [ -z "$own_session" ] || "$sentavio_root/cmake/wine-session.sh" stop "$own_session"
}
on_exit finish
if [ -z "${SENTAVIO_SESSION:-}" ] || [ ! -f "$SENTAVIO_SESSION/display" ]; then
    own_session=$build/screenshot-session
    SENTAVIO_SESSION=$own_session
    export SENTAVIO_SESSION
    interruptible "$sentavio_root/cmake/wine-session.sh" start "$SENTAVIO_SESSION" "$(cat "$build/wine-arch")"
fi
DISPLAY=$(cat "$SENTAVIO_SESSION/display")
export DISPLAY
mkdir -p "$out"

status=0
for locale in $(awk '!/^#/ { print $1 }' "$sentavio_root/tests/support/locales.txt"); do
    shot=$out/prompt-$locale
    rm -f "$shot.png" "$shot.ready" "$shot.ready.part" "$shot.taken"
    # The test program opens the prompt, writes its screen rectangle to
    # $shot.ready and keeps it open until $shot.taken exists.
    marker=$(dos_path "$shot")
    LANG=$locale.UTF-8 LC_ALL=$locale.UTF-8 SENTAVIO_PICTURE=$marker "$sentavio_root/cmake/wine-run.sh" "$exe" \
        --no-skip --test-case='Picture of the prompt' >"$shot.log" 2>&1 &
    pid=$!
    if within 60 test -f "$shot.ready"; then
        # Written on Windows: the line ends in a carriage return.
        read -r x y w h <<EOF
$(tr -d '\r' <"$shot.ready")
EOF
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot.png"
    fi
    touch "$shot.taken"
    picture_status=0
    wait $pid || picture_status=$?
    pid=
    if [ $picture_status != 0 ] || [ ! -f "$shot.png" ]; then
        echo "screenshots: no picture for $locale; see $shot.log" >&2
        status=1
        continue
    fi
    size=$(identify -format '%w %h' "$shot.png")
    if [ "$size" != "$w $h" ]; then
        echo "screenshots: the $locale picture is $size, the dialog $w $h" >&2
        status=1
    fi
    colours=$(identify -format '%k' "$shot.png")
    if [ "$colours" -lt 2 ]; then
        echo "screenshots: the $locale picture is all one colour" >&2
        status=1
    fi
    rm -f "$shot.ready" "$shot.taken" "$shot.log"
    echo "$shot.png"
done
pictures=$(ls "$out"/prompt-*.png 2>/dev/null | wc -l)
distinct=$(identify -format '%#\n' "$out"/prompt-*.png 2>/dev/null | sort -u | wc -l)
if [ "$pictures" -ne 5 ] || [ "$distinct" -ne 5 ]; then
    echo "screenshots: $distinct different pictures of $pictures for five languages" >&2
    status=1
fi
if [ "${2:-}" = readme ] && [ $status = 0 ]; then
    cp "$out/prompt-en_US.png" "$sentavio_root/docs/prompt-en_US.png"
fi
exit $status
