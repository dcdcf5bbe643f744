#!/usr/bin/env python3
"""Load and attacks against a running tessaro-feedbackd on 127.0.0.1.

  feedbackd_load.py flood PORT [CLIENTS] [SECONDS] [close]
                                                     stored messages a second, each
                                                     client on one kept-alive connection
                                                     (close: a connection per message)
  feedbackd_load.py hostile PORT PID                 the attacks, with figures
  feedbackd_load.py addresses PORT [COUNT]           requests a second from COUNT addresses

Every connection goes to 127.0.0.1 from an address in 127.0.0.0/8; addresses
named in X-Forwarded-For are text from 192.0.2.0/24. Each attack is bounded
in count and time.
"""
import multiprocessing
import os
import socket
import sys
import threading
import time
import zlib

HOST = "127.0.0.1"


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


class Peak:
    """Samples the resident memory of `pid` every 20 ms until stopped."""

    def __init__(self, pid):
        self.pid, self.peak, self.run = pid, 0.0, True
        self.thread = threading.Thread(target=self._sample, daemon=True)
        self.thread.start()

    def _sample(self):
        while self.run:
            try:
                self.peak = max(self.peak, rss_mb(self.pid))
            except OSError:
                return
            time.sleep(0.02)

    def stop(self):
        self.run = False
        self.thread.join()
        return self.peak


def connect(port, source="127.0.0.1", timeout=5.0):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind((source, 0))
    s.settimeout(timeout)
    s.connect((HOST, port))
    return s


def read_answers(s, count, deadline, head_only=False):
    """The status codes of up to `count` answers read from `s` (answers to
    HEAD: `head_only`)."""
    data, statuses = b"", []
    while len(statuses) < count and time.time() < deadline:
        try:
            chunk = s.recv(65536)
        except (socket.timeout, OSError):
            break
        if not chunk:
            break
        data += chunk
        while True:
            head_end = data.find(b"\r\n\r\n")
            if head_end < 0:
                break
            head = data[:head_end].decode("latin-1").split("\r\n")
            length = 0
            for h in head[1:] if not head_only else []:
                if h.lower().startswith("content-length:"):
                    length = int(h.split(":")[1])
            if len(data) < head_end + 4 + length:
                break
            statuses.append(int(head[0].split()[1]))
            data = data[head_end + 4 + length:]
    return statuses


def send_all(s, data):
    try:
        s.sendall(data)
        return True
    except OSError:
        return False


def request(port, raw, source="127.0.0.1", timeout=5.0):
    """(status or 0, seconds) of one raw request on a new connection."""
    t0 = time.time()
    try:
        s = connect(port, source, timeout)
    except OSError:
        return 0, time.time() - t0
    send_all(s, raw)
    st = read_answers(s, 1, t0 + timeout, raw.startswith(b"HEAD "))
    s.close()
    return (st[0] if st else 0), time.time() - t0


def get(query, extra=""):
    return (f"GET /suggest/post.php?{query} HTTP/1.1\r\nHost: x\r\n{extra}"
            "Connection: close\r\n\r\n").encode()


def _flood_worker(args):
    """Distinct messages one after the other on a kept-alive connection."""
    port, index, seconds, reconnect = args
    end, stored, other, n, s = time.time() + seconds, 0, 0, 0, None
    while time.time() < end:
        if s is None:
            s = connect(port)
        n += 1
        raw = (f"GET /suggest/post.php?name=b{index}&age=e&comment=(MP4)m{index}-{n} HTTP/1.1\r\n"
               "Host: x\r\n\r\n").encode()
        status = read_answers(s, 1, time.time() + 5)[0:1] if send_all(s, raw) else []
        if status == [200]:
            stored += 1
            if reconnect:
                s.close()
                s = None
        else:
            other += 1
            s.close()
            s = None
    if s:
        s.close()
    return stored, other


