# Sourced by the scripts: what this host can run.
#
# host_runs_i686 answers whether the kernel runs 32-bit x86 programs, as
# 32-bit Wine needs. It finds out by trying: it runs a 96-byte 32-bit Linux
# program that exits with status 42. When that fails, host_i686_why says why.
host_i686_why=
host_runs_i686() {
    # Plain sh has no local variables: every name here starts with host_.
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

# SENTAVIO_ARCH=i686 or x86_64 asks for one architecture's Wine suite alone;
# unset, the scripts use every architecture the host can run.
host_check_arch_request() {
    case "${SENTAVIO_ARCH:-}" in
    "" | i686 | x86_64) ;;
    *)
        echo "SENTAVIO_ARCH must be i686 or x86_64, not '$SENTAVIO_ARCH'" >&2
        exit 2
        ;;
    esac
}
