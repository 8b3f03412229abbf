#!/bin/sh
# release-test.sh make|reuse SOURCE_DIR WORK_DIR VERSION
#   The release command of SOURCE_DIR's work tree as it is (committed in a
#   clone in WORK_DIR), with a throwaway root and certificates and a
#   time-stamp authority of its own: each refusal, a stamped release checked
#   against that root and an unsigned build, and the command's check of it
#   and of each kind of forgery (one byte changed is left for the Wine
#   half). "reuse" passes at once where WORK_DIR holds a release of this
#   very work tree that passed.
# release-test.sh trust WORK_DIR VERSION TRUST_PROBE
#   Under Wine: WinVerifyTrust's answer for the released, changed and
#   unsigned exe. The released one's chain, signed with SHA-1 as Windows
#   2000 and XP need it, ends at the throwaway root, which Wine does not
#   trust: CERT_E_UNTRUSTEDROOT, its digest good (Wine let a chain signed
#   with SHA-256 pass as 0).
set -u
mode=$1
sentavio_root=$(cd "$(dirname "$0")/../.." && pwd)
. "$sentavio_root/scripts/common.sh"
. "$sentavio_root/tests/support/assert.sh"

if [ "$mode" = trust ]; then
    work=$2
    case=trust
    while read -r file expected; do
        [ -f "$work/$file" ] || { fail "no $work/$file: release_signing makes it"; continue; }
        expect "$file" "$("$sentavio_root/cmake/wine-run.sh" "$4" "$(dos_path "$work/$file")" | tr -d '\r')" \
            "$expected"
    done <<TABLE
repo/dist/$3/Sentavio.exe 0x800B0109
changed/Sentavio.exe 0x80096010
unsigned.exe 0x800B0100
TABLE
    finish
fi

src=$2 work=$3 version=$4
# snapshot: the tree of SOURCE_DIR's work tree as it is (changes, untracked
# files not ignored), written into the clone; the source is left alone.
snapshot() {
    rm -f "$work/snapshot.index"
    GIT_INDEX_FILE=$work/snapshot.index git -C "$work/repo" --work-tree="$src" add -A &&
        GIT_INDEX_FILE=$work/snapshot.index git -C "$work/repo" write-tree
}
if [ "$mode" = reuse ] && [ -d "$work/repo" ] && tree=$(snapshot) &&
    [ "$(cat "$work/passed" 2>/dev/null)" = "$tree" ]; then
    echo "The release of this work tree ($tree) in $work passed already"
    exit 0
fi
rm -rf "$work"
mkdir -p "$work/tmp"
cd "$work" || exit 1
case=setup
git clone -q --no-checkout "$src" repo || stop "cannot clone $src"
tree=$(snapshot) || stop "cannot take the work tree of $src"
commit=$(git -C repo -c user.name=release-test -c user.email=release-test@localhost \
    commit-tree -p HEAD -m "The work tree as it is" "$tree") || stop "cannot commit the work tree"
git -C repo checkout -q --detach "$commit" || stop "cannot check out the work tree's commit"
# That commit stands for the maker's main branch as a fresh clone has it
# (what the check takes by default), and for a release tag.
git -C repo update-ref refs/remotes/origin/main "$commit" &&
    git -C repo symbolic-ref refs/remotes/origin/HEAD refs/remotes/origin/main &&
    git -C repo tag release-test "$commit" || stop "cannot name the work tree's commit"
release="$work/repo/dist/$version"

