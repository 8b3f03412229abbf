#!/bin/sh
# scripts/run.sh [yes|no|cancel|ok] [tick] [restart] [lang=LOCALE]
#
# Installs what is missing, builds Sentavio.exe and runs the whole program
# under Wine in a session of its own (BUILD/run-session), on a simulated
# machine that qualifies: Windows 2000 with the maker's driver behind
# "cmbatt", the critical alarm at 5 % with no action, Sentavio's autostart
# value in place. It prints what the user saw, the machine before and after
# side by side, and whether Windows was restarted; the build's own output
# only when the build fails (all of it in BUILD/run-build.log).
#
# It runs the shipped i686 Sentavio.exe on 32-bit Wine where this host can
# run 32-bit programs; elsewhere the x86_64 test build of the same sources
# on 64-bit Wine, and says so first. SENTAVIO_ARCH=i686 or x86_64 asks for
# one of them.
#
# An interrupt (Ctrl-C) ends the run at once and stops its Wine session.
set -eu
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$sentavio_root"
. scripts/common.sh

# The languages the program speaks, from the table its resources follow.
locales=$(awk '!/^#/ { print $1 }' res/languages.txt | tr '\n' ' ')
# usage [STATUS]: on standard error, unless asked for (status 0).
usage() {
    [ "${1:-2}" = 0 ] || exec >&2
    cat <<EOF
usage: $0 [yes|no|cancel|ok] [tick] [restart] [lang=LOCALE]
Runs Sentavio.exe on a simulated Windows 2000 machine that needs attention,
under Xvfb, and answers its prompt:
  yes       Yes: the program makes the optimum settings, then asks to restart
  no        No: nothing changes (but see tick)
  cancel    Cancel, the default: nothing changes, the check box is ignored
  ok        Enter on the check box, the dialog's own OK: as No
  tick      first ticks "Don't display this message again.": with yes, no or
            ok the program deletes its autostart value and will not ask again
  restart   answers Yes to the restart question (else No): Windows restarts
  lang=     the user's language, one of: ${locales% }
With DISPLAY set, the prompt opens on that display and you answer it
yourself: the answers given here are ignored.
EOF
    exit "${1:-2}"
}
choice=cancel
tick=
restart=
lang=en_US
for arg in "$@"; do
    case "$arg" in
    yes | no | cancel | ok) choice=$arg ;;
    tick) tick=tick ;;
    restart) restart=restart ;;
    lang=*)
        lang=${arg#lang=}
        case " $locales" in
        *" $lang "*) ;;
        *)
            echo "$0: unknown language '$lang'; Sentavio speaks ${locales% }" >&2
            exit 2
            ;;
        esac
        ;;
    -h | --help) usage 0 ;;
    *) usage ;;
    esac
done

# Whatever ends this script early says why; on_exit stops the session.
step="choosing the architecture"
finish() {
    status=$?
    [ $status = 0 ] || [ $status -ge 128 ] || echo "run.sh: failed while $step (status $status)" >&2
}
on_exit finish

host_choose_arch
build=$tree
if [ $arch = i686 ]; then
    echo "Runs Sentavio.exe, the shipped i686 program, on 32-bit Wine."
else
    echo "Runs the x86_64 test build of Sentavio.exe's sources on 64-bit Wine, not the shipped i686 program: $why."
fi

