#!/bin/sh
# scripts/on-debian.sh 12|13 [SCRIPT [ARGUMENTS...]]
#
# Runs one of the project's scripts (scripts/test.sh unless named) as root
# inside a minimal Debian 12 (bookworm) or 13 (trixie) root file system, on
# a copy of this checkout (its commits, and the changes not yet committed),
# and exits with the script's status. Every argument that names an existing
# file or folder is there at the same absolute path (a relative one is
# handed on absolute).
#
# The root is made with debootstrap --variant=minbase from the Debian
# archive this host's apt uses, and kept between runs with what the script
# installed in it and its own build trees, under
# ${XDG_CACHE_HOME:-~/.cache}/sentavio/debian-N: made again when missing,
# half made, made by another recipe or older than a week (Debian's archive
# moves on). Delete that folder for a bare root. One run a root at a time.
#
# However it ends (Ctrl-C, a failed run), it ends every process whose root
# is that root, and a debootstrap still making it, and unmounts what it
# mounted there.
set -eu
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=common.sh
. "$sentavio_root/scripts/common.sh"

usage() {
    echo "usage: $0 12|13 [SCRIPT [ARGUMENTS...]]" >&2
    exit 2
}
case "${1:-}" in
12) suite=bookworm ;;
13) suite=trixie ;;
*) usage ;;
esac
release=$1
shift
script=${1:-scripts/test.sh}
[ $# = 0 ] || shift
[ -f "$sentavio_root/$script" ] || { echo "$0: no script $script in $sentavio_root" >&2 && exit 2; }
if [ "$(id -u)" != 0 ]; then
    echo "$0: making and entering a root file system needs root: sudo $0 $release $script $*" >&2
    exit 2
fi
for tool in debootstrap git flock; do
    command -v $tool >/dev/null ||
        { echo "$0: needs $tool (apt-get install debootstrap git util-linux)" >&2 && exit 2; }
done
mirror=$(debian_mirror)
[ -n "$mirror" ] || { echo "$0: no Debian archive found in this host's apt sources" >&2 && exit 2; }

cache=${XDG_CACHE_HOME:-$HOME/.cache}/sentavio
mkdir -p "$cache"
cache=$(realpath "$cache")
root=$cache/debian-$release
copy=/sentavio
# What the root is made of; another recipe makes it again.
recipe="debootstrap --variant=minbase $suite $mirror"
exec 9>"$cache/debian-$release.lock"
flock -n 9 || {
    echo "Waiting for another run in $root to end"
    flock 9
}

# The mounts below the root, deepest first.
mounted() { awk -v r="$root/" 'index($2, r) == 1 { print $2 }' /proc/self/mounts | sort -r; }
# Ends every process whose root is ours (and only those), then unmounts.
run_pid=
cleanup() {
    # debootstrap runs on the host, in a session of its own (interruptible):
    # only its group is ours to stop.
    [ -z "${interruptible_pid:-}" ] || kill -TERM -"$interruptible_pid" 2>/dev/null || true
    [ -z "$run_pid" ] || kill -TERM -"$run_pid" 2>/dev/null || true
    n=0
    while ours=$(ours) && [ -n "$ours" ]; do
        if [ $n = 0 ]; then
            # shellcheck disable=SC2086 # one id a word
            kill -TERM $ours 2>/dev/null || true
        elif [ $n = 100 ]; then
            # shellcheck disable=SC2086
            kill -KILL $ours 2>/dev/null || true
        elif [ $n -gt 150 ]; then
            echo "$0: still running in $root: $ours" >&2
            break
        fi
        sleep 0.1
        n=$((n + 1))
    done
    for m in $(mounted); do umount -l "$m" 2>/dev/null || umount -l "$m" || true; done
}
ours() {
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] || continue
        [ "$(proc_stat "${p#/proc/}" 1)" = Z ] || echo "${p#/proc/}"
    done
}
trap 'status=$?; cleanup; exit $status' EXIT
trap 'echo "$0: interrupted" >&2; exit 130' INT
trap 'echo "$0: terminated" >&2; exit 143' TERM
# Left over by a run that was killed outright.
cleanup

if [ ! -f "$root/.sentavio-root" ] || [ "$(cat "$root/.sentavio-root")" != "$recipe" ] ||
    [ -n "$(find "$root/.sentavio-root" -mtime +7)" ]; then
    echo "Making a minimal Debian $release root in $root ($recipe)"
    rm -rf --one-file-system "$root"
    interruptible -o "$cache/debian-$release.log" debootstrap --variant=minbase "$suite" "$root" "$mirror" ||
        { tail -20 "$cache/debian-$release.log" >&2 && echo "$0: debootstrap failed (log: $cache/debian-$release.log)" >&2 && exit 1; }
    echo "$recipe" >"$root/.sentavio-root"
fi

# The copy: this checkout's commits, its head, and what is not committed yet.
# Its build trees stay between runs and are the root's own.
[ -d "$root$copy/.git" ] || git init -q "$root$copy"
git -C "$root$copy" fetch -q --update-head-ok "$sentavio_root" '+refs/heads/*:refs/heads/*' '+refs/tags/*:refs/tags/*' '+refs/remotes/*:refs/remotes/*'
git -C "$root$copy" fetch -q "$sentavio_root" HEAD
git -C "$root$copy" -c advice.detachedHead=false checkout -q -f --detach "$(git -C "$sentavio_root" rev-parse HEAD)"
git -C "$root$copy" clean -fdq
(cd "$sentavio_root" && git ls-files -z -m -o --exclude-standard | tar -c --ignore-failed-read --null -T - -f -) | tar -x -C "$root$copy" -f -
(cd "$sentavio_root" && git ls-files -z -d) | (cd "$root$copy" && xargs -0 -r rm -f --)

cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --bind /sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
# Arguments that name files or folders, at the same absolute path.
for a in "$@"; do
    case $a in /*) p=$a ;; *) p=$PWD/$a ;; esac
    [ -e "$p" ] || { set -- "$@" "$a" && shift && continue; }
    p=$(realpath "$p")
    if [ -d "$p" ]; then mkdir -p "$root$p"; else mkdir -p "$root$(dirname "$p")" && touch "$root$p"; fi
    mount --bind "$p" "$root$p"
    set -- "$@" "$p"
    shift
done

echo "Running $script on Debian $release ($root)"
setsid -w chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" SENTAVIO_ARCH="${SENTAVIO_ARCH:-}" \
    sh -c 'cd "$0" && script=$1 && shift && exec "./$script" "$@"' "$copy" "$script" "$@" </dev/null &
run_pid=$!
status=0
wait "$run_pid" || status=$?
run_pid=
exit $status
