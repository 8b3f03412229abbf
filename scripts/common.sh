# Sourced by the scripts, and the shell tests that use its helpers, which set sentavio_root (the
# project's folder) first: what this host runs, the architecture and its
# build tree, Windows paths, the machine tool, bounded waits, the Wine
# session and how a script ends. Plain sh has no local variables: a
# function's working names carry its prefix; what it sets is said with it.
# shellcheck shell=sh disable=SC2154 # sentavio_root, machine_exe: the script's

# host_runs_i686 answers whether the kernel runs 32-bit x86 programs, as
# 32-bit Wine needs. It finds out by trying: it runs a 96-byte 32-bit Linux
# program that exits with status 42. When that fails, host_i686_why says why.
host_i686_why=
host_runs_i686() {
    host_probe=$(mktemp "${TMPDIR:-/tmp}/sentavio-i686.XXXXXX")
    # ELF header, one loadable segment, and: mov eax,1; mov ebx,42; int 0x80.
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >"$host_probe"
    chmod +x "$host_probe"
    # bash, unlike sh, does not run a file the kernel refuses as a script.
    host_status=0
    host_said=$(bash -c '"$0"' "$host_probe" 2>&1) || host_status=$?
    rm -f "$host_probe"
    [ "$host_status" = 42 ] && return 0
    host_said=$(printf '%s' "$host_said" | sed 's/^.*: //' | head -1)
    host_i686_why="this host's kernel does not run 32-bit programs (a 32-bit test program ended with status $host_status${host_said:+: $host_said})"
    return 1
}

# SENTAVIO_ARCH=i686 or x86_64 asks for one architecture alone; unset, the
# scripts use every architecture the host can run.
host_check_arch_request() {
    case "${SENTAVIO_ARCH:-}" in
    "" | i686 | x86_64) ;;
    *) echo "SENTAVIO_ARCH must be i686 or x86_64, not '$SENTAVIO_ARCH'" >&2 && exit 2 ;;
    esac
}

# host_choose_arch: the one architecture a script runs the program on: the
# shipped i686 one where the host can run it, else the x86_64 test build.
# Sets what use_arch sets, and why when it is x86_64.
host_choose_arch() {
    host_check_arch_request
    why=
    case "${SENTAVIO_ARCH:-}" in
    x86_64) why="SENTAVIO_ARCH=x86_64 asks for it" ;;
    i686)
        host_runs_i686 ||
            { echo "SENTAVIO_ARCH=i686 asks for the i686 program, but $host_i686_why" >&2 && exit 2; }
        ;;
    *) host_runs_i686 || why=$host_i686_why ;;
    esac
    if [ -z "$why" ]; then use_arch i686; else use_arch x86_64; fi
}

# use_arch i686|x86_64: sets arch, its preset and tree (the preset's
# binaryDir, relative to the project's folder).
# shellcheck disable=SC2034 # for the script that sources this
use_arch() {
    arch=$1
    if [ "$1" = i686 ]; then preset=release tree=build; else preset=x86_64 tree=build-x64; fi
}

# dos_path UNIX_PATH: the same file as a Windows program sees it, on Wine's
# drive Z:.
dos_path() { printf 'Z:%s\n' "$1" | tr / '\\'; }

# machine ARGUMENTS...: the simulated machine's tool (sentavio-machine.exe,
# named by machine_exe) in the Wine session of SENTAVIO_SESSION.
machine() { "$sentavio_root/cmake/wine-run.sh" "$machine_exe" "$@"; }

# machine_qualify: a machine Sentavio.exe prompts on, as the tests prepare
# it (the machine tool's "qualify" says what it is).
machine_qualify() { machine qualify >/dev/null; }

# within SECONDS COMMAND...: runs COMMAND every tenth of a second until it
# succeeds; fails once SECONDS have passed. No result is decided by a
# wait's length, only by what was waited for.
within() {
    within_limit=$(($1 * 10))
    shift
    within_n=0
    until "$@"; do
        [ $within_n -lt $within_limit ] || return 1
        sleep 0.1
        within_n=$((within_n + 1))
    done
}

