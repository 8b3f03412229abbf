#!/bin/sh
# scripts/release.sh [--timestamp URL] [--chain FILE] PKCS12 PASSWORD_FILE|-
# scripts/release.sh --check [--signer FINGERPRINT] [--ref REF] DIR [CA_FILE]
# (options in any order)
#
# Makes the signed release of the commit checked out here in
# dist/<version>/: Sentavio.exe built from a clean checkout of that commit
# as the reproducible build makes it (preset "shipped"), signed twice
# (SHA-1 for Windows 2000 and XP before SP3, then SHA-256 nested in it for
# later Windows); Sentavio.msi made from the signed exe by the build's own
# package step and signed the same way; BUILDINFO, the build environment
# (this host's Debian release and the exact version of every package whose
# output lands in the two files); SHA256SUMS of those three; COMMIT, the
# full id of the commit they come from. PKCS12 holds the code-signing
# certificate and its key; --chain FILE names PEM certificates that
# complete its chain to a root where PKCS12 lacks them. The password is the
# first line of PASSWORD_FILE, or of standard input with "-", less one
# trailing CR; it reaches openssl and osslsigncode only in a file that only
# this user can read, and is never printed.
#
# It refuses, before it builds: a work tree with changes, an existing
# release folder, a password both tools cannot read alike, and a
# certificate unfit to sign code now (key usage, chain, validity for at
# least a day). It warns where a certificate of the chain below the root is
# signed with an algorithm Windows 2000 and XP before SP3 cannot check. It
# prepares the folder beside its place, checks everything in it, and only
# then gives it its name: a failed or interrupted release leaves none.
# --timestamp URL has that server stamp each SHA-1 signature in the
# Authenticode format (the one Windows 2000 and XP read) and each SHA-256
# one in RFC 3161's; each stamp is waited for at most 60 s, then the
# release fails.
#
# --check DIR checks a release, whoever made it, on a copy of its files
# in a private folder, and prints the SHA-256 of each: exactly its five
# files; COMMIT, a commit on REF (default origin/HEAD, the maker's main
# branch as a fresh clone has it), else it builds nothing; the sums; both
# signatures of both files (against the roots in CA_FILE, else the ones
# this machine trusts; their time stamps too), made by one certificate,
# which it names (and which must be the one --signer gives, by its SHA-256
# fingerprint or its SHA-1 thumbprint), and nothing
# else in the signatures or the files; that the exe without its signature
# is byte for byte the exe this repository builds from that commit, and
# the package stream for stream what that commit's package step makes of
# the signed exe, but for what two builds of one commit differ in (see
# built); that DIR still holds the files judged. It prints each
# comparison and fails at the first difference. No name a release
# supplies becomes a path, and nothing is written outside the private
# folder. Where this host's build environment is not the one BUILDINFO
# records and the rebuilt bytes differ, it cannot judge here: it ends with
# status 3, the versions side by side and the command that checks in a root
# file system of the recorded Debian release.
set -eu
# ls sorts the release's names by the locale's rules: in en_US.UTF-8,
# SHA256SUMS after Sentavio.msi.
LC_ALL=C
export LC_ALL
sentavio_root=$(cd "$(dirname "$0")/.." && pwd)
. "$sentavio_root/scripts/common.sh"

description="Ostrevik Sentavio utility"
dist=$sentavio_root/dist
# Where Debian keeps the roots this machine trusts; osslsigncode's default.
system_roots=/etc/ssl/certs/ca-certificates.crt
# How long one signature waits for the time-stamp server: osslsigncode
# itself would wait for ever on one that accepts and never answers.
stamp_limit=${SENTAVIO_TIMESTAMP_LIMIT:-60}
# The files of a release; the check copies exactly these.
release_files="BUILDINFO COMMIT SHA256SUMS Sentavio.exe Sentavio.msi"
# The ref a released commit must be on, unless --ref names another: the
# maker's main branch as a fresh clone of the maker's repository has it.
default_ref=origin/HEAD
# Reads the bytes of the exe and the package (Debian's python3 and its
# olefile, pefile, asn1crypto and cryptography).
release_files_py() { /usr/bin/python3 "$sentavio_root/scripts/release-files.py" "$@"; }

usage() {
    echo "usage: $0 [--timestamp URL] [--chain FILE] PKCS12 PASSWORD_FILE|-" >&2
    echo "       $0 --check [--signer FINGERPRINT] [--ref REF] DIR [CA_FILE]" >&2
    echo "  --timestamp URL: the server stamps each SHA-1 signature (Authenticode format) and each SHA-256 one" >&2
    echo "    (RFC 3161), each within $stamp_limit s or the release fails" >&2
    echo "  --chain FILE: PEM certificates completing the chain to the root, where PKCS12 lacks them" >&2
    echo "  --signer: the SHA-256 fingerprint or SHA-1 thumbprint of the certificate the release must be signed with" >&2
    echo "  --ref REF: the branch or tag of the maker's repository that must hold COMMIT (default $default_ref)" >&2
    exit 2
}
# fail MESSAGE [LOG]: says why, with the tool's own words (all of them:
# the line that says why is not always the last), and ends.
fail() {
    echo "release: $1" >&2
    if [ -n "${2:-}" ] && [ -s "$2" ]; then sed 's/^/  | /' "$2" >&2; fi
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
    git -C "$sentavio_root" archive -o "$work/src.tar" "$1" >"$work/archive.log" 2>&1 ||
        fail "cannot take commit $1 out of the repository:" "$work/archive.log"
    tar -x -f "$work/src.tar" -C "$work/src" >"$work/archive.log" 2>&1 ||
        fail "cannot unpack commit $1:" "$work/archive.log"
    echo "Building Sentavio.exe from commit $1"
    interruptible -o "$work/build.log" sh -c \
        'cd "$1" && cmake --preset shipped && cmake --build --preset shipped -j2' sh "$work/src" ||
        fail "the build of commit $1 failed:" "$work/build.log"
    unsigned=$work/src/build-shipped/app/Sentavio.exe
    product=$work/src/build-shipped/deploy/product.cmake
    commit_time=$(git -C "$sentavio_root" show -s --format=%ct "$1") || fail "no time of commit $1"
}

