#!/usr/bin/env python3
"""The nginx site file as shipped, in a private nginx on a loopback port, in front of two
ranking processes on one throw-away PostgreSQL cluster: pages and submissions through it,
per-client rate limits that a forged X-Forwarded-For does not escape, slow clients that hold
no worker, and a process killed without losing a submission. Loopback only; starts and stops
everything it needs. Standard library only.

usage: tst_deployment.py SOURCE_DIR DORLO_RANKING RANKING_CODES"""
import gzip
import http.client
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse

SOURCE, SERVER, CODES = sys.argv[1:4]
RATE_LIMIT = 2  # each process's own limit per client; nginx's is 11 at once


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Stack:
    """PostgreSQL, two ranking processes and nginx, started in that order."""

    def __init__(self):
        # Short: PostgreSQL's Unix socket path is limited to about 100 bytes.
        self.work = tempfile.mkdtemp(prefix="rkdep.", dir="/tmp")
        os.chmod(self.work, 0o755)  # nginx's workers read their prefix as nobody
        self.pg = os.path.join(self.work, "pg")
        self.pg_started = False
        self.servers = []
        self.nginx = None
        self.port = 0

    def start(self):
        script = os.path.join(SOURCE, "scripts", "pg-scratch-cluster")
        r = subprocess.run([script, "start", self.pg], capture_output=True, text=True,
                           timeout=90)
        self.pg_started = True
        check(r.returncode == 0, "PostgreSQL did not start:\n" + r.stderr)
        url = r.stdout.strip()
        # One after the other: the first creates the schema.
        for _ in range(2):
            self.servers.append(self.start_server(url))
        self.start_nginx()

    def start_server(self, url):
        p = subprocess.Popen(
            [SERVER, "--listen", "127.0.0.1:0", "--database", url, "--rate-limit",
             str(RATE_LIMIT), "--trusted-proxy", "127.0.0.1"],
            stdout=subprocess.PIPE, stderr=open(os.path.join(self.work, "server.log"), "ab"))
        line = b""
        if select.select([p.stdout], [], [], 20)[0]:
            line = p.stdout.readline()
        m = re.search(rb"listening on http://127\.0\.0\.1:(\d+)/", line)
        if not m:
            p.kill()
            with open(os.path.join(self.work, "server.log"), errors="replace") as log:
                raise Failure("dorlo-ranking did not start:\n" + log.read())
        p.port = int(m.group(1))
        return p

    def site(self, tls_cert=None):
        """The shipped site file, listening on this test's port, proxying to its processes;
        with a certificate, its commented TLS lines enabled instead of plain HTTP."""
        with open(os.path.join(SOURCE, "packaging", "nginx-site.conf")) as f:
            text = f.read()
        upstream = "".join(f"    server 127.0.0.1:{s.port};\n" for s in self.servers)
        text, n = re.subn(r"^    server 127\.0\.0\.1:\d+;\n", upstream, text, flags=re.M)
        check(n == 1, "the site file's upstream has not one uncommented server line")
        if tls_cert:
            head, redirect = text.split("# server {", 1)
            head = re.sub(r"^    listen (80|\[::\]:80);\n", "", head, flags=re.M)
            head = re.sub(r"^    # ((listen|ssl_\w+|add_header)\s.*)$", r"    \1", head, flags=re.M)
            redirect = re.sub(r"^# ?", "", "# server {" + redirect, flags=re.M)
            return re.sub(r"/etc/ssl/\S+\.(pem|key)", tls_cert, head + redirect)
        text, n = re.subn(r"^    listen 80;$", f"    listen 127.0.0.1:{self.port};", text,
                          flags=re.M)
        check(n == 1, "the site file does not listen on port 80")
        return re.sub(r"^    listen \[::\]:80;\n", "", text, flags=re.M)

    def nginx_conf(self, prefix, site):
        os.makedirs(os.path.join(prefix, "logs"), exist_ok=True)
        os.makedirs(os.path.join(prefix, "tmp"), exist_ok=True)
        with open(os.path.join(prefix, "site.conf"), "w") as f:
            f.write(site)
        conf = os.path.join(prefix, "nginx.conf")
        with open(conf, "w") as f:
            f.write(f"""worker_processes 1;
daemon off;
pid {prefix}/nginx.pid;
error_log {prefix}/logs/error.log;
events {{ worker_connections 1024; }}
http {{
  access_log {prefix}/logs/access.log;
  client_body_temp_path {prefix}/tmp;  proxy_temp_path {prefix}/tmp;
  fastcgi_temp_path {prefix}/tmp;  uwsgi_temp_path {prefix}/tmp;  scgi_temp_path {prefix}/tmp;
  include /etc/nginx/mime.types;
  include {prefix}/site.conf;
}}
""")
        return conf

    def nginx_test(self, prefix, conf):
        r = subprocess.run([self.nginx_exe, "-t", "-p", prefix, "-e",
                            os.path.join(prefix, "logs", "error.log"), "-c", conf],
                           capture_output=True, text=True, timeout=30)
        warnings = [l for l in r.stderr.splitlines()
                    if ("[warn]" in l or "[emerg]" in l) and '"user" directive' not in l]
        check(r.returncode == 0 and not warnings,
              "nginx -t refuses the site file (" + prefix + "):\n" + r.stderr)

    def start_nginx(self):
        self.nginx_exe = shutil.which("nginx") or "/usr/sbin/nginx"
        check(os.access(self.nginx_exe, os.X_OK),
              "nginx not found: install it (scripts/install-deps)")
        # As shipped, among the distribution's own settings, as the only site.
        if os.path.exists("/etc/nginx/nginx.conf"):
            debian = os.path.join(self.work, "debian")
            shutil.copytree("/etc/nginx", debian, symlinks=True)
            conf = os.path.join(debian, "nginx.conf")
            with open(conf) as f:
                text = f.read()
            for path in ("/etc/nginx", "/run", "/var/log/nginx"):
                text = text.replace(path, debian)
            with open(conf, "w") as f:
                f.write(text)
            enabled = os.path.join(debian, "sites-enabled")
            shutil.rmtree(enabled)
            os.makedirs(enabled)
            shutil.copy(os.path.join(SOURCE, "packaging", "nginx-site.conf"),
                        os.path.join(enabled, "dorlo-ranking"))
            self.nginx_test(debian, conf)
        # The commented TLS block, once enabled with a certificate, is accepted as well.
        check(shutil.which("openssl"), "openssl not found: install it (scripts/install-deps)")
        tls = os.path.join(self.work, "tls")
        os.makedirs(tls)
        cert = os.path.join(tls, "site.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days",
                        "2", "-subj", "/CN=localhost", "-keyout", cert, "-out", cert],
                       check=True, capture_output=True, timeout=60)
        self.nginx_test(tls, self.nginx_conf(tls, self.site(tls_cert=cert)))

        self.prefix = os.path.join(self.work, "nginx")
        self.port = free_port()
        conf = self.nginx_conf(self.prefix, self.site())
        self.nginx_test(self.prefix, conf)
        self.error_log = os.path.join(self.prefix, "logs", "error.log")
        self.nginx = subprocess.Popen(
            [self.nginx_exe, "-p", self.prefix, "-e", self.error_log, "-c", conf],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and self.nginx.poll() is None:
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.5).close()
                return
            except OSError:
                time.sleep(0.1)
        with open(self.error_log, errors="replace") as log:
            raise Failure("nginx did not start:\n" + log.read())

    def stop(self):
        for p in ([self.nginx] if self.nginx else []) + self.servers:
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        if self.pg_started:
            subprocess.run([os.path.join(SOURCE, "scripts", "pg-scratch-cluster"), "stop",
                            self.pg], capture_output=True, timeout=60)
        shutil.rmtree(self.work, ignore_errors=True)

    def limited(self, client):
        """How many requests from this address nginx refused so far."""
        with open(self.error_log, errors="replace") as log:
            return sum(1 for l in log if "limiting requests" in l and f"client: {client}," in l)