# A root, and under it: signers for code now (signed with SHA-1, which
# Windows 2000 and XP check), another for code (SHA-256, which they do
# not), expired, not yet valid, for servers, with a key usage that forbids
# signatures, expiring within the hour; a time-stamp authority; the
# signer's without the chain to the root; one signing itself; a file whose
# key is the root's but whose certificate is the signer's; a root of
# another maker, and an attacker's of the root's very name; a time-stamp
# authority that signs itself.
printf 'throwaway\n' >password
printf 'throwaway\r\n' >password.crlf
printf 'wrong\n' >wrong-password
printf 'throw\raway\n' >cr-password
head -c 1001 /dev/zero | tr '\0' x >long-password
# self_signed NAME SUBJECT DAYS EXTENSION: NAME.key and NAME.pem.
self_signed() {
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -subj "$2" -days "$3" -addext "$4" 2>/dev/null
}
self_signed root "/CN=Test root" 3 basicConstraints=critical,CA:true
self_signed other-root "/CN=Test other-root" 3 basicConstraints=critical,CA:true
printf '[ca]\ndefault_ca=test\n[test]\ndatabase=index.txt\nnew_certs_dir=.\nserial=serial\n' >ca.cnf
printf 'default_md=sha256\npolicy=any\ncopy_extensions=copy\n[any]\ncommonName=supplied\n' >>ca.cnf
: >index.txt
echo 01 >serial
utc() { date -u -d "$1" +%Y%m%d%H%M%SZ; }
while read -r name from to md use key_use; do
    openssl req -newkey rsa:2048 -nodes -keyout "$name.key" -subj "/CN=Test $name" \
        -addext "extendedKeyUsage=$use" ${key_use:+-addext "keyUsage=$key_use"} 2>/dev/null |
        openssl ca -batch -config ca.cnf -md "$md" -cert root.pem -keyfile root.key -startdate "$(utc "$from")" \
            -enddate "$(utc "$to")" -in /dev/stdin -out "$name.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$name.key" -in "$name.pem" -certfile root.pem -passout file:password \
        -out "$name.p12"
done <<'TABLE'
signer -1day +2days sha1 codeSigning
other -1day +2days sha256 codeSigning
expired -2days -1day sha256 codeSigning
future +1day +2days sha256 codeSigning
server -1day +2days sha256 serverAuth
keyenc -1day +2days sha256 codeSigning keyEncipherment
soon -1day +1hour sha256 codeSigning
authority -1day +2days sha256 critical,timeStamping
TABLE
openssl pkcs12 -export -inkey signer.key -in signer.pem -passout file:password -out leaf.p12
self_signed self /CN=Test-Self 2 extendedKeyUsage=codeSigning
openssl pkcs12 -export -inkey self.key -in self.pem -passout file:password -out self.p12
self_signed twin-root "/CN=Test root" 3 basicConstraints=critical,CA:true
cat twin-root.pem root.pem >twins.pem
self_signed tsa "/CN=Test TSA" 3 extendedKeyUsage=critical,timeStamping
openssl pkcs12 -export -nocerts -inkey root.key -certfile signer.pem -passout file:password \
    -out mismatch.p12 2>/dev/null
[ -s signer.p12 ] && [ -s keyenc.p12 ] && [ -s leaf.p12 ] && [ -s self.p12 ] && [ -s mismatch.p12 ] &&
    [ -s twin-root.pem ] && [ -s tsa.pem ] ||
    stop "openssl made no certificates"
# The fingerprint the maker publishes, as openssl prints it (in lower case:
# it is taken in either), and the SHA-1 thumbprint, as Windows shows it
# (no colons); another signer's.
pin=$(openssl x509 -in signer.pem -noout -fingerprint -sha256 | sed 's/^.*=//' | tr A-F a-f)
# shellcheck disable=SC2034 # the rows name them
thumb=$(openssl x509 -in signer.pem -noout -fingerprint -sha1 | sed 's/^.*=//; s/:/ /g' | tr A-F a-f) \
    other_thumb=$(openssl x509 -in other.pem -noout -fingerprint -sha1 | sed 's/^.*=//')

# A time-stamp server that accepts and never answers, on a loopback port of
# this test's own, and the tests' own time-stamp authority on another (it
# ends by itself after the test's longest time); and stand-ins on PATH: an
# mv that sends its caller TERM (as if the signal came while it renames)
# and renames, a git that puts a forged package in the place of the one
# being checked (once the check has copied it), and a cmake that is no
# Debian package's.
/usr/bin/python3 -c 'import socket, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(8)
print(s.getsockname()[1], flush=True)
time.sleep(900)' >port &
listener=$!
/usr/bin/python3 "$sentavio_root/tests/release/timestamp-authority.py" authority.pem authority.key root.pem 1800 \
    >authority-port &