step="installing what is missing"
scripts/install-deps.sh
step="building"
mkdir -p $build
log=$build/run-build.log
echo "Building (output in $log)"
if ! { cmake --preset $preset && cmake --build --preset $preset -j2 --target Sentavio sentavio-machine \
    sentavio-user idle; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    exit 1
fi

step="starting Wine"
session_start $build "$PWD/$build/run-session"
work=$SENTAVIO_SESSION/work
mkdir -p "$work"
machine_exe=$build/testbed/sentavio-machine.exe

step="preparing the simulated machine"
machine_qualify
machine run-value Sentavio "$(dos_path "$PWD/$build/app/Sentavio.exe")"
# Traces of a restart: an application that a restart ends, and a Run value
# that leaves a file when the session starts again.
machine run-value SentavioRunMarker cmd /c echo restarted ">$(dos_path "$work/restarted.txt")"
machine report >"$work/before.txt"
echo "The simulated machine is ready: Windows 2000, the maker's battery driver, the critical alarm at 5 %."

step="running Sentavio.exe"
cmake/wine-run.sh $build/testbed/idle.exe >/dev/null 2>&1 </dev/null &
idle=$!

if [ -n "${DISPLAY:-}" ]; then
    # The prompt on your display; the machine stays in the session.
    rm -f "$SENTAVIO_SESSION/display"
    echo "Sentavio.exe runs on $DISPLAY: answer its prompt."
    interruptible -o "$work/user.txt" env LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 \
        cmake/wine-run.sh $build/testbed/sentavio-user.exe person || true
else
    shot=$work/prompt.bmp
    echo "Sentavio.exe runs under Xvfb; the user answers: $choice${tick:+ $tick}${restart:+ $restart}"
    # Output to a file: after a restart the new session keeps pipes open.
    interruptible -o "$work/user.txt" env LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 \
        cmake/wine-run.sh $build/testbed/sentavio-user.exe $choice $tick $restart "screenshot=$(dos_path "$shot")" ||
        true
    # The program's texts are in the ANSI code page.
    iconv -f WINDOWS-1252 -t UTF-8 "$work/user.txt" | sed 's/^/  /'
    if [ -s "$shot" ]; then
        convert "$shot" $build/prompt.png && echo "Screenshot of the prompt: $build/prompt.png"
    fi
fi

# Wine's restart is a process that Sentavio.exe starts and leaves running.
# The user saw the program end and says whether it left one; a restart may
# end the user first, so no verdict means one is under way, and then the
# Run value that runs once the session starts again shows it came.
# Windows programs end their lines with a carriage return.
if tr -d '\r' <"$work/user.txt" | grep -q '^restart: none$'; then
    restarted=no
    kill "$idle" 2>/dev/null || true
else
    if ! within 60 test -s "$work/restarted.txt"; then
        echo "Sentavio.exe did not end as expected, and Windows did not start again within 60 s." >&2
        echo "What the user saw:" >&2
        cat "$work/user.txt" >&2
        exit 1
    fi
    restarted=yes
fi
step="reading the machine afterwards"
machine run-value SentavioRunMarker none
machine report >"$work/after.txt"
echo "The machine before and after (* marks what changed):"
# Each report line is "what: state"; a line either report lacks shows "-".
tr -d '\r' <"$work/before.txt" >"$work/before.lines"
tr -d '\r' <"$work/after.txt" | awk '
    function split_line(line) { at = index(line, ": "); name = at ? substr(line, 1, at - 1) : line
                                state = at ? substr(line, at + 2) : "" }
    function add(name) { if (!(name in seen)) { seen[name] = 1; order[++n] = name } }
    FNR == NR { split_line($0); add(name); before[name] = state; next }
    { split_line($0); add(name); after[name] = state }
    END {
        wn = 4; wb = 6
        for (i = 1; i <= n; i++) {
            k = order[i]
            if (!(k in before)) before[k] = "-"
            if (!(k in after)) after[k] = "-"
            if (length(k) > wn) wn = length(k)
            if (length(before[k]) > wb) wb = length(before[k])
        }
        printf "    %-*s  %-*s  %s\n", wn, "", wb, "before", "after"
        for (i = 1; i <= n; i++) {
            k = order[i]
            changed += before[k] != after[k]
            printf "  %s %-*s  %-*s  %s\n", before[k] == after[k] ? " " : "*", wn, k, wb, before[k], after[k]
        }
        if (!changed) print "  Nothing changed."
    }' "$work/before.lines" -
echo "Windows restarted: $restarted"