def request(stack, method, path, source="127.0.0.1", body=None, headers=None):
    c = http.client.HTTPConnection("127.0.0.1", stack.port, timeout=10,
                                   source_address=(source, 0))
    try:
        c.request(method, path, body=body, headers=headers or {})
        r = c.getresponse()
        data = r.read()
        if r.getheader("Content-Encoding") == "gzip":
            data = gzip.decompress(data)
        return r.status, r, data
    finally:
        c.close()


def submit(stack, pseudo, code, source, headers=None):
    h = {"Content-Type": "application/json"}
    h.update(headers or {})
    status, _, data = request(stack, "POST", "/api/scores", source,
                              json.dumps({"pseudo": pseudo, "code": code}), h)
    return status, data


def ranking(stack):
    status, r, data = request(stack, "GET", "/api/classement?rang=1&nombre=100")
    check(status == 200, f"GET /api/classement: {status}")
    return {row["pseudo"] for row in json.loads(data)}


def pages_and_submissions(stack, codes, stored):
    status, r, page = request(stack, "GET", "/")
    check(status == 200 and r.getheader("Content-Type", "").startswith("text/html"),
          f"GET / through nginx: {status}")
    status, data = submit(stack, "Aline Deploiement", codes[11], "127.0.1.1")
    check(status == 201, f"POST /api/scores through nginx: {status} {data!r}")
    stored.add("Aline Deploiement")
    origin = f"http://127.0.0.1:{stack.port}"
    status, r, data = request(
        stack, "POST", "/", "127.0.1.2",
        urllib.parse.urlencode({"pseudo": "Bruno Deploiement", "code": codes[20]}),
        {"Content-Type": "application/x-www-form-urlencoded", "Origin": origin})
    check(status == 303, f"the form through nginx: {status}")
    stored.add("Bruno Deploiement")
    status, r, page = request(stack, "GET", r.getheader("Location"), "127.0.1.2",
                              headers={"Accept-Encoding": "gzip"})
    check(status == 200 and "Bruno Deploiement" in page.decode(),
          f"the page after the form: {status}")
    check(r.getheader("Content-Encoding") == "gzip", "the page is not compressed")
    check(stored <= ranking(stack), "a submission through nginx is missing from the ranking")