def flood(port, clients=8, seconds=5.0, reconnect=False):
    with multiprocessing.Pool(clients) as pool:
        t0 = time.time()
        results = pool.map(_flood_worker, [(port, i, seconds, reconnect) for i in range(clients)])
        took = time.time() - t0
    stored = sum(r[0] for r in results)
    other = sum(r[1] for r in results)
    how = "a connection per message" if reconnect else "kept-alive connections"
    print(f"flood: {clients} clients, {how}, {seconds:.0f} s: {stored} answered 200 "
          f"({stored / took:.0f}/s), {other} other")
    # The target holds for clients that keep their connection.
    return reconnect or stored / took >= 1000


def addresses(port, count=15000):
    t0 = time.time()
    statuses = {}
    for i in range(count):
        source = f"127.{1 + i // 65536}.{(i // 256) % 256}.{1 + i % 250}"
        status, _ = request(port, get("name=a&age=b"), source)
        statuses[status] = statuses.get(status, 0) + 1
    took = time.time() - t0
    print(f"addresses: {count} requests from as many addresses: {count / took:.0f}/s {statuses}")


def drip(port, pid):
    """200 connections dripping a head one byte every 2 s and 200 idle ones,
    from 127.0.0.0/8 addresses; ten valid requests meanwhile."""
    socks, closed = [], [0]
    lock = threading.Lock()
    head = b"GET /suggest/post.php?name=a&age=b&comment=c HTTP/1.1\r\nHost: x\r\n"
    for i in range(400):
        try:
            socks.append(connect(port, f"127.0.{1 + i // 200}.{1 + i % 200}"))
        except OSError:
            pass
    stop = [False]

    def dripper(batch):
        pos = 0
        while not stop[0]:
            for s in list(batch):
                try:
                    s.send(head[pos % len(head):pos % len(head) + 1])
                except OSError:
                    batch.remove(s)
                    with lock:
                        closed[0] += 1
            pos += 1
            for _ in range(20):
                if stop[0]:
                    return
                time.sleep(0.1)

    drippers = socks[:200]
    t = threading.Thread(target=dripper, args=(drippers,), daemon=True)
    t.start()
    time.sleep(1.0)
    times, statuses = [], []
    for i in range(10):
        status, took = request(port, get(f"name=d&age=e&comment=(MP4)drip{time.time()}-{i}"),
                               "127.0.3.1", 5.0)
        statuses.append(status)
        times.append(took)
        time.sleep(1.0)
    # Past the head deadline: how many drippers and idle ones are still open.
    time.sleep(3.0)
    idle_closed = 0
    for s in socks[200:]:
        s.setblocking(False)
        try:
            if s.recv(1) == b"":
                idle_closed += 1
        except BlockingIOError:
            pass
        except OSError:
            idle_closed += 1
    stop[0] = True
    t.join()
    for s in socks:
        s.close()
    print(f"drip: {len(socks)} connections; valid requests meanwhile: statuses {statuses}, "
          f"slowest {max(times):.2f} s; after ~15 s closed by the server: "
          f"{closed[0]} drippers, {idle_closed} idle; RSS {rss_mb(pid):.1f} MB")