authority=$!
trap 'kill ${listener:+"$listener"} ${authority:+"$authority"} 2>/dev/null' EXIT
within 10 test -s port || stop "the silent time-stamp server did not start"
within 30 test -s authority-port || stop "the time-stamp authority did not start"
# shellcheck disable=SC2034 # the rows name them
port=$(cat port) tsa=http://127.0.0.1:$(cat authority-port)
mkdir signal swapping unpackaged
printf '#!/bin/sh\nkill -TERM "$PPID"\nsleep 1\nexec %s "$@"\n' "$(command -v mv)" >signal/mv
printf '#!/bin/sh\ncp %s %s\nexec %s "$@"\n' "$work/blob/Sentavio.msi" "$work/swapped/Sentavio.msi" \
    "$(command -v git)" >swapping/git
printf '#!/bin/sh\nexec %s "$@"\n' "$(command -v cmake)" >unpackaged/cmake
chmod +x signal/mv swapping/git unpackaged/cmake

# release_sh LOG SETUP ARGUMENTS: the release command after SETUP, in its
# own shell (so that it may set the command's environment), with ARGUMENTS
# (expanded here), a relative TMPDIR and a CRLF password on standard input;
# prints its output (kept in LOG), sets status.
release_sh() {
    status=0
    (
        eval "$2"
        eval "set -- $3"
        TMPDIR=tmp exec repo/scripts/release.sh "$@"
    ) <password.crlf >"$1" 2>&1 || status=$?
    cat "$1"
}
# says LOG MESSAGES: fails for each of MESSAGES ("|" between them, each a
# grep pattern) that is not in LOG.
says() {
    printf '%s\n' "$2" | tr '|' '\n' >patterns
    while IFS= read -r pattern; do
        grep -q -- "$pattern" "$1" || fail "no \"$pattern\""
    done <patterns
}
# release SETUP ARGUMENTS: a release, its clone put back as committed after.
release() {
    release_sh release.log "$@"
    git -C repo checkout -q . && git -C repo clean -q -f
}
# Each refusal: a non-zero status, the messages, and nothing written.
while IFS='|' read -r case setup arguments message; do
    release "$setup" "$arguments"
    [ $status != 0 ] || fail "status 0"
    says release.log "$message"
    expect "written" "$(ls -A tmp; ls -A repo/dist 2>/dev/null)" ""
done <<'TABLE'
no certificate|||no certificate given
wrong password||signer.p12 wrong-password|wrong password
expired||expired.p12 password|expired on
not yet valid||future.p12 password|not valid yet
expires within a day||soon.p12 password|expires within a day
not for code||server.p12 password|not for code signing
key usage without signatures||keyenc.p12 password|may not sign: its key usage is Key Encipherment
no chain to a root||leaf.p12 password|does not lead to a root
signing itself||self.p12 password|does not lead to a root
key of another||mismatch.p12 password|does not match its certificate
CR in the password||signer.p12 cr-password|holds a carriage return
password too long||signer.p12 long-password|longer than 1000 characters
empty time stamp||--timestamp '' signer.p12 password|names no URL
silent time-stamp server|export SENTAVIO_TIMESTAMP_LIMIT=2|--chain root.pem --timestamp http://127.0.0.1:$port leaf.p12 password|did not end within 2 s: the time-stamp server .* did not answer its request for an Authenticode-format
time-stamp server refusing Authenticode||signer.p12 --timestamp $tsa/no-authenticode password|the time-stamp server http://127.0.0.1:[0-9]*/no-authenticode refused the Authenticode-format time stamp of the SHA-1 signature of Sentavio.exe
time-stamp server refusing RFC 3161||--timestamp $tsa/no-rfc3161 other.p12 password|warning: the certificate CN=Test other is signed with sha256WithRSAEncryption|refused the RFC 3161 time stamp of the SHA-256 signature of Sentavio.exe
a build tool of no package|PATH=$work/unpackaged:$PATH|signer.p12 password|No --timestamp URL: the signatures end with the certificate|cannot tell which Debian package .*/unpackaged/cmake comes from
a pin when releasing||signer.p12 --signer $pin password|usage:
dirty tree|echo >>repo/README.md|signer.p12 password|uncommitted changes
untracked file|: >repo/notes.txt|signer.p12 password|uncommitted changes
TABLE
kill "$listener"
wait "$listener"
listener=

