#!/usr/bin/python3
"""timestamp-authority.py CERT KEY CHAIN SECONDS

A time-stamp authority for the release test, on a free port of the
loopback address, which it prints; it ends by itself after SECONDS. It
answers both kinds osslsigncode asks for, signing with CERT and KEY (PEM;
CERT's extended key usage is time stamping) and adding CHAIN's
certificates: RFC 3161 requests (Content-Type
application/timestamp-query) with `openssl ts -reply`, and the older
Authenticode requests (base64 of a DER TimeStampRequest around the
signature's encrypted digest) with a PKCS #7 signature of that digest,
in base64. A path of /no-authenticode or /no-rfc3161 refuses that kind
with HTTP 501, as a server that offers only the other would.
"""
import base64
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading

cert, key, chain, seconds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
work = tempfile.mkdtemp(prefix="sentavio-tsa.")
config = os.path.join(work, "ts.cnf")
with open(config, "w") as f:
    f.write(f"""[tsa]
default_tsa = test
[test]
serial = {work}/serial
crypto_device = builtin
signer_cert = {cert}
signer_key = {key}
certs = {chain}
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_chain = no
""")


def der(data, at=0):
    """The tag, the content and the offset after one DER element at `at`."""
    tag, length, at = data[at], data[at + 1], at + 2
    if length & 0x80:
        count = length & 0x7F
        length, at = int.from_bytes(data[at:at + count], "big"), at + count
    return tag, data[at:at + length], at + length


def encrypted_digest(request):
    """The OCTET STRING in the request's ContentInfo: its last element."""
    _, sequence, _ = der(request)
    at = 0
    while at < len(sequence):
        _, content_info, at = der(sequence, at)
    _, _, after_type = der(content_info)
    _, explicit, _ = der(content_info, after_type)
    tag, digest, _ = der(explicit)
    if tag != 0x04:
        raise ValueError("no OCTET STRING in the ContentInfo")
    return digest


def openssl(*arguments, given):
    return subprocess.run(["openssl", *arguments], input=given, capture_output=True, check=True).stdout


class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        rfc3161 = self.headers.get("Content-Type") == "application/timestamp-query"
        if self.path == ("/no-rfc3161" if rfc3161 else "/no-authenticode"):
            self.send_error(501, "this server does not make that kind of time stamp")
            return
        try:
            if rfc3161:
                answer = openssl("ts", "-reply", "-config", config, "-queryfile", "/dev/stdin",
                                 "-out", "/dev/stdout", given=body)
                kind = "application/timestamp-reply"
            else:
                answer = base64.b64encode(openssl(
                    "cms", "-sign", "-binary", "-nodetach", "-nosmimecap", "-md", "sha1", "-signer", cert,
                    "-inkey", key, "-certfile", chain, "-outform", "DER",
                    given=encrypted_digest(base64.b64decode(body))))
                kind = "application/octet-stream"
        except (ValueError, IndexError, subprocess.CalledProcessError) as e:
            self.send_error(400, str(e))
            return
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *_):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Authority)
print(server.server_address[1], flush=True)
threading.Timer(seconds, server.shutdown).start()
server.serve_forever()
shutil.rmtree(work)
