#!/bin/sh
# release-test.sh make|reuse SOURCE_DIR WORK_DIR VERSION
#   The release command in a clone of SOURCE_DIR's commit in WORK_DIR, with
#   a throwaway root and certificates: each refusal, a release checked
#   against that root and an unsigned build, and the command's check of it
#   and of a forgery (one byte changed), which it leaves for the Wine half.
#   "reuse" passes at once where WORK_DIR holds such a release of this
#   commit that passed.
# release-test.sh trust WORK_DIR VERSION TRUST_PROBE
#   Under Wine: WinVerifyTrust's answer for the released, changed and
#   unsigned exe.
set -u
mode=$1
sentavio_root=$(cd "$(dirname "$0")/../.." && pwd)
. "$sentavio_root/scripts/common.sh"

failures=0
fail() { failures=$((failures + 1)); echo "FAIL [$case] $*"; }
expect() { [ "$2" = "$3" ] || fail "$1: got \"$2\", expected \"$3\""; }  # WHAT ACTUAL EXPECTED
finish() { echo "$failures failures"; exit $((failures > 0)); }

if [ "$mode" = trust ]; then
    work=$2
    case=trust
    while read -r file expected; do
        [ -f "$work/$file" ] || { fail "no $work/$file: release_signing makes it"; continue; }
        expect "$file" "$("$sentavio_root/cmake/wine-run.sh" "$4" "$(dos_path "$work/$file")" | tr -d '\r')" \
            "$expected"
    done <<TABLE
repo/dist/$3/Sentavio.exe 0x00000000
changed/Sentavio.exe 0x80096010
unsigned.exe 0x800B0100
TABLE
    finish
fi

src=$2
work=$3
version=$4
commit=$(git -C "$src" rev-parse HEAD)
if [ "$mode" = reuse ] && [ "$(cat "$work/passed" 2>/dev/null)" = "$commit" ]; then
    echo "The release of $commit in $work passed already"
    exit 0
fi
rm -rf "$work"
mkdir -p "$work/tmp"
cd "$work" || exit 1
case=setup
git clone -q --no-checkout "$src" repo && git -C repo checkout -q --detach "$commit" ||
    { fail "cannot clone $src"; finish; }
release="$work/repo/dist/$version"

# A root, and signers under it: for code now, expired, not yet valid, for
# servers; and a file whose key is the root's but whose certificate is the
# signer's.
printf 'throwaway\n' >password
printf 'wrong\n' >wrong-password
openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -subj /CN=Test-Root \
    -days 3 -addext basicConstraints=critical,CA:true 2>/dev/null
printf '[ca]\ndefault_ca=test\n[test]\ndatabase=index.txt\nnew_certs_dir=.\nserial=serial\n' >ca.cnf
printf 'default_md=sha256\npolicy=any\ncopy_extensions=copy\n[any]\ncommonName=supplied\n' >>ca.cnf
: >index.txt
echo 01 >serial
utc() { date -u -d "$1" +%Y%m%d%H%M%SZ; }
while read -r name from to use; do
    openssl req -newkey rsa:2048 -nodes -keyout "$name.key" -subj "/CN=Test $name" \
        -addext "extendedKeyUsage=$use" 2>/dev/null |
        openssl ca -batch -config ca.cnf -cert root.pem -keyfile root.key -startdate "$(utc "$from")" \
            -enddate "$(utc "$to")" -in /dev/stdin -out "$name.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$name.key" -in "$name.pem" -certfile root.pem -passout file:password \
        -out "$name.p12"
done <<'TABLE'
signer -1day +2days codeSigning
expired -2days -1day codeSigning
future +1day +2days codeSigning
server -1day +2days serverAuth
TABLE
openssl pkcs12 -export -nocerts -inkey root.key -certfile signer.pem -passout file:password \
    -out mismatch.p12 2>/dev/null
[ -s signer.p12 ] && [ -s mismatch.p12 ] || { fail "openssl made no certificates"; finish; }