# sign_as P12 FILE [EDIT]: FILE's signatures replaced by two of P12, as
# the release signs but without stamps, after the command EDIT changed the
# unsigned file.
sign_as() {
    rm -f unsigned.tmp sha1.tmp
    osslsigncode remove-signature -in "$2" -out unsigned.tmp >/dev/null &&
        ${3:-:} unsigned.tmp &&
        osslsigncode sign -pkcs12 "$1" -readpass password -h sha1 -n "Ostrevik Sentavio utility" \
            -in unsigned.tmp -out sha1.tmp >/dev/null &&
        rm "$2" &&
        osslsigncode sign -pkcs12 "$1" -readpass password -h sha256 -nest -n "Ostrevik Sentavio utility" \
            -in sha1.tmp -out "$2" >/dev/null || fail "cannot sign $2 anew"
}

# The release, stamped by the tests' own authority, from a password with
# CRLF, a TERM arriving while the folder is renamed: that is the moment it
# exists, so it ends as a success. Its chain is signed with SHA-1 below the
# root: no warning.
case=release
release 'PATH=$work/signal:$PATH' 'signer.p12 --timestamp $tsa -'
expect "status" $status 0
grep -q "^Released $release\$" release.log || fail "no word that it was released"
! grep -q warning release.log || fail "a warning about a chain signed with SHA-1"
expect "fingerprints printed" "$(grep -c "SHA-256 fingerprint: $(echo "$pin" | tr a-f A-F)\$" release.log)" 2
expect "thumbprints printed" "$(grep -c "SHA-1 thumbprint: $(echo "$thumb" | tr 'a-f ' 'A-F:')\$" release.log)" 2
expect "folder" "$(ls -A repo/dist | tr '\n' ' ')" "$version "
expect "temporary files" "$(ls -A tmp)" ""
expect "COMMIT" "$(cat "$release/COMMIT")" "$commit"
! grep -q throwaway release.log || fail "the password was printed"
(cd "$release" && sha256sum --check --strict SHA256SUMS) >/dev/null || fail "SHA256SUMS does not match"
expect "summed" "$(cut -c 67- "$release/SHA256SUMS" | tr '\n' ' ')" "BUILDINFO Sentavio.exe Sentavio.msi "
# The record names this host's Debian release and, as dpkg has them, the
# packages that compile, link and package.
debian=$(sed -n 's/^VERSION_ID=//p' /etc/os-release | tr -d '"')
grep -qx "Build-Release: $debian" "$release/BUILDINFO" || fail "BUILDINFO does not name Debian $debian"
for package in g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-i686-dev cmake wixl msitools; do
    grep -qx " $(dpkg-query -W -f '${binary:Package} (= ${Version})' $package),\{0,1\}" "$release/BUILDINFO" ||
        fail "BUILDINFO lacks $package as dpkg has it"
