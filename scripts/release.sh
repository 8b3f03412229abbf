#!/bin/sh
# scripts/release.sh [--timestamp URL] PKCS12 PASSWORD_FILE|-
# scripts/release.sh --check DIR [CA_FILE]
#
# Makes the signed release of the commit checked out here in
# dist/<version>/: Sentavio.exe built from a clean checkout of that commit
# as the reproducible build makes it (preset "shipped"), signed twice
# (SHA-1 for Windows 2000 and XP before SP3, then SHA-256 nested in it for
# later Windows); Sentavio.msi made from the signed exe by the build's own
# package step and signed the same way; SHA256SUMS of both; COMMIT, the
# commit they come from. PKCS12 holds the code-signing certificate and its
# key. The password is the first line of PASSWORD_FILE, or of standard
# input with "-"; it reaches openssl and osslsigncode only in a file that
# only this user can read, and is never printed.
#
# It refuses, before it writes anything, a work tree with changes, an
# existing release folder, and a certificate that cannot sign code now. It
# prepares the folder beside its place, checks everything in it, and only
# then gives it its name: a failed or interrupted release leaves none.
# --timestamp URL has an RFC 3161 server stamp every signature.
#
# --check DIR checks a release, whoever made it: the sums, both signatures
# of both files (against the roots in CA_FILE, else the ones this machine
# trusts), that the exe without its signature is byte for byte the exe this
# repository builds from the commit DIR/COMMIT names, and that the package
# holds that signed exe with the tables and streams which that commit's
# package step writes. It prints each comparison and fails at the first
# difference.
set -eu
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
. "$sentavio_root/scripts/common.sh"

description="Ostrevik Sentavio utility"
dist=$sentavio_root/dist
# Where Debian keeps the roots this machine trusts; osslsigncode's default.
system_roots=/etc/ssl/certs/ca-certificates.crt

usage() {
    echo "usage: $0 [--timestamp URL] PKCS12 PASSWORD_FILE|-" >&2
    echo "       $0 --check DIR [CA_FILE]" >&2
    exit 2
}
# fail MESSAGE [LOG]: says why, with the tool's own words, and ends.
fail() {
    echo "release: $1" >&2
    if [ -n "${2:-}" ] && [ -s "$2" ]; then tail -n 20 "$2" | sed 's/^/  | /' >&2; fi
    exit 1
}
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }

work=
stage=
echo_off=
finish() {
    finish_status=$?
    [ -z "$echo_off" ] || stty echo 2>/dev/null || true
    rm -rf ${work:+"$work"} ${stage:+"$stage"}
    exit $finish_status
}
on_exit finish

# build COMMIT: Sentavio.exe of a clean checkout of COMMIT, built as the
# reproducible build builds it; sets unsigned (the exe) and product (what
# the package step reads of the product).
build() {
    mkdir "$work/src"
    git -C "$sentavio_root" archive "$1" | tar -x -C "$work/src"
    echo "Building Sentavio.exe from commit $1"
    interruptible -o "$work/build.log" sh -c \
        'cd "$1" && cmake --preset shipped && cmake --build --preset shipped -j2' sh "$work/src" ||
        fail "the build of commit $1 failed:" "$work/build.log"
    unsigned=$work/src/build-shipped/app/Sentavio.exe
    product=$work/src/build-shipped/deploy/product.cmake
}

# package EXE MSI: the package of EXE, made by the package step of the
# commit built.
package() {
    interruptible -o "$work/package.log" cmake -DEXE="$1" -DMSI="$2" -DPRODUCT="$product" \
        -P "$work/src/deploy/MakePackage.cmake" || fail "the package step failed:" "$work/package.log"
}

# signatures FILE: fails unless FILE carries two signatures that verify,
# SHA-1 first and SHA-256 nested in it, both with the description.
signatures() {
    osslsigncode verify ${roots:+-CAfile "$roots"} -in "$1" >"$work/verify.log" 2>&1 ||
        fail "DIFFERENT: the signatures of $1 do not verify:" "$work/verify.log"
    sign_digests=$(sed -n 's/^Message digest algorithm: //p' "$work/verify.log" | tr '\n' ' ')
    [ "$sign_digests" = "SHA1 SHA256 " ] ||
        fail "DIFFERENT: $1 is signed with ${sign_digests:-no digest}, not SHA1 then SHA256"
    [ "$(grep -c "^[[:space:]]*Text description: $description\$" "$work/verify.log")" = 2 ] ||
        fail "DIFFERENT: a signature of $1 lacks the description \"$description\""
    grep -q '^Number of verified signatures: 2$' "$work/verify.log" ||
        fail "DIFFERENT: $1 does not carry two verified signatures:" "$work/verify.log"
    sign_stamp="no time stamp"
    grep -q '^Timestamp is not available' "$work/verify.log" || sign_stamp="time-stamped"
    echo "  $(basename "$1"): 2 signatures verified (SHA1, then SHA256 nested), \"$description\", $sign_stamp"
}