# package EXE MSI: the package of EXE, made by the package step of the
# commit built. The package's cabinet records the exe's modification time:
# a copy dated the commit's time is packaged, so that one exe makes one
# package wherever and whenever it was copied or downloaded.
package() {
    mkdir "$work/packaged"
    cp "$1" "$work/packaged/Sentavio.exe" && touch -d "@$commit_time" "$work/packaged/Sentavio.exe" ||
        fail "cannot date a copy of $1"
    interruptible -o "$work/package.log" cmake -DEXE="$work/packaged/Sentavio.exe" -DMSI="$2" \
        -DPRODUCT="$product" -P "$work/src/deploy/MakePackage.cmake" ||
        fail "the package step failed:" "$work/package.log"
}

# BUILDINFO, the build environment, in the manner of Debian's .buildinfo:
# the host's Debian release and architecture, and the exact version of each
# package whose output lands in the exe or the package. Those are found
# from what the shipped build and the package step run and read: the
# compilers, resource compiler and C preprocessor the toolchain file names
# (cmake/mingw32-win32-threads.cmake), the programs the compiler runs, the
# runtimes and import libraries it links, the Windows headers, cmake, wixl
# and msibuild, and the libraries those two load. A record is compared as
# a whole: any other version is another toolchain.
buildinfo() {
    compiler=i686-w64-mingw32-g++-win32
    for tool in i686-w64-mingw32-gcc-win32 "$compiler" i686-w64-mingw32-windres i686-w64-mingw32-gcc cmake \
        wixl msibuild; do
        command -v "$tool" || fail "no $tool on this host: scripts/install-deps.sh installs it"
    done >"$work/tools"
    {
        cat "$work/tools"
        for tool in cc1 cc1plus as ld collect2; do "$compiler" -print-prog-name=$tool; done
        for tool in libstdc++.a libgcc.a libmsvcrt.a crt2.o; do "$compiler" -print-file-name=$tool; done
        echo '#include <windows.h>' | "$compiler" -E -H -x c - 2>&1 >/dev/null | sed -n '1s/^\. //p'
        ldd "$(command -v wixl)" "$(command -v msibuild)" | sed -n 's/^.* => \(\/[^ ]*\) .*$/\1/p'
    } >"$work/built-with" || fail "cannot list the files the build runs and reads"
    # dpkg knows a file by the path its package installed, which is not
    # always the one a symbolic link or the loader gives: it is asked about
    # both at once (it reads its whole database each time).
    while IFS= read -r built_with; do
        case $built_with in /*) ;; *) fail "cannot find the build's $built_with on this host" ;; esac
        printf '%s\n%s\n' "$built_with" "$(readlink -f "$built_with")"
    done <"$work/built-with" | sort -u | tr '\n' '\0' | xargs -0 dpkg -S >"$work/owners" 2>/dev/null || true
    while IFS= read -r built_with; do
        awk -v a="$built_with" -v b="$(readlink -f "$built_with")" '/^diversion by / { next }
            { i = index($0, ": /"); p = substr($0, i + 2) } i && (p == a || p == b) { print substr($0, 1, i - 1); exit }' \
            "$work/owners" | grep . || fail "cannot tell which Debian package $built_with comes from"
    done <"$work/built-with" >"$work/owned"
    tr ',' '\n' <"$work/owned" | tr -d ' ' | sort -u >"$work/packages"
    # shellcheck disable=SC2046 # one name a word
    dpkg-query -W -f '${binary:Package} ${Version}\n' $(cat "$work/packages") >"$work/versions" ||
        fail "cannot read the versions of $(tr '\n' ' ' <"$work/packages")"
    buildinfo_text "$(sed -n 's/^ID=//p' /etc/os-release | tr -d '"')" \
        "$(sed -n 's/^VERSION_ID=//p' /etc/os-release | tr -d '"')" "$(dpkg --print-architecture)" "$work/versions"
}
# buildinfo_text ORIGIN RELEASE ARCHITECTURE VERSIONS: the record, from a
# file of "package version" lines.
buildinfo_text() {
    printf 'Format: 1.0\nBuild-Origin: %s\nBuild-Release: %s\nBuild-Architecture: %s\n' "$1" "$2" "$3"
    echo "Installed-Build-Depends:"
    sort -u "$4" | sed 's/^\([^ ]*\) \(.*\)$/ \1 (= \2),/; $s/,$//'
}
# buildinfo_read FILE: the record in FILE, if buildinfo_text writes it
# just so: sets read_origin, read_release (a number), read_architecture and
# the file $work/read.versions. Only such a record is printed or compared:
# it is another machine's words.
buildinfo_read() {
    read_origin=$(buildinfo_field Build-Origin "$1")
    read_release=$(buildinfo_field Build-Release "$1")
    read_architecture=$(buildinfo_field Build-Architecture "$1")
    sed -n 's/^ \([a-z0-9][a-z0-9.+-]*\(:[a-z0-9-]*\)\{0,1\}\) (= \([0-9][A-Za-z0-9.+~:-]*\)),\{0,1\}$/\1 \3/p' "$1" \
        >"$work/read.versions"
    buildinfo_text "$read_origin" "$read_release" "$read_architecture" "$work/read.versions" >"$work/read.text"
    case $read_release in '' | *[!0-9]*) return 1 ;; esac
    cmp -s "$work/read.text" "$1"
}
buildinfo_field() { sed -n "s/^$1: \\([a-z0-9][a-z0-9.+-]*\\)\$/\\1/p" "$2"; }

# recorded FILE: the release's record of its build environment, compared
# with this host's. Where they differ, it says so and sets elsewhere: a
# rebuilt file that differs is then judged only where the release was made
# (see unlike). A record can only send the check elsewhere; only the
# rebuilt bytes pass it.
elsewhere=
recorded() {
    buildinfo_read "$1" || fail "DIFFERENT: $1 is not a record of a build environment as this command writes one"
    recorded_release=$read_release
    cp "$work/read.text" "$work/recorded.text"
    buildinfo >"$work/here.text"
    if cmp -s "$work/recorded.text" "$work/here.text"; then
        echo "  BUILDINFO: built on $read_origin $read_release ($read_architecture) with the versions of" \
            "$(wc -l <"$work/read.versions") packages this host has"
    else
        elsewhere=yes
        echo "  BUILDINFO: built on $read_origin $read_release ($read_architecture), with other versions than" \
            "this host's: where a rebuilt file differs, the check cannot judge here"
    fi
}

# unlike MESSAGE [LOG]: a rebuilt file is not the released one. With the
# toolchain the release records, it is DIFFERENT; with another, the check
# cannot judge here: it ends with status 3, the versions side by side and
# the command that checks on the Debian release recorded.
unlike() {
    [ -n "$elsewhere" ] || fail "DIFFERENT: $1" "${2:-}"
    {
        echo "release: cannot judge here: $1"
        if [ -n "${2:-}" ] && [ -s "$2" ]; then sed 's/^/  | /' "$2"; fi
        echo "This host builds with other versions than those that made the release (BUILDINFO):"
        printf '  %-40s %-32s %s\n' "" recorded here
        awk '/^ / { name = $1; value = $3; sub(/\),?$/, "", value) }
            /^[A-Za-z-]+: / { name = $1; sub(/:$/, "", name); value = $2 }
            /^ / || /^[A-Za-z-]+: / { if (FNR == NR) recorded[name] = value; else here[name] = value; names[name] }
            END { for (n in names) if (recorded[n] != here[n])
                printf "  %-40s %-32s %s\n", n, (n in recorded) ? recorded[n] : "-", (n in here) ? here[n] : "-" }' \
            "$work/recorded.text" "$work/here.text" | sort
        echo "Check it where it can be judged, in a root file system of Debian $recorded_release made from" \
            "Debian's packages; in $sentavio_root:"
        echo "  scripts/on-debian.sh $recorded_release scripts/release.sh" \
            "$(quoted --check ${pinned:+--signer "$pinned"} --ref "$ref" "$release" ${roots:+"$roots"})"
        echo "That root gets the versions Debian's archive serves then. Where it no longer serves a version" \
            "BUILDINFO names, the root gets another and the check there cannot judge either: the versions to" \
            "look for are those BUILDINFO names. Do not deploy until a check passes."
    } >&2
    exit 3
}
# quoted WORDS...: the words as a shell reads them back.
quoted() {
    quoted_words=
    for word; do
        case $word in
        '' | *[!A-Za-z0-9_./:=+-]*) word="'$(printf '%s' "$word" | sed "s/'/'\\\\''/g")'" ;;
        esac
        quoted_words="$quoted_words${quoted_words:+ }$word"
    done
    printf '%s\n' "$quoted_words"
}

# signatures FILE: fails unless FILE carries two signatures that verify,
# SHA-1 first and SHA-256 nested in it, both with the description, both
# made by one certificate, each time stamp verified against the same roots;
# prints the certificate and each signature's stamp and sets fingerprint
# and thumbprint. osslsigncode's last line, not its count of signatures,
# says whether they verified; it says a stamp failed only in a line of its
# own.
signatures() {
    sign_status=0
    osslsigncode verify ${roots:+-CAfile "$roots" -TSA-CAfile "$roots"} -in "$1" >"$work/verify.log" 2>&1 ||
        sign_status=$?
    if [ $sign_status != 0 ] || [ "$(tail -n 1 "$work/verify.log")" != Succeeded ]; then
        grep -i -e mismatch -e error -e fail "$work/verify.log" >"$work/why.log" || true
        grep -q 'MISMATCH' "$work/why.log" &&
            fail "DIFFERENT: $1 is not the file that was signed:" "$work/why.log"
        grep -q '^[[:space:]]*Error: ' "$work/why.log" &&
            fail "not trusted: the certificates that signed $1 do not lead to a root in ${roots:-$system_roots}:" \
                "$work/why.log"
        fail "the signatures of $1 do not verify:" "$work/why.log"
    fi
    sign_digests=$(sed -n 's/^Message digest algorithm: //p' "$work/verify.log" | tr '\n' ' ')
    [ "$sign_digests" = "SHA1 SHA256 " ] ||
        fail "DIFFERENT: $1 is signed with ${sign_digests:-no digest}, not SHA1 then SHA256"
    [ "$(grep -c "^[[:space:]]*Text description: $description\$" "$work/verify.log")" = 2 ] ||
        fail "DIFFERENT: a signature of $1 lacks the description \"$description\""
    grep -q '^Number of verified signatures: 2$' "$work/verify.log" ||
        fail "DIFFERENT: $1 does not carry two verified signatures:" "$work/verify.log"
    # Each signature's stamp: its digest, the stamp's kind (RFC 3161's has a
    # serial number, the Authenticode format's none), time and verification.
    awk '/^Signature Index: / { n++ }
        n && /^Message digest algorithm: / { digest[n] = $4 }
        n && /^[[:space:]]*Timestamp time: / { sub(/^[[:space:]]*Timestamp time: /, ""); time[n] = $0 }
        n && /^Timestamp serial number: / { serial[n] = 1 }
        n && /^Timestamp Server Signature verification: / { verified[n] = $5 }
        END { for (i = 1; i <= n; i++)
            print digest[i] "|" (time[i] == "" ? "" : serial[i] ? "RFC 3161" : "Authenticode") "|" time[i] "|" verified[i] }' \
        "$work/verify.log" >"$work/stamps" || fail "cannot read the time stamps of $1"
    while IFS='|' read -r sign_digest sign_kind sign_time sign_verified; do
        [ -z "$sign_kind" ] || [ "$sign_verified" = ok ] ||
            fail "not trusted: the time stamp of the $sign_digest signature of $1 does not verify against\
 the roots in ${roots:-$system_roots}:" "$work/verify.log"
    done <"$work/stamps"
    ! grep -q '^Failed timestamp' "$work/verify.log" ||
        fail "not trusted: a time stamp of $1 does not verify against the roots in ${roots:-$system_roots}:" \
            "$work/verify.log"
    echo "  $(basename "$1"): 2 signatures verified (SHA1, then SHA256 nested), \"$description\""

    # The signer of each signature as osslsigncode names it: signature 1's
    # subject, issuer and serial, then signature 2's.
    awk -v q="'" 'index($0, "Signer" q "s certificate:") == 1 { n++; s = 1; next }
        s && /^[[:space:]]*(Subject|Issuer|Serial) *: / {
            sub(/^[[:space:]]*/, ""); sub(/ *: /, "="); print n " " $0; if (/^Serial/) s = 0 }' \
        "$work/verify.log" >"$work/signers" || fail "cannot read the signers of $1"
    sed -n 's/^1 //p' "$work/signers" >"$work/signer.1"
    sed -n 's/^2 //p' "$work/signers" >"$work/signer.2"
    [ "$(wc -l <"$work/signer.1")" = 3 ] || fail "cannot read the signer of $1:" "$work/verify.log"
    cmp -s "$work/signer.1" "$work/signer.2" ||
        fail "DIFFERENT: the two signatures of $1 are made by different certificates:" "$work/signers"
    # Its fingerprints, of the one certificate in the signature with that
    # very subject, issuer and serial.
    rm -rf "$work/signature.pem" "$work/carried"
    osslsigncode extract-signature -pem -in "$1" -out "$work/signature.pem" >"$work/extract.log" 2>&1 ||
        fail "cannot take the signature out of $1:" "$work/extract.log"
    openssl pkcs7 -print_certs -in "$work/signature.pem" -out "$work/carried.pem" 2>"$work/extract.log" ||
        fail "cannot read the certificates in the signature of $1:" "$work/extract.log"
    mkdir "$work/carried"
    awk -v dir="$work/carried" '/^-----BEGIN CERTIFICATE-----$/ { n++ } n { print > (dir "/" n ".pem") }' \
        "$work/carried.pem" || fail "cannot read the certificates in the signature of $1"
    fingerprint=
    for sign_certificate in "$work/carried"/*.pem; do
        [ -f "$sign_certificate" ] || continue
        openssl x509 -in "$sign_certificate" -noout -subject -issuer -serial -nameopt compat \
            >"$work/names" 2>/dev/null || continue
        sed 's/^subject=/Subject=/; s/^issuer=/Issuer=/; s/^serial=/Serial=/' "$work/names" >"$work/candidate"
        cmp -s "$work/candidate" "$work/signer.1" || continue
        [ -z "$fingerprint" ] ||
            fail "DIFFERENT: the signature of $1 carries two certificates with its signer's name and serial"
        fingerprint=$(openssl x509 -in "$sign_certificate" -noout -fingerprint -sha256) &&
            thumbprint=$(openssl x509 -in "$sign_certificate" -noout -fingerprint -sha1) &&
            sign_until=$(openssl x509 -in "$sign_certificate" -noout -enddate) ||
            fail "cannot take the fingerprints of the signer of $1"
        fingerprint=${fingerprint#*=}
        thumbprint=${thumbprint#*=}
    done
    [ -n "$fingerprint" ] || fail "DIFFERENT: the signature of $1 does not carry the certificate of its signer"
    sed 's/^Subject=/    signer: /; s/^Issuer=/    issuer: /; s/^Serial=/    serial: /' "$work/signer.1"
    echo "    SHA-256 fingerprint: $fingerprint"
    echo "    SHA-1 thumbprint: $thumbprint"
    while IFS='|' read -r sign_digest sign_kind sign_time sign_verified; do
        if [ -z "$sign_kind" ]; then
            echo "    $sign_digest signature: no time stamp: it ends with the certificate, on ${sign_until#*=}"
        elif [ "$sign_digest $sign_kind" = "SHA1 RFC 3161" ]; then
            echo "    $sign_digest signature: RFC 3161 time stamp of $sign_time, which Windows 2000 and XP do not" \
                "read: there it ends with the certificate, on ${sign_until#*=}"
        else
            echo "    $sign_digest signature: $sign_kind time stamp of $sign_time"
        fi
    done <"$work/stamps"
}

# listing DIR: fails unless DIR holds exactly the release's files, hidden
# ones counted, each a plain file (no link, no folder).
listing() {
    names=$(ls -A "$1") || fail "cannot list $1"
    names=$(echo "$names" | tr '\n' ' ')
    [ "$names" = "$release_files " ] || fail "DIFFERENT: $1 holds $names, not $release_files"
    for name in $release_files; do
        [ -f "$1/$name" ] && [ ! -L "$1/$name" ] || fail "DIFFERENT: $1/$name is not a plain file"
    done
}

# signed DIR: fails at the first fault of the release in DIR that needs no
# build to see: exactly its five files, hidden ones counted; SHA256SUMS
# lists exactly BUILDINFO, the exe and the package, and they match; both
# files carry both signatures, of one certificate (the one pinned, by
# either fingerprint, where one is), and
# nothing else outside what they sign (see scripts/release-files.py).
signed() {
    echo "Checking $1"
    listing "$1"
    # Its names first: sha256sum reads whatever the file names.
    [ "$(cut -c 67- "$1/SHA256SUMS" | tr '\n' ' ')" = "BUILDINFO Sentavio.exe Sentavio.msi " ] ||
        fail "DIFFERENT: SHA256SUMS does not list exactly BUILDINFO, Sentavio.exe and Sentavio.msi"
    (cd "$1" && sha256sum --check --strict SHA256SUMS) >"$work/sums.log" 2>&1 ||
        fail "DIFFERENT: the files do not match SHA256SUMS:" "$work/sums.log"
    echo "  SHA256SUMS: BUILDINFO, Sentavio.exe and Sentavio.msi match"
    signatures "$1/Sentavio.exe"
    exe_fingerprint=$fingerprint
    signatures "$1/Sentavio.msi"
    [ "$fingerprint" = "$exe_fingerprint" ] ||
        fail "DIFFERENT: Sentavio.exe and Sentavio.msi are signed by different certificates"
    for signed_file in Sentavio.exe Sentavio.msi; do
        bytes_status=0
        release_files_py "${signed_file#*.}" "$1/$signed_file" >"$work/bytes.log" 2>&1 || bytes_status=$?
        [ $bytes_status != 1 ] ||
            fail "DIFFERENT: $signed_file holds more than what is signed and its two signatures:" "$work/bytes.log"
        [ $bytes_status = 0 ] || fail "cannot read $1/$signed_file:" "$work/bytes.log"
    done
    echo "  Sentavio.exe and Sentavio.msi: nothing in them but what is signed and the two signatures" \
        "(with their certificates and stamps)"
    if [ -n "$pinned" ]; then
        if [ ${#pinned} = 40 ]; then pin_name="SHA-1 thumbprint" pin_of=$thumbprint
        else pin_name="SHA-256 fingerprint" pin_of=$fingerprint; fi
        [ "$(echo "$pin_of" | tr -d :)" = "$pinned" ] ||
            fail "DIFFERENT: the signer's $pin_name is $pin_of, not the one given with --signer"
        echo "  The signer is the one given with --signer"
    fi
}

# contents MSI MADE COMMIT: fails unless the package MSI is MADE, what
# COMMIT's package step made of the signed exe, stream by stream on the
# raw bytes (every table, the cabinet that holds the exe, the summary),
# with no stream or storage more, but for what signing, or two builds of
# one commit, write anew each time: the signature stream, and in the
# summary the package code ("Revision number") and its creation and
# last-saved dates. Raw bytes, not a listing's text: an export shows two
# rows and one row holding a line break and a tab alike.
contents() {
    contents_status=0
    release_files_py same-msi "$1" "$2" >"$work/diff.log" 2>&1 || contents_status=$?
    [ $contents_status != 1 ] ||
        unlike "Sentavio.msi is not the package that commit $3 makes of the signed exe:" "$work/diff.log"
    [ $contents_status = 0 ] || fail "cannot compare $1 with the package made:" "$work/diff.log"
}

# built DIR EXE MSI COMMIT: fails unless the exe in DIR without its
# signature is EXE, built from COMMIT, and the package in DIR is MSI, the
# package COMMIT makes of that signed exe (see contents).
built() {
    exe_status=0
    release_files_py same-exe "$1/Sentavio.exe" "$2" >"$work/cmp.log" 2>&1 || exe_status=$?
    [ $exe_status != 1 ] ||
        unlike "Sentavio.exe without its signature is not the exe built from commit $4:" "$work/cmp.log"
    [ $exe_status = 0 ] || fail "cannot compare $1/Sentavio.exe with the exe built:" "$work/cmp.log"
    echo "  Sentavio.exe without its signature: byte for byte the exe built from commit $4 ($(wc -c <"$2") bytes)"
    contents "$1/Sentavio.msi" "$3" "$4"
    echo "  Sentavio.msi: stream for stream, its tables and the cabinet that holds the signed Sentavio.exe" \
        "included, byte for byte the package commit $4 makes of it (but the package code and dates)"
}

# copied DIR COPY: DIR's files, exactly the release's names, copied into
# the check's own folder COPY, whose copies alone are judged; prints the
# SHA-256 of each, to match with what is deployed.
copied() {
    listing "$1"
    mkdir "$2"
    echo "Judging a copy of $1, whose files have these SHA-256 sums:"
    for name in $release_files; do
        cp -P -- "$1/$name" "$2/$name" 2>"$work/copy.log" || fail "cannot copy $1/$name:" "$work/copy.log"
        [ -f "$2/$name" ] && [ ! -L "$2/$name" ] || fail "DIFFERENT: $1/$name is not a plain file"
        echo "  $(sha256sum <"$2/$name" | cut -c 1-64)  $name"
    done
}

# unchanged DIR COPY: fails unless DIR still holds the files judged.
unchanged() {
    for name in $release_files; do
        cmp -s -- "$1/$name" "$2/$name" ||
            fail "DIFFERENT: $1/$name changed during the check: it is not the file judged; check again"
    done
}

# proven COMMIT REF: fails, before anything of COMMIT runs, unless COMMIT
# is on REF (the maker's branch or tag, as this clone has it): a commit on
# no branch (a fetched pull request, a deleted branch) may hold anything.
# Prints the version it makes, its date, and whether it is REF's newest.
proven() {
    git -C "$sentavio_root" cat-file -e "$1^{commit}" 2>/dev/null ||
        fail "commit $1 of $release is not in this repository: fetch it first"
    tip=$(git -C "$sentavio_root" rev-parse --verify --quiet --end-of-options "$2^{commit}") ||
        fail "no $2 in this repository: name the maker's branch or release tag with --ref REF"
    git -C "$sentavio_root" merge-base --is-ancestor "$1" "$tip" ||
        fail "DIFFERENT: commit $1 is not on $2: it is built only from a branch or tag of the maker's (--ref REF)"
    version=$(git -C "$sentavio_root" show "$1:CMakeLists.txt" |
        sed -n 's/^project(Sentavio VERSION \([0-9.]*\) .*/\1/p')
    [ -n "$version" ] || fail "DIFFERENT: no version in CMakeLists.txt of commit $1"
    # A release folder named after a version must be that version's.
    case $(basename "$release") in
    *[!0-9.]* | '' | "$version") ;;
    *) fail "DIFFERENT: $release is named as version $(basename "$release"), but commit $1 is version $version" ;;
    esac
    newest="the newest commit on $2"
    [ "$1" = "$tip" ] ||
        newest="not the newest on $2: $(git -C "$sentavio_root" rev-list --count "$1..$tip") commit(s) since, up to $tip of $(git -C "$sentavio_root" show -s --format=%ci "$tip")"
    echo "  Version $version, commit $1 of $(git -C "$sentavio_root" show -s --format=%ci "$1"), $newest"
}