done
# Each file's stamps, as osslsigncode shows them (an RFC 3161 stamp has a
# serial number, an Authenticode one none), and its answer at a time after
# the signer's certificate expired: the release still verifies; a copy
# signed again without stamps does not.
mkdir unstamped
cp "$release"/* unstamped/
sign_as signer.p12 unstamped/Sentavio.exe
sign_as signer.p12 unstamped/Sentavio.msi
expired=$(date -d '+60 hours' +%s)
while read -r file sha1_stamp sha256_stamp later; do
    osslsigncode verify -CAfile root.pem -TSA-CAfile root.pem -in "$file" >verify.log 2>&1 || fail "$file does not verify"
    expect "$file digests" "$(sed -n 's/^Message digest algorithm: //p' verify.log | tr '\n' ' ')" "SHA1 SHA256 "
    expect "$file verified" "$(tail -n 1 verify.log)" Succeeded
    expect "$file stamps" "$(awk '/^Signature Index: / { n++; kind[n] = "none" } /Timestamp time: / { kind[n] = "Authenticode" }
        /^Timestamp serial number: / { kind[n] = "RFC-3161" } END { for (i = 1; i <= n; i++) printf "%s ", kind[i] }' \
        verify.log)" "$sha1_stamp $sha256_stamp "
    osslsigncode verify -CAfile root.pem -TSA-CAfile root.pem -time "$expired" -in "$file" >verify.log 2>&1
    expect "$file after its signer expired" "$(tail -n 1 verify.log)" "$later"
done <<TABLE
$release/Sentavio.exe Authenticode RFC-3161 Succeeded
$release/Sentavio.msi Authenticode RFC-3161 Succeeded
unstamped/Sentavio.exe none none Failed
unstamped/Sentavio.msi none none Failed
TABLE
(cd repo && cmake --preset shipped && cmake --build --preset shipped -j2) >build.log 2>&1 ||
    fail "no unsigned build: $(tail build.log)"
osslsigncode remove-signature -in "$release/Sentavio.exe" -out unsigned.exe >/dev/null
cmp unsigned.exe repo/build-shipped/app/Sentavio.exe || fail "the exe without its signature is not the unsigned build"
msiextract -C extracted "$release/Sentavio.msi" >/dev/null
cmp "extracted/Program Files/Sentavio/Sentavio.exe" "$release/Sentavio.exe" || fail "the package holds another exe"

case=again
release : 'signer.p12 password'
grep -q 'exists already' release.log && [ $status != 0 ] || fail "an existing release was not refused"

# A copy of the release, its files dated anew, as a download makes them;
# forgeries, each such a copy with its sums made anew: one changed byte (in
# the DOS stub, which the signatures cover); the package's summary changed
# (64-bit template, another author and package code) and signed again with
# the genuine key; a hidden file beside the five; COMMIT naming the commit
# by a short id; both files, or the package alone, signed by another
# certificate under the same root. Without the key: COMMIT naming a commit
# on no branch, whose build would leave a file; the package of another
# signer with a stream named by a table key that climbs out of the folder
# (as an export would write it); an archive appended to the package; an
# unauthenticated blob, an attacker's root of the root's name, a stamp of
# an authority of no root given, each added to a signature; the package
# swapped during the check; a release renamed to another version. With
# the key: LaunchCondition's two rows merged into one that exports alike.
# An exe of other bytes, as another toolchain makes them, signed with the
# genuine key, beside a record of the other Debian's versions, or beside
# the record of the checker's own; the genuine files beside that other
# record; a record with a line no release writes; no record.
summary() { msibuild "$1" -s "Installation Database" Mallory "x64;1033" "{0BADF00D-0000-4000-8000-000000000000}"; }
printf 'echo owned\n' >payload
climb() { msibuild "$1" -q "INSERT INTO Icon (Name) VALUES ('/../../../../escaped')" -a "Icon./../../../../escaped" payload; }
merge() {
    tab=$(printf '\t')
    crlf=$(printf '\r\n.')
    msiinfo export "$1" LaunchCondition | tr -d '\r' | sed 1,3d >rows || return 1
    first=$(sed -n 1p rows) second=$(sed -n 2p rows)
    msibuild "$1" -q "DELETE FROM LaunchCondition WHERE Condition='${first%%"$tab"*}'" \
        -q "DELETE FROM LaunchCondition WHERE Condition='${second%%"$tab"*}'" \
        -q "INSERT INTO LaunchCondition (Condition, Description)
            VALUES ('$first${crlf%.}${second%%"$tab"*}', '${second#*"$tab"}')"
}
stub() { printf X | dd of="$1" bs=1 seek=100 conv=notrunc 2>/dev/null; }
for forgery in copied changed summary hidden short other mixed dangling traversal appended blob extra stamped \
    swapped merged 9.9.9.9 foreign own relabelled odd unrecorded; do
    mkdir $forgery
    cp "$release"/* $forgery/
done
stub changed/Sentavio.exe
sign_as signer.p12 summary/Sentavio.msi summary
: >hidden/.evil.dll
git -C repo rev-parse --short HEAD >short/COMMIT
sign_as other.p12 other/Sentavio.exe
sign_as other.p12 other/Sentavio.msi
sign_as other.p12 mixed/Sentavio.msi
{ git -C repo show HEAD:CMakeLists.txt && echo "file(WRITE \"$work/ran\" ran)"; } >dangling.cmake
blob=$(git -C repo hash-object -w "$work/dangling.cmake") &&
    GIT_INDEX_FILE=$work/dangling.index git -C repo read-tree HEAD &&
    GIT_INDEX_FILE=$work/dangling.index git -C repo update-index --cacheinfo "100644,$blob,CMakeLists.txt" &&
    tree=$(GIT_INDEX_FILE=$work/dangling.index git -C repo write-tree) &&
    git -C repo -c user.name=release-test -c user.email=release-test@localhost \
        commit-tree -p HEAD -m "On no branch" "$tree" >dangling/COMMIT ||
    stop "cannot make a commit on no branch"
sign_as other.p12 traversal/Sentavio.exe
sign_as other.p12 traversal/Sentavio.msi climb
/usr/bin/python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], "w").writestr("readme.txt", "x")' \
    archive.zip && cat archive.zip >>appended/Sentavio.msi || stop "cannot append an archive"
rm blob/Sentavio.msi stamped/Sentavio.exe extra/Sentavio.exe
osslsigncode add -addUnauthenticatedBlob -in "$release/Sentavio.msi" -out blob/Sentavio.msi >/dev/null &&
    osslsigncode add -TSA-certs tsa.pem -TSA-key tsa.key -in "$release/Sentavio.exe" \
        -out stamped/Sentavio.exe >/dev/null || stop "osslsigncode cannot add to a signature"
rm -f signature.der unsigned.tmp
osslsigncode extract-signature -in "$release/Sentavio.exe" -out signature.der >/dev/null &&
    /usr/bin/python3 -c 'import sys
from asn1crypto import cms, pem, x509
signature = cms.ContentInfo.load(open(sys.argv[1], "rb").read())
root = x509.Certificate.load(pem.unarmor(open(sys.argv[2], "rb").read())[2])
signed = signature["content"]
signed["certificates"] = cms.CertificateSet(list(signed["certificates"]) + [cms.CertificateChoices("certificate", root)])
open(sys.argv[1], "wb").write(signature.dump())' signature.der twin-root.pem &&
    osslsigncode remove-signature -in "$release/Sentavio.exe" -out unsigned.tmp >/dev/null &&
    osslsigncode attach-signature -CAfile root.pem -sigin signature.der -in unsigned.tmp \
        -out extra/Sentavio.exe >/dev/null || stop "cannot add a certificate to a signature"
sign_as signer.p12 merged/Sentavio.msi merge
sign_as signer.p12 foreign/Sentavio.exe stub
cp foreign/Sentavio.exe own/
if [ "$debian" = 12 ]; then elsewhere=13; else elsewhere=12; fi
sed "s/^Build-Release: .*/Build-Release: $elsewhere/; s/^ \(g++-mingw-w64-i686-win32\) (= [^)]*)/ \1 (= 13.3.0-1+26.1)/" \
    "$release/BUILDINFO" >foreign/BUILDINFO