def big(port, pid, what, raw_head, body_iter, copies=1):
    peak = Peak(pid)
    results = []

    def one():
        t0 = time.time()
        try:
            s = connect(port, timeout=30)
        except OSError:
            results.append((0, 0.0))
            return
        ok = send_all(s, raw_head)
        for part in body_iter():
            if not ok or time.time() - t0 > 30:
                break
            ok = send_all(s, part)
        st = read_answers(s, 1, time.time() + 10)
        s.close()
        results.append((st[0] if st else 0, time.time() - t0))

    threads = [threading.Thread(target=one) for _ in range(copies)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    time.sleep(0.3)
    print(f"{what}: answers {[r[0] for r in results]} in "
          f"{max(r[1] for r in results):.2f} s; peak RSS {peak.stop():.1f} MB, "
          f"after {rss_mb(pid):.1f} MB")


def chunks(total, size=65536):
    def gen():
        sent = 0
        while sent < total:
            n = min(size, total - sent)
            yield b"%x\r\n" % n + b"x" * n + b"\r\n"
            sent += n
        yield b"0\r\n\r\n"
    return gen


def gzip_bomb():
    """A gzip stream of 600 MB of zeros (about 600 KB), made once."""
    path = "/tmp/tessaro-feedbackd-bomb.gz"
    if not os.path.exists(path):
        z = zlib.compressobj(9, zlib.DEFLATED, 31)
        zeros = bytes(1 << 20)
        with open(path + ".part", "wb") as f:
            for _ in range(600):
                f.write(z.compress(zeros))
            f.write(z.flush())
        os.rename(path + ".part", path)
    with open(path, "rb") as f:
        data = f.read()

    def gen():
        for i in range(0, len(data), 65536):
            part = data[i:i + 65536]
            yield b"%x\r\n" % len(part) + part + b"\r\n"
        yield b"0\r\n\r\n"
    return gen, len(data)


def header_flood(total):
    def gen():
        line = b"X-Filler: " + b"y" * 990 + b"\r\n"
        for _ in range(total // len(line)):
            yield line * 64
        yield b"\r\n"
    return gen


def hostile(port, pid):
    start = rss_mb(pid)
    print(f"start: RSS {start:.1f} MB")
    drip(port, pid)
    for what, raw in [("unknown method", b"BREW /suggest/post.php HTTP/1.1\r\nHost: x\r\n\r\n"),
                      ("bad Content-Length", b"POST /suggest/post.php HTTP/1.1\r\nHost: x\r\n"
                       b"Content-Length: 12abc\r\n\r\nname=a"),
                      ("HEAD", b"HEAD /suggest/post.php?name=h&age=h&comment=h HTTP/1.1\r\n"
                       b"Host: x\r\nConnection: close\r\n\r\n")]:
        status, took = request(port, raw)
        print(f"{what}: {status} in {took:.2f} s")
    chunked = (b"POST /suggest/post.php HTTP/1.1\r\nHost: x\r\nContent-Type: "
               b"application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n")
    bomb, size = gzip_bomb()
    big(port, pid, f"{size // 1024} KB gzip-coded chunked body (600 MB of zeros)",
        chunked + b"Content-Encoding: gzip\r\n\r\n", bomb)
    big(port, pid, "three of them at once", chunked + b"Content-Encoding: gzip\r\n\r\n", bomb, 3)
    big(port, pid, "200 MB chunked body", chunked + b"\r\n", chunks(200 << 20))
    big(port, pid, "100 MB of headers",
        b"GET /suggest/post.php?name=a&age=b&comment=c HTTP/1.1\r\nHost: x\r\n",
        header_flood(100 << 20))
    pipelined = b"".join(
        f"GET /suggest/post.php?name=p&age=q&comment=(MP4)pipe{time.time()}-{i} HTTP/1.1\r\n"
        f"Host: x\r\n\r\n".encode() for i in range(25))
    s = connect(port)
    send_all(s, pipelined)
    print(f"25 pipelined requests: {len(read_answers(s, 25, time.time() + 10))} answers")
    s.close()
    status, _ = request(port, get("name=q&age=r&comment=(MP4)1%2B1=2"))
    print(f"comment=(MP4)1%2B1=2: {status} (see the stored row)")
    time.sleep(1.0)
    end = rss_mb(pid)
    print(f"end: RSS {end:.1f} MB ({end - start:+.1f} MB; target within 10 MB)")
    return end - start <= 10


if __name__ == "__main__":
    mode, port = sys.argv[1], int(sys.argv[2])
    ok = True
    if mode == "flood":
        ok = flood(port, int(sys.argv[3]) if len(sys.argv) > 3 else 8,
              float(sys.argv[4]) if len(sys.argv) > 4 else 5.0,
              len(sys.argv) > 5 and sys.argv[5] == "close")
    elif mode == "hostile":
        ok = hostile(port, int(sys.argv[3]))
    elif mode == "addresses":
        addresses(port, int(sys.argv[3]) if len(sys.argv) > 3 else 15000)
    else:
        sys.exit(__doc__)
    sys.exit(0 if ok else 1)