# contents MSI DIR: the package's tables and streams, one file each in
# DIR, less what a build or a signature makes anew each time (the summary's
# revision and dates, the signature streams). An export writes a table's
# binary data into a folder of the working directory.
contents() {
    mkdir "$2"
    (
        cd "$2"
        for t in $(msiinfo tables "$1" | grep -v '^_SummaryInformation$'); do
            msiinfo export "$1" "$t" >"table.$t"
        done
        msiinfo streams "$1" | grep -v "$(printf '^\005')" | while IFS= read -r s; do
            msiinfo extract "$1" "$s" >"stream.$s"
        done
    )
}

# signed DIR: fails at the first fault of the release in DIR that needs no
# build to see: SHA256SUMS matches, and both files carry both signatures.
signed() {
    echo "Checking $1"
    [ "$(ls "$1" | tr '\n' ' ')" = "COMMIT SHA256SUMS Sentavio.exe Sentavio.msi " ] ||
        fail "DIFFERENT: $1 holds $(ls "$1" | tr '\n' ' '), not COMMIT SHA256SUMS Sentavio.exe Sentavio.msi"
    (cd "$1" && sha256sum --check --strict SHA256SUMS) >"$work/sums.log" 2>&1 ||
        fail "DIFFERENT: the files do not match SHA256SUMS:" "$work/sums.log"
    [ "$(cut -c 67- "$1/SHA256SUMS" | tr '\n' ' ')" = "Sentavio.exe Sentavio.msi " ] ||
        fail "DIFFERENT: SHA256SUMS does not list exactly Sentavio.exe and Sentavio.msi"
    echo "  SHA256SUMS: Sentavio.exe and Sentavio.msi match"
    signatures "$1/Sentavio.exe"
    signatures "$1/Sentavio.msi"
}

# built DIR EXE MSI COMMIT: fails unless the exe in DIR without its
# signature is EXE, built from COMMIT, and the package in DIR holds the
# signed exe, with MSI's tables and streams.
built() {
    osslsigncode remove-signature -in "$1/Sentavio.exe" -out "$work/stripped.exe" >"$work/strip.log" 2>&1 ||
        fail "cannot remove the signature of $1/Sentavio.exe:" "$work/strip.log"
    cmp "$work/stripped.exe" "$2" >"$work/cmp.log" 2>&1 ||
        fail "DIFFERENT: Sentavio.exe without its signature is not the exe built from commit $4:" "$work/cmp.log"
    echo "  Sentavio.exe without its signature: byte for byte the exe built from commit $4 ($(wc -c <"$2") bytes)"

    msiextract -C "$work/extracted" "$1/Sentavio.msi" >"$work/extract.log" 2>&1 ||
        fail "cannot extract $1/Sentavio.msi:" "$work/extract.log"
    cmp "$work/extracted/Program Files/Sentavio/Sentavio.exe" "$1/Sentavio.exe" >"$work/cmp.log" 2>&1 ||
        fail "DIFFERENT: Sentavio.msi does not hold the signed Sentavio.exe:" "$work/cmp.log"
    contents "$1/Sentavio.msi" "$work/released"
    contents "$3" "$work/made"
    diff -r "$work/released" "$work/made" >"$work/diff.log" 2>&1 ||
        fail "DIFFERENT: Sentavio.msi is not the package that commit $4 makes of the signed exe:" "$work/diff.log"
    echo "  Sentavio.msi: holds the signed Sentavio.exe; its tables and streams are those" \
        "commit $4 makes of it"
}

