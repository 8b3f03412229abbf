# Sourced by every script and shell test: what this host can run, the
# architecture to use, Windows paths, the machine tool, bounded waits, and
# how a script ends when it is interrupted. The script sets sentavio_root
# (the project's folder) before it sources this file. Plain sh has no local
# variables: every name a function here sets starts with its own prefix.

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
    *)
        echo "SENTAVIO_ARCH must be i686 or x86_64, not '$SENTAVIO_ARCH'" >&2
        exit 2
        ;;
    esac
}

# host_choose_arch: the one architecture a script runs the program on: the
# shipped i686 one where the host can run it, else the x86_64 test build.
# Sets arch, preset and tree (the build tree), and why when it is x86_64.
host_choose_arch() {
    host_check_arch_request
    case "${SENTAVIO_ARCH:-}" in
    x86_64) arch=x86_64 why="SENTAVIO_ARCH=x86_64 asks for it" ;;
    i686) arch=i686 ;;
    *) if host_runs_i686; then arch=i686; else arch=x86_64 why=$host_i686_why; fi ;;
    esac
    if [ $arch = i686 ]; then preset=release tree=build; else preset=x86_64 tree=build-x64; fi
}

# dos_path UNIX_PATH: the same file as a Windows program sees it, on Wine's
# drive Z:.
dos_path() { printf 'Z:%s\n' "$1" | tr / '\\'; }

# machine ARGUMENTS...: the simulated machine's tool (sentavio-machine.exe,
# named by machine_exe) in the Wine session of SENTAVIO_SESSION.
machine() { "$sentavio_root/cmake/wine-run.sh" "$machine_exe" "$@"; }

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

# ended PID: whether that process is gone.
ended() { ! kill -0 "$1" 2>/dev/null; }

# on_exit COMMAND: runs COMMAND however the script ends: normally, on a
# failure, or on an interrupt. /bin/sh (dash) runs no EXIT trap on SIGINT or
# SIGTERM unless they are trapped, so each is trapped here: the script ends
# what it runs with interruptible, says it was interrupted and exits with
# 130 or 143, and then the EXIT trap runs.
on_exit() {
    trap "$1" EXIT
    trap 'interrupted interrupted 130' INT
    trap 'interrupted terminated 143' TERM
}
interrupted() {
    [ -z "${interruptible_pid:-}" ] || kill -TERM -"$interruptible_pid" 2>/dev/null || true
    echo "$(basename "$0"): $1" >&2
    exit "$2"
}

# interruptible [-o FILE] COMMAND...: runs COMMAND in a process group of its
# own and waits for it, so that an interrupt reaches this script at once and
# ends the whole group. In the foreground a program that catches SIGINT would
# swallow it: CTest goes on with the next test, a Wine program exits
# normally, and sh then takes the interrupt as handled. -o sends COMMAND's
# output to FILE (a redirection of the call would take this script's own
# interrupt message along).
interruptible_pid=
interruptible() {
    if [ "$1" = -o ]; then
        interruptible_output=$2
        shift 2
        setsid "$@" >"$interruptible_output" 2>&1 </dev/null &
    else
        setsid "$@" &
    fi
    interruptible_pid=$!
    interruptible_status=0
    wait "$interruptible_pid" || interruptible_status=$?
    interruptible_pid=
    return $interruptible_status
}