# The options, in any order, then the arguments; "--" ends the options.
check=
pinned=
ref=
timestamp=
chain=
arguments=0
first=
second=
argument() {
    arguments=$((arguments + 1))
    if [ $arguments = 1 ]; then first=$1; else second=$1; fi
}
while [ $# -gt 0 ]; do
    case $1 in
    --check) check=yes ;;
    --signer)
        [ $# -ge 2 ] || usage
        # As openssl prints it (colons) or Windows shows it (blanks).
        pinned=$(echo "$2" | tr -d ': ' | tr a-f A-F)
        case $pinned in *[!0-9A-F]*) pinned= ;; esac
        [ ${#pinned} = 64 ] || [ ${#pinned} = 40 ] ||
            fail "--signer takes a SHA-256 fingerprint (64 hex digits) or a SHA-1 thumbprint (40), not \"$2\""
        shift
        ;;
    --timestamp)
        [ $# -ge 2 ] || usage
        [ -n "$2" ] || fail "--timestamp names no URL: give the time-stamp server's, or leave the option out"
        timestamp=$2
        shift
        ;;
    --chain)
        [ $# -ge 2 ] || usage
        chain=$(absolute "$2")
        grep -q 'BEGIN CERTIFICATE' "$chain" 2>/dev/null || fail "no PEM certificates in $chain"
        shift
        ;;
    --ref)
        [ $# -ge 2 ] || usage
        case $2 in "" | -*) fail "--ref takes the name of a branch or tag, not \"$2\"" ;; esac
        ref=$2
        shift
        ;;
    --)
        shift
        for remaining; do argument "$remaining"; done
        break
        ;;
    -?*) usage ;;
    *) argument "$1" ;;
    esac
    shift