# proc_stat PID N: field N of its stat line after the name: 1 the state (Z:
# zombie), 20 the start time in clock ticks after boot.
proc_stat() { sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | cut -d ' ' -f "$2"; }

# ended PID: whether it is gone, or a zombie (this init reaps no orphans).
ended() { ! kill -0 "$1" 2>/dev/null || [ "$(proc_stat "$1" 1)" = Z ]; }

# session_start TREE DIR: a Wine session in DIR of the architecture CMake
# wrote to TREE/wine-arch, for the Wine programs the script runs next
# (SENTAVIO_SESSION); on_exit stops it (session_dir).
session_dir=
session_start() {
    session_dir=$2
    SENTAVIO_SESSION=$2
    export SENTAVIO_SESSION
    interruptible "$sentavio_root/cmake/wine-session.sh" start "$2" "$(cat "$1/wine-arch")"
}

# on_exit [COMMAND]: however the script ends, runs COMMAND (with the exit
# status in $?) and stops the session named by session_dir. It sets the INT
# and TERM traps too, as dash runs no EXIT trap on an untrapped signal: the
# script ends what interruptible runs, says so, exits with 130 or 143 and
# the EXIT trap runs, even where the reader of its output (CTest) has gone.
on_exit() {
    trap "${1:-:}"'
[ -z "$session_dir" ] || "$sentavio_root/cmake/wine-session.sh" stop "$session_dir"' EXIT
    trap 'interrupted interrupted 130' INT
    trap 'interrupted terminated 143' TERM
}
interrupted() {
    trap '' PIPE
    [ -z "${interruptible_pid:-}" ] || kill -TERM -"$interruptible_pid" 2>/dev/null || true
    echo "$(basename "$0"): $1" >&2
    exit "$2"
}

# interruptible [-o FILE] COMMAND...: runs COMMAND in a session of its own
# and waits, so that an interrupt reaches this script at once and ends the
# whole group. In the foreground a program that catches SIGINT would swallow
# it (CTest goes on with the next test, a Wine program exits normally). -o
# sends COMMAND's output to FILE, without this script's interrupt message.
# setsid does not fork for a background job (no group's leader): the job's
# id names the group; -w would keep the wait whole if it did.
interruptible_pid=
interruptible() {
    if [ "$1" = -o ]; then
        interruptible_output=$2
        shift 2
        setsid -w "$@" >"$interruptible_output" 2>&1 </dev/null &
    else
        setsid -w "$@" &
    fi
    interruptible_pid=$!
    interruptible_status=0
    wait "$interruptible_pid" || interruptible_status=$?
    interruptible_pid=
    return $interruptible_status
}

# debian_codename: this host's Debian release (bookworm, trixie).
debian_codename() { (. /etc/os-release && echo "$VERSION_CODENAME"); }

# debian_mirror: the Debian archive this host's apt takes its own release
# from (the first apt source of that suite), so that a root file system or a
# suite added comes from the same place.
debian_mirror() {
    {
        debian_mirror_suite=$(debian_codename)
        awk -v suite="$debian_mirror_suite" '
            function found() { if (uri != "" && (" " suites " ") ~ (" " suite " ")) { print uri; exit } uri = suites = "" }
            /^[ \t]*$/ { found() } /^URIs:/ { uri = $2 } /^Suites:/ { $1 = ""; suites = $0 } END { found() }' \
            /etc/apt/sources.list.d/*.sources 2>/dev/null || true
        sed -n 's/^deb[ \t]\+\(\[[^]]*\][ \t]\+\)\?\([^ \t]\+\)[ \t]\+'"$debian_mirror_suite"'[ \t].*/\2/p' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true
    } | head -1 | sed 's:/*$::'
}