def rate_limits(stack, codes, stored):
    a, b = "127.0.0.2", "127.0.0.3"
    # Each process counts the real client: A gets RATE_LIMIT from each, then only refusals.
    answers = []
    for i in range(4 * RATE_LIMIT):
        status, _ = submit(stack, f"Client A {i}", codes[4], a)
        answers.append(status)
        if status == 201:
            stored.add(f"Client A {i}")
    check(answers.count(201) == 2 * RATE_LIMIT and set(answers) == {201, 429},
          f"client A's submissions, {RATE_LIMIT} a process expected: {answers} (do the "
          "processes take the client from X-Forwarded-For of a --trusted-proxy?)")
    for forged in ("127.0.0.99", "127.0.0.99, 10.1.2.3"):
        status, _ = submit(stack, f"Client A {forged}", codes[4], a,
                           {"X-Forwarded-For": forged})
        check(status == 429, f"client A escaped its limit with X-Forwarded-For {forged}: {status}")
    # nginx's own limit, across both processes, counts A alone too.
    for i in range(6):
        status, data = submit(stack, f"Client A more {i}", codes[4], a,
                              {"X-Forwarded-For": "127.0.0.98"})
        check(status == 429, f"client A, once limited: {status}")
    check(stack.limited(a) > 0, "nginx never limited client A")
    check("erreur" in json.loads(data), f"nginx's refusal is not the API's JSON: {data!r}")
    status, data = submit(stack, "Client B", codes[4], b)
    check(status == 201, f"client B shares client A's limit: {status} {data!r}")
    stored.add("Client B")
    check(stack.limited(b) == 0, "nginx limited client B")