done

if [ -n "$check" ]; then
    [ -z "$timestamp$chain" ] || usage
    ref=${ref:-$default_ref}
    [ $arguments = 1 ] || [ $arguments = 2 ] || usage
    release=$(absolute "$first")
    roots=${second:+$(absolute "$second")}
    [ -z "$roots" ] || [ -f "$roots" ] || fail "no root certificates at $roots"
    [ -f "$release/COMMIT" ] || fail "no release in $release: it has no COMMIT"
    work=$(mktemp -d "${TMPDIR:-/tmp}/sentavio-check.XXXXXX") || fail "cannot make a temporary folder"
    work=$(absolute "$work")
    if [ -n "$roots" ]; then
        # Tools take the first root of a name and judge by it alone.
        openssl crl2pkcs7 -nocrl -certfile "$roots" 2>"$work/roots.log" |
            openssl pkcs7 -print_certs -noout >"$work/roots" 2>>"$work/roots.log" ||
            fail "cannot read the certificates in $roots:" "$work/roots.log"
        twin=$(sed -n 's/^subject=//p' "$work/roots" | sort | uniq -d | head -n 1)
        [ -z "$twin" ] || fail "$roots holds two roots named $twin: give only the maker's"
    fi
    copied "$release" "$work/release"
    # A full id names one commit wherever it is checked; a name or a short
    # id would be read against what the checker has.
    commit=$(cat "$work/release/COMMIT") || fail "cannot read $release/COMMIT"
    case $commit in *[!0-9a-f]*) commit= ;; esac
    [ ${#commit} = 40 ] && [ "$(wc -c <"$work/release/COMMIT")" = 41 ] ||
        fail "DIFFERENT: $release/COMMIT holds no full commit id (40 hex digits and a newline)"
    proven "$commit" "$ref"
    signed "$work/release"
    recorded "$work/release/BUILDINFO"
    build "$commit"
    package "$work/release/Sentavio.exe" "$work/Sentavio.msi"
    built "$work/release" "$unsigned" "$work/Sentavio.msi" "$commit"
    unchanged "$release" "$work/release"
    [ -z "$elsewhere" ] || echo "  Built here with other versions than BUILDINFO names, to the same bytes"
    [ -n "$pinned" ] || echo "  The signer was not pinned (no --signer): before deploying, compare its SHA-256" \
        "fingerprint $fingerprint, or its SHA-1 thumbprint $thumbprint, with the one the maker publishes"
    echo "$release: the signed release of commit $commit; every check passed"
    exit 0
fi

[ -z "$pinned$ref" ] || usage
[ $arguments != 0 ] ||
    fail "no certificate given: name the PKCS#12 file of the code-signing certificate and its key"
[ $arguments = 2 ] || usage
p12=$(absolute "$first")
[ -f "$p12" ] || fail "no certificate at $p12"
password_from=$second
[ "$password_from" = - ] || password_from=$(absolute "$password_from")
case $stamp_limit in '' | *[!0-9]*) fail "SENTAVIO_TIMESTAMP_LIMIT must be a number of seconds" ;; esac

# Only a commit can be built again by anyone.
changes=$(git -C "$sentavio_root" status --porcelain) || fail "$sentavio_root is not a git checkout"
[ -z "$changes" ] ||
    fail "the work tree has uncommitted changes; commit or stash them first:
$(echo "$changes" | head -n 10)"
commit=$(git -C "$sentavio_root" rev-parse --verify HEAD) || fail "$sentavio_root has no commit"
version=$(git -C "$sentavio_root" show "$commit:CMakeLists.txt" |
    sed -n 's/^project(Sentavio VERSION \([0-9.]*\) .*/\1/p')
[ -n "$version" ] || fail "no version in CMakeLists.txt of commit $commit"
[ ! -e "$dist/$version" ] || fail "the release folder $dist/$version exists already"

work=$(mktemp -d "${TMPDIR:-/tmp}/sentavio-release.XXXXXX") || fail "cannot make a temporary folder"
work=$(absolute "$work")
# The password: its first line, less one CR (a file written on Windows).
# openssl keeps a CR that osslsigncode strips, and past about 1,023
# characters they cut it differently: a password either would read
# otherwise than the other is refused, and both get the same file.
password=$work/password
password_line=
if [ "$password_from" = - ]; then
    if [ -t 0 ]; then
        printf 'Password of %s: ' "$p12" >&2
        stty -echo
        echo_off=yes
    fi
    IFS= read -r password_line || [ -n "$password_line" ] || fail "no password on standard input"
    if [ -n "$echo_off" ]; then
        stty echo
        echo_off=
        echo >&2
    fi
else
    [ -r "$password_from" ] || fail "cannot read the password from $password_from"
    IFS= read -r password_line <"$password_from" || [ -n "$password_line" ] ||
        fail "no password in $password_from"
fi
cr=$(printf '\r')
password_line=${password_line%"$cr"}
case $password_line in
*"$cr"*) fail "the password holds a carriage return, which openssl and osslsigncode read differently" ;;
esac
[ ${#password_line} -le 1000 ] ||
    fail "the password is longer than 1000 characters, where openssl and osslsigncode cut it differently"
(umask 077 && printf '%s\n' "$password_line" >"$password")
password_line=

# The certificate, checked before anything is built.
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
p12_read -nokeys -clcerts -out "$work/certificate.pem" || fail "cannot read $p12:" "$work/openssl.log"
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
# A release takes minutes to make and longer to reach the machines.
certificate -checkend 86400 >/dev/null ||
    fail "the certificate $subject expires within a day, on $not_after: renew it first"
uses=$(certificate -ext extendedKeyUsage 2>/dev/null | sed -n '2s/^ *//p')
case ", $uses," in
*", Code Signing,"*) ;;
*) fail "the certificate $subject is not for code signing: its extended key usage is ${uses:-absent}" ;;
esac
# A key usage, where there is one, must allow signatures.
key_usage=$(certificate -ext keyUsage 2>/dev/null | sed -n '2s/^ *//p')
case ", ${key_usage:-Digital Signature}," in
*", Digital Signature,"*) ;;
*) fail "the certificate $subject may not sign: its key usage is $key_usage, without Digital Signature" ;;
esac
# The release is checked against the roots this machine trusts and the
# chain that came with the key or with --chain (a company's own root, say);
# the certificate must lead to one of them.
roots=$work/roots.pem
p12_read -nokeys -cacerts -out "$roots" || fail "cannot read $p12:" "$work/openssl.log"
[ -z "$chain" ] || cat "$chain" >>"$roots"
[ ! -f "$system_roots" ] || cat "$system_roots" >>"$roots"
openssl verify -CAfile "$roots" "$work/certificate.pem" >"$work/chain.log" 2>&1 ||
    fail "the certificate $subject does not lead to a root: $p12 lacks its chain; name it with --chain FILE:" \
        "$work/chain.log"