cp foreign/BUILDINFO relabelled/
printf 'Comment: \033]0;checked\007\n' >>odd/BUILDINFO
rm unrecorded/BUILDINFO
for forgery in changed summary hidden short other mixed traversal appended blob extra stamped merged unstamped \
    foreign own relabelled odd; do
    (cd $forgery && sha256sum BUILDINFO Sentavio.exe Sentavio.msi >SHA256SUMS)
done
# The check of the copy, pinned to its signer, and of each forgery, with
# ARGUMENTS and MESSAGES expanded here.
# shellcheck disable=SC2034 # assert.sh reads case
while IFS='|' read -r case setup arguments expected message; do
    release_sh check.log "$setup" "--check $arguments"
    expect "status" $status "$expected"
    says check.log "$(eval "printf '%s' \"$message\"")"
    expect "temporary files" "$(ls -A tmp)" ""
    expect "written by a forgery" "$(ls -A escaped ran 2>/dev/null)" ""
done <<'TABLE'
a copy, pinned||--signer $pin copied root.pem|0|the newest commit on origin/HEAD|byte for byte the exe built from commit|SHA1 signature: Authenticode time stamp of|SHA256 signature: RFC 3161 time stamp of|BUILDINFO: built on debian $debian
a copy, unpinned, on a tag||--ref release-test copied root.pem|0|The signer was not pinned (no --signer)|SHA-1 thumbprint
one byte changed||changed root.pem|1|DIFFERENT: .*Sentavio.exe is not the file that was signed
summary changed and signed again||summary root.pem|1|Template: x64;1033
a commit on no branch||dangling root.pem|1|DIFFERENT: commit .* is not on origin/HEAD
a path in a table key||traversal root.pem|1|named 'Icon./../../../../escaped', not a plain file name
an archive appended||appended root.pem|1|Sentavio.msi holds [0-9]* bytes past its last sector
an unauthenticated blob||blob root.pem|1|Sentavio.msi carries an unauthenticated attribute
a root of the root's name added||extra root.pem|1|outside its signer's chain and its stamp's: CN=Test root
a stamp of no root given||stamped root.pem|1|not trusted: .*time stamp of .*Sentavio.exe does not verify
the package swapped during the check|PATH=$work/swapping:$PATH|swapped root.pem|1|Sentavio.msi changed during the check
rows merged and signed again||merged root.pem|1|its table LaunchCondition differs
two roots of one name||$release twins.pem|1|holds two roots named
a release renamed to another version||9.9.9.9 root.pem|1|named as version 9.9.9.9
a hidden file||hidden root.pem|1|DIFFERENT: .* holds .evil.dll BUILDINFO COMMIT
COMMIT not a full id||short root.pem|1|holds no full commit id
another signer under the same root||--signer $pin other root.pem|1|not the one given with --signer
package of another signer||mixed root.pem|1|signed by different certificates
a root of another maker||$release other-root.pem|1|not trusted: the certificates that signed
unstamped, pinned to another's thumbprint||unstamped root.pem --signer $other_thumb|1|SHA1 signature: no time stamp: it ends with the certificate, on .* GMT|SHA-1 thumbprint is .*, not the one given with --signer
a pin of neither length||--signer 0123 copied|1|takes a SHA-256 fingerprint (64 hex digits) or a SHA-1 thumbprint (40)
another toolchain, its record||foreign root.pem --signer "$thumb"|3|The signer is the one given with --signer|cannot judge here: Sentavio.exe without its signature is not the exe built|Build-Release  *$elsewhere  *$debian|g++-mingw-w64-i686-win32  *13.3.0-1+26.1  *[0-9]|scripts/on-debian.sh $elsewhere scripts/release.sh --check --signer [0-9A-F]\{40\} --ref origin/HEAD $work/foreign $work/root.pem\$
another toolchain, the checker's record||own root.pem|1|DIFFERENT: Sentavio.exe without its signature is not the exe built
the genuine bytes, another toolchain's record||relabelled root.pem|0|Built here with other versions than BUILDINFO names, to the same bytes|every check passed
a record no release writes||odd root.pem|1|DIFFERENT: .*BUILDINFO is not a record of a build environment
no record||unrecorded root.pem|1|holds COMMIT SHA256SUMS Sentavio.exe Sentavio.msi , not BUILDINFO
TABLE
# shellcheck disable=SC2154 # assert.sh counts them
[ "$failures" != 0 ] || echo "$tree" >passed
finish