def upstream_connections(stack):
    """The connections open to the ranking processes' ports, by nginx's end of each."""
    ports = {f"{s.port:04X}" for s in stack.servers}
    with open("/proc/net/tcp") as f:
        rows = [line.split() for line in f.readlines()[1:]]
    return {r[1] for r in rows if r[2].split(":")[1] in ports and r[3] == "01"}


def slow_clients(stack):
    """200 clients, each on its own address, sending a byte a second: half of them headers,
    half of them a submission's body. Ordinary pages still answer at once."""
    slow = []
    try:
        for i in range(200):
            s = socket.socket()
            s.bind((f"127.0.3.{i + 1}", 0))
            s.settimeout(5)
            s.connect(("127.0.0.1", stack.port))
            if i % 2:
                s.sendall(b"POST /api/scores HTTP/1.1\r\nHost: x\r\nContent-Type: "
                          b"application/json\r\nContent-Length: 100\r\n\r\n{")
            else:
                s.sendall(b"GET / HTTP/1.1\r\nHost: x\r\nX-Slow: ")
            slow.append(s)
        for second in range(3):
            for s in slow:
                s.sendall(b" ")
            t0 = time.monotonic()
            status, _, _ = request(stack, "GET", "/", "127.0.0.4")
            elapsed = time.monotonic() - t0
            check(status == 200 and elapsed < 1.0,
                  f"GET / beside 200 slow clients: {status} after {elapsed:.2f} s")
            # Pages served meanwhile come and go; a slow request let through stays open.
            now = upstream_connections(stack)
            held = now if second == 0 else held & now
            time.sleep(max(0.0, 1.0 - elapsed))
        check(not held, f"{len(held)} slow requests reached a ranking process unfinished")
    finally:
        for s in slow:
            s.close()


def connections_per_client(stack):
    """One address holding 40 requests open, their bodies unsent: nginx refuses those past its
    32 at once. (PUT, which the submission limit does not count.)"""
    held = []
    try:
        for _ in range(40):
            s = socket.create_connection(("127.0.0.1", stack.port), timeout=5,
                                         source_address=("127.0.4.1", 0))
            s.sendall(b"PUT /api/scores HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n{")
            held.append(s)
        time.sleep(0.5)
        refused = 0
        for s in held:
            s.setblocking(False)
            try:
                refused += s.recv(64).startswith(b"HTTP/1.1 429")
            except BlockingIOError:
                pass
        check(refused == 8, f"{refused} of 40 connections from one address refused, not 8")
    finally:
        for s in held:
            s.close()


def process_killed(stack, codes, stored):
    stack.servers[0].send_signal(signal.SIGKILL)
    stack.servers[0].wait(10)
    for i in range(10):
        pseudo = f"Apres Panne {i}"
        status, data = submit(stack, pseudo, codes[7], f"127.0.2.{i + 1}")
        check(status == 201, f"submission {i + 1} after a process was killed: {status} {data!r}")
        stored.add(pseudo)
    missing = stored - ranking(stack)
    check(not missing, f"submissions answered 201 but lost: {sorted(missing)}")


def main():
    codes = subprocess.run([CODES], capture_output=True, text=True, check=True).stdout.split()
    stack = Stack()
    stored = set()
    try:
        stack.start()
        steps = (("pages and submissions", lambda: pages_and_submissions(stack, codes, stored)),
                 ("rate limits per client", lambda: rate_limits(stack, codes, stored)),
                 ("slow clients", lambda: slow_clients(stack)),
                 ("connections per client", lambda: connections_per_client(stack)),
                 ("a process killed", lambda: process_killed(stack, codes, stored)))
        for name, step in steps:
            step()
            print(f"ok: {name}")
    except Failure as e:
        print(f"FAIL: {e}", file=sys.stderr)
        return 1
    finally:
        stack.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