# Windows 2000 and XP before SP3 check a certificate's signature only when
# it is RSA with SHA-1 or MD5: below the root (whose own signature no one
# checks), a certificate signed otherwise, as public authorities now sign,
# leaves the signatures unverifiable there. The chain is walked from the
# certificate up through those that came with it, each issuer proved by its
# signature.
mkdir "$work/pool"
cat "$work/certs.pem" ${chain:+"$chain"} |
    awk -v dir="$work/pool" '/^-----BEGIN CERTIFICATE-----$/ { n++ } n { print > (dir "/" n ".pem") }' ||
    fail "cannot read the certificates of $p12"
link=$work/certificate.pem
links=0
while [ $links -lt 10 ]; do
    link_subject=$(openssl x509 -in "$link" -noout -subject -nameopt RFC2253 | sed 's/^subject=//')
    link_issuer=$(openssl x509 -in "$link" -noout -issuer -nameopt RFC2253 | sed 's/^issuer=//')
    [ "$link_subject" != "$link_issuer" ] || break
    link_algorithm=$(openssl x509 -in "$link" -noout -text | sed -n 's/^ *Signature Algorithm: //p' | head -n 1)
    case $link_algorithm in
    sha1WithRSAEncryption | md5WithRSAEncryption) ;;
    *) echo "release: warning: the certificate $link_subject is signed with $link_algorithm, which Windows 2000" \
        "and XP before SP3 cannot check: the signatures will not verify there. A chain signed with SHA-1" \
        "(sha1WithRSAEncryption), as an organisation's own certificate authority can issue it, verifies there." >&2 ;;
    esac
    link_next=
    for candidate in "$work/pool"/*.pem; do
        if [ "$(openssl x509 -in "$candidate" -noout -subject -nameopt RFC2253 2>/dev/null)" = "subject=$link_issuer" ] &&
            openssl verify -partial_chain -no_check_time -CAfile "$candidate" "$link" >/dev/null 2>&1; then
            link_next=$candidate
            break
        fi
    done
    [ -n "$link_next" ] || break
    link=$link_next
    links=$((links + 1))
done
echo "Signing as $subject, valid until $not_after"
if [ -z "$timestamp" ]; then
    echo "No --timestamp URL: the signatures end with the certificate, on $not_after"
    certificate -checkend 2592000 >/dev/null ||
        echo "The certificate expires within 30 days: time-stamp the release (--timestamp URL) or renew it"
fi

# sign IN OUT: SHA-1 first, stamped in the Authenticode format (-t), the
# one Windows 2000 and XP read; then SHA-256 nested in it, stamped as RFC
# 3161 says (-ts), for later Windows.
sign() {
    sign_step "$2" SHA-1 Authenticode-format -t -h sha1 -in "$1" -out "$1.sha1"
    sign_step "$2" SHA-256 "RFC 3161" -ts -h sha256 -nest -in "$1.sha1" -out "$2"
}
# sign_step NAME DIGEST STAMP_KIND STAMP_OPTION OSSLSIGNCODE_ARGUMENTS...:
# one signature, its time stamp waited for at most stamp_limit seconds.
sign_step() {
    sign_what="the $2 signature of $(basename "$1")"
    sign_kind=$3
    sign_option=$4
    shift 4
    sign_status=0
    interruptible -o "$work/sign.log" timeout "$stamp_limit" osslsigncode sign -pkcs12 "$p12" \
        -readpass "$password" ${chain:+-ac "$chain"} -n "$description" ${timestamp:+"$sign_option" "$timestamp"} \
        "$@" || sign_status=$?
    [ $sign_status != 124 ] ||
        fail "making $sign_what did not end within $stamp_limit s: the time-stamp server $timestamp did not answer\
 its request for an $sign_kind time stamp"
    [ $sign_status = 0 ] && [ "$(tail -n 1 "$work/sign.log")" = Succeeded ] && return
    [ -z "$timestamp" ] || ! grep -q 'timestamping failed' "$work/sign.log" ||
        fail "the time-stamp server $timestamp refused the $sign_kind time stamp of $sign_what:" "$work/sign.log"
    fail "cannot make $sign_what:" "$work/sign.log"
}

buildinfo >"$work/BUILDINFO"
buildinfo_read "$work/BUILDINFO" ||
    fail "this host is not a numbered Debian release (/etc/os-release): a release records the one that can build it again"
echo "Building on $read_origin $read_release ($read_architecture) with the versions of" \
    "$(wc -l <"$work/read.versions") packages, recorded in BUILDINFO"
build "$commit"
mkdir "$work/signed"
sign "$unsigned" "$work/signed/Sentavio.exe"
package "$work/signed/Sentavio.exe" "$work/Sentavio.msi"
mkdir -p "$dist"
stage=$dist/.$version.partial.$$
mkdir "$stage"
cp "$work/signed/Sentavio.exe" "$stage/"
sign "$work/Sentavio.msi" "$stage/Sentavio.msi"
cp "$work/BUILDINFO" "$stage/"
(cd "$stage" && sha256sum BUILDINFO Sentavio.exe Sentavio.msi) >"$stage/SHA256SUMS"
echo "$commit" >"$stage/COMMIT"
signed "$stage"
built "$stage" "$unsigned" "$work/Sentavio.msi" "$commit"
# The rename is the moment the release exists. dash runs a trap only after
# mv ends: a signal during it is noted, and the stage then decides. Renamed,
# the release has succeeded; not renamed, the stage is removed.
signalled=
trap 'signalled="interrupted 130"' INT
trap 'signalled="terminated 143"' TERM
# -n never replaces a folder, not even an empty one: the stage stays then.
mv -T -n "$stage" "$dist/$version" 2>"$work/mv.log" || true
if [ -e "$stage" ]; then
    # shellcheck disable=SC2086 # the message and the status
    [ -z "$signalled" ] || interrupted $signalled
    [ ! -e "$dist/$version" ] || fail "the release folder $dist/$version exists already"
    fail "cannot name the release folder $dist/$version:" "$work/mv.log"
fi
stage=
echo "Released $dist/$version"