# release SETUP ARGUMENTS...: the release command after SETUP (a command),
# its temporary files in tmp/; prints its status and output.
release() {
    eval "$1"
    shift
    status=0
    TMPDIR=$work/tmp repo/scripts/release.sh "$@" <password >release.log 2>&1 || status=$?
    git -C repo checkout -q . && git -C repo clean -q -f
    cat release.log
}
# Each refusal: a non-zero status, the message, and nothing written.
while IFS='|' read -r case setup certificate password message; do
    release "$setup" ${certificate:+"$certificate"} ${password:+"$password"}
    [ $status != 0 ] || fail "status 0"
    grep -q "$message" release.log || fail "no \"$message\""
    expect "written" "$(ls -A tmp; ls -A repo/dist 2>/dev/null)" ""
done <<'TABLE'
no certificate||||no certificate given
wrong password||signer.p12|wrong-password|wrong password
expired||expired.p12|password|expired on
not yet valid||future.p12|password|not valid yet
not for code||server.p12|password|not for code signing
key of another||mismatch.p12|password|does not match its certificate
dirty tree|echo >>repo/README.md|signer.p12|password|uncommitted changes
untracked file|: >repo/notes.txt|signer.p12|password|uncommitted changes
TABLE

case=release
release : "$work/signer.p12" -
expect "status" $status 0
grep -q '^No --timestamp URL: the signatures end with the certificate' release.log ||
    fail "no word that the signatures end with the certificate"
expect "folder" "$(ls -A repo/dist | tr '\n' ' ')" "$version "
expect "temporary files" "$(ls -A tmp)" ""
! grep -q throwaway release.log || fail "the password was printed"
(cd "$release" && sha256sum --check --strict SHA256SUMS) >/dev/null || fail "SHA256SUMS does not match"
for file in Sentavio.exe Sentavio.msi; do
    osslsigncode verify -CAfile root.pem -in "$release/$file" >verify.log 2>&1 || fail "$file does not verify"
    expect "$file digests" "$(sed -n 's/^Message digest algorithm: //p' verify.log | tr '\n' ' ')" "SHA1 SHA256 "
    grep -q '^Number of verified signatures: 2$' verify.log || fail "$file: not two signatures verified"
done
(cd repo && cmake --preset shipped && cmake --build --preset shipped -j2) >build.log 2>&1 ||
    fail "no unsigned build: $(tail build.log)"
osslsigncode remove-signature -in "$release/Sentavio.exe" -out unsigned.exe >/dev/null
cmp unsigned.exe repo/build-shipped/app/Sentavio.exe || fail "the exe without its signature is not the unsigned build"
msiextract -C extracted "$release/Sentavio.msi" >/dev/null
cmp "extracted/Program Files/Sentavio/Sentavio.exe" "$release/Sentavio.exe" || fail "the package holds another exe"

case=again
release : "$work/signer.p12" password
grep -q 'exists already' release.log && [ $status != 0 ] || fail "an existing release was not refused"

# The check of a release, and of a forgery: one changed byte (in the
# DOS stub, which the signatures cover) with its sums made anew.
mkdir changed
cp "$release"/* changed/
printf X | dd of=changed/Sentavio.exe bs=1 seek=100 conv=notrunc 2>/dev/null
(cd changed && sha256sum Sentavio.exe Sentavio.msi >SHA256SUMS)
while read -r case folder expected message; do
    status=0
    repo/scripts/release.sh --check "$folder" root.pem >check.log 2>&1 || status=$?
    cat check.log
    expect "status" $status "$expected"
    grep -q "$message" check.log || fail "no \"$message\" in the check"
done <<TABLE
check $release 0 byte for byte the exe built from commit
forgery $work/changed 1 DIFFERENT: the signatures of .*Sentavio.exe do not verify
TABLE
[ $failures != 0 ] || echo "$commit" >passed
finish