if [ "${1:-}" = --check ]; then
    [ $# = 2 ] || [ $# = 3 ] || usage
    release=$(absolute "$2")
    roots=${3:+$(absolute "$3")}
    [ -z "$roots" ] || [ -f "$roots" ] || fail "no root certificates at $roots"
    [ -f "$release/COMMIT" ] || fail "no release in $release: it has no COMMIT"
    commit=$(cat "$release/COMMIT")
    git -C "$sentavio_root" cat-file -e "$commit^{commit}" 2>/dev/null ||
        fail "commit $commit of $release is not in this repository: fetch it first"
    work=$(mktemp -d "${TMPDIR:-/tmp}/sentavio-check.XXXXXX")
    signed "$release"
    build "$commit"
    package "$release/Sentavio.exe" "$work/Sentavio.msi"
    built "$release" "$unsigned" "$work/Sentavio.msi" "$commit"
    echo "$release: the signed release of commit $commit; every check passed"
    exit 0
fi

timestamp=
if [ "${1:-}" = --timestamp ]; then
    [ $# -ge 2 ] || usage
    timestamp=$2
    shift 2
fi
case "${1:-}" in
"") fail "no certificate given: name the PKCS#12 file of the code-signing certificate and its key" ;;
-*) usage ;;
esac
[ $# = 2 ] || usage
p12=$(absolute "$1")
[ -f "$p12" ] || fail "no certificate at $p12"
password_from=$2
[ "$password_from" = - ] || password_from=$(absolute "$password_from")

# Only a commit can be built again by anyone.
changes=$(git -C "$sentavio_root" status --porcelain) || fail "$sentavio_root is not a git checkout"
[ -z "$changes" ] ||
    fail "the work tree has uncommitted changes; commit or stash them first:
$(echo "$changes" | head -n 10)"
commit=$(git -C "$sentavio_root" rev-parse --verify HEAD)
version=$(git -C "$sentavio_root" show "$commit:CMakeLists.txt" |
    sed -n 's/^project(Sentavio VERSION \([0-9.]*\) .*/\1/p')
[ -n "$version" ] || fail "no version in CMakeLists.txt of commit $commit"
[ ! -e "$dist/$version" ] || fail "the release folder $dist/$version exists already"

work=$(mktemp -d "${TMPDIR:-/tmp}/sentavio-release.XXXXXX")
password=$work/password
if [ "$password_from" = - ]; then
    if [ -t 0 ]; then
        printf 'Password of %s: ' "$p12" >&2
        stty -echo
        echo_off=yes
    fi
    (umask 077 && head -n 1 >"$password")
    if [ -n "$echo_off" ]; then
        stty echo
        echo_off=
        echo >&2
    fi
else
    (umask 077 && head -n 1 "$password_from" >"$password") || fail "cannot read the password from $password_from"
fi

# The certificate, checked before anything is signed.
p12_read() { openssl pkcs12 $legacy -in "$p12" -passin "file:$password" "$@" 2>"$work/openssl.log"; }
legacy=
if ! p12_read -nokeys -out "$work/certs.pem"; then
    # Keys that older Windows exported are sealed with RC2 or 3DES, which
    # OpenSSL 3 reads only with its legacy provider.
    legacy=-legacy
    p12_read -nokeys -out "$work/certs.pem" ||
        fail "cannot open $p12: wrong password, or not a PKCS#12 file:" "$work/openssl.log"
fi
# The certificate of the key, where the file marks it; else the first one.
p12_read -nokeys -clcerts -out "$work/certificate.pem"
grep -q 'BEGIN CERTIFICATE' "$work/certificate.pem" || cp "$work/certs.pem" "$work/certificate.pem"
certificate() { openssl x509 -in "$work/certificate.pem" -noout -nameopt RFC2253 "$@"; }
subject=$(certificate -subject 2>/dev/null | sed 's/^subject=//')
[ -n "$subject" ] || fail "$p12 holds no certificate"
key=$(p12_read -nocerts -nodes | openssl pkey -pubout 2>>"$work/openssl.log") ||
    fail "$p12 holds no private key:" "$work/openssl.log"
[ "$key" = "$(certificate -pubkey)" ] || fail "the key in $p12 does not match its certificate $subject"
not_before=$(certificate -startdate | sed 's/^notBefore=//')
not_after=$(certificate -enddate | sed 's/^notAfter=//')
now=$(date +%s)
[ "$(date -d "$not_before" +%s)" -le "$now" ] ||
    fail "the certificate $subject is not valid yet: it is valid from $not_before"
[ "$now" -lt "$(date -d "$not_after" +%s)" ] || fail "the certificate $subject expired on $not_after"
uses=$(certificate -ext extendedKeyUsage 2>/dev/null | sed -n '2s/^ *//p')
case ", $uses," in
*", Code Signing,"*) ;;
*) fail "the certificate $subject is not for code signing: its extended key usage is ${uses:-absent}" ;;
esac
echo "Signing as $subject, valid until $not_after"
[ -n "$timestamp" ] ||
    echo "No --timestamp URL: the signatures end with the certificate, on $not_after"
# The release is checked against the roots this machine trusts and the
# chain that came with the key (a company's own root, say).
roots=$work/roots.pem
p12_read -nokeys -cacerts -out "$roots"
[ ! -f "$system_roots" ] || cat "$system_roots" >>"$roots"

# sign IN OUT: SHA-1 first, then SHA-256 nested in it.
sign() {
    interruptible -o "$work/sign.log" osslsigncode sign -pkcs12 "$p12" -readpass "$password" \
        -h sha1 -n "$description" ${timestamp:+-ts "$timestamp"} -in "$1" -out "$1.sha1" &&
        interruptible -o "$work/sign.log" osslsigncode sign -pkcs12 "$p12" -readpass "$password" \
            -h sha256 -nest -n "$description" ${timestamp:+-ts "$timestamp"} -in "$1.sha1" -out "$2" ||
        fail "signing $(basename "$2") failed:" "$work/sign.log"
}

build "$commit"
mkdir "$work/signed"
sign "$unsigned" "$work/signed/Sentavio.exe"
package "$work/signed/Sentavio.exe" "$work/Sentavio.msi"
mkdir -p "$dist"
stage=$dist/.$version.partial.$$
mkdir "$stage"
cp "$work/signed/Sentavio.exe" "$stage/"
sign "$work/Sentavio.msi" "$stage/Sentavio.msi"
(cd "$stage" && sha256sum Sentavio.exe Sentavio.msi) >"$stage/SHA256SUMS"
echo "$commit" >"$stage/COMMIT"
signed "$stage"
built "$stage" "$unsigned" "$work/Sentavio.msi" "$commit"
# -n never replaces a folder, not even an empty one: the stage stays then.
mv -T -n "$stage" "$dist/$version"
[ ! -e "$stage" ] || fail "the release folder $dist/$version exists already"
stage=
echo "Released $dist/$version"
