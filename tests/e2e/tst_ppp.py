#!/usr/bin/python3
"""The handheld online through the program's PPP gateway, with a PPP client of the tests'
own (pppclient, over scapy; /usr/bin/python3 has python3-scapy): over a direct `ppp:` port
with the desktop reachable, a capture read back by tshark; then dialling a [Phonebook]
number that says `ppp:` through the built-in modem, the desktop out of reach, with a right
and a wrong password."""

import glob
import os
import sys
import pathlib
import re
import socket
import subprocess
import threading
import unittest

import e2e

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "pppclient"))
import pppclient  # noqa: E402 (found through the path above)

SWITCH = "ON / OFF switch"
ADDRESS, GATEWAY, DNS = "10.0.2.15", "10.0.2.2", "10.0.2.3"


def udp_echo():
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 0))

    def echo():
        while True:
            data, peer = sock.recvfrom(2048)
            sock.sendto(data.upper(), peer)
    threading.Thread(target=echo, daemon=True).start()
    return sock.getsockname()[1]


def web_server(s):
    """(port, log path) of a web server on the loopback serving a folder with `big`, 1 MB
    of random bytes, whose content it returns too; the log holds each request."""
    folder = s.path("web")
    os.mkdir(folder)
    content = os.urandom(1 << 20)
    with open(os.path.join(folder, "big"), "wb") as f:
        f.write(content)
    log = open(s.path("web.log"), "wb")
    s.cleanups.append(log.close)
    server = s.start(["/usr/bin/python3", "-u", "-m", "http.server", "--bind", "127.0.0.1",
                      "--directory", folder, "0"], stdout=subprocess.PIPE, stderr=log)
    s.cleanups.append(server.stdout.close)
    port = int(re.search(rb" port (\d+)", server.stdout.readline()).group(1))
    return port, log.name, content


def udp_sockets(pid):
    """The UDP sockets that process pid holds."""
    inodes = {os.readlink(fd)[8:-1] for fd in glob.glob("/proc/%d/fd/*" % pid)
              if os.readlink(fd).startswith("socket:[")}
    rows = open("/proc/%d/net/udp" % pid).read().splitlines()[1:]
    return [row.split()[9] for row in rows if row.split()[9] in inodes]


def tshark(path):
    """(direction, protocol) of each frame in a capture; direction 0: the handheld sent it."""
    r = e2e.run(["tshark", "-r", path, "-T", "fields", "-e", "frame.p2p_dir", "-e",
                 "ppp.protocol"], timeout=60)
    assert r.returncode == 0, "tshark: " + r.stderr.decode()
    return [tuple(line.split("\t")) for line in r.stdout.decode().splitlines()]


class PppTest(unittest.TestCase):

    def online(self, p, client, auth):
        self.assertEqual(client.connect(), (ADDRESS, DNS))
        self.assertEqual((client.gateway, client.auth_protocol), (GATEWAY, auth))
        e2e.wait_until(lambda: p.status(1) == "Online as " + ADDRESS, 10,
                       lambda: "status %r" % p.status(1))
        self.assertLess(client.ping(GATEWAY), 2)

    def test_direct_line_with_the_desktop(self):
        with e2e.Session() as s:
            folder = s.path("captures")
            os.mkdir(folder)
            web, log, content = web_server(s)
            p, handheld_path, _ = s.relay(True, modem="ppp:", Capture={"Folder": folder},
                                          PPP={"Desktop": "YES"})
            handheld = s.far(handheld_path)
            e2e.wait_until(lambda: p.status(1) == "PPP: waiting for the handheld", 10,
                           lambda: "status %r" % p.status(1))
            client = pppclient.PppClient(handheld.fd)
            self.online(p, client, None)  # no password set: none asked for
            # Names are looked up as the desktop would: "localhost" is in its /etc/hosts.
            self.assertEqual(client.resolve("localhost"), ["127.0.0.1"])
            self.assertEqual(client.udp(GATEWAY, udp_echo(), b"echo me"), b"ECHO ME")
            status, body = pppclient.http_get(client, GATEWAY, web, "/big")
            self.assertEqual(status, "HTTP/1.0 200 OK")
            self.assertTrue(body == content, "%d bytes, not %d" % (len(body), len(content)))
            self.assertEqual(client.bad_frames, 0)  # every frame's FCS and escapes right

            # Switched off while online, the session ends with a Terminate-Request, its
            # sockets close (the one of the UDP exchange was still open) and the capture
            # holds it both ways.
            capture = os.path.join(folder, os.listdir(folder)[0])
            self.assertTrue(udp_sockets(p.pid))
            p.click_on(SWITCH)
            client.wait(lambda: client.ended, 10, "the server's Terminate-Request")
            e2e.wait_until(lambda: not udp_sockets(p.pid), 10, "the sockets closed")
            e2e.wait_until(lambda: not e2e.held(p.pid, {capture}), 10, "the capture's end")
            e2e.wait_until(lambda: p.status(1) == "PPP ended: closed", 10, "the session's end")
            frames = tshark(capture)
            self.assertEqual(frames[0], ("0", "0xc021"))  # on a cable the handheld begins
            self.assertEqual(set(frames), {(d, proto) for d in "01"
                                           for proto in ("0xc021", "0x8021", "0x0021")})
            self.assertGreater(frames.count(("1", "0x0021")), len(content) // 1500)
            self.assertEqual([f for f in frames if f[0] == "1"][-1], ("1", "0xc021"))  # the end

    def test_modem_phonebook_without_the_desktop(self):
        with e2e.Session() as s:
            web, log, _ = web_server(s)
            p, handheld_path, _ = s.relay(True, modem="modem:",
                                          Phonebook={"5550000": "ppp:"},
                                          PPP={"User": "palm", "Password": "s3cret"})
            handheld = s.far(handheld_path)
            client = pppclient.PppClient(handheld.fd, "palm", "s3cret", auth="chap")
            self.assertRegex(client.dial("5550000"), "^CONNECT")
            self.online(p, client, pppclient.CHAP)
            self.assertEqual(client.resolve("localhost"), ["127.0.0.1"])
            # Nothing on the desktop's loopback is in reach: no connection, no datagram;
            # the gateway says so at once (ICMP "administratively prohibited").
            for layer in (pppclient.TCP(sport=40001, dport=web, flags="S"),
                          pppclient.UDP(sport=40002, dport=web)):
                client.send_ip(pppclient.IP(src=client.address, dst=GATEWAY) / layer)
                refusal = client.receive_ip(lambda p: pppclient.ICMP in p and p.src == GATEWAY,
                                            5, "the refusal")[pppclient.ICMP]
                self.assertEqual((refusal.type, refusal.code, refusal.payload.dport), (3, 13, web))
            self.assertEqual(pathlib.Path(log).read_bytes(), b"")  # the request never came
            with self.assertRaisesRegex(pppclient.PppError, "timed out"):
                client.udp(GATEWAY, udp_echo(), b"echo me", timeout=1)
            client.close()
            self.assertEqual(client.modem_result(), "NO CARRIER")

            # A wrong password ends the session; the status bar says why.
            client = pppclient.PppClient(handheld.fd, "palm", "wrong", auth="pap")
            self.assertRegex(client.dial("5550000"), "^CONNECT")
            with self.assertRaisesRegex(pppclient.PppError, "PAP refused"):
                client.connect()
            e2e.wait_until(lambda: p.status(1) == "PPP ended: wrong password", 10,
                           lambda: "status %r" % p.status(1))


if __name__ == "__main__":
    unittest.main(verbosity=2)
