"""The handheld's side of a PPP link over a serial line, for the end-to-end tests and the
benchmark: LCP (ACCM 0, magic number, PFC, ACFC), PAP or CHAP-MD5 when the server asks,
IPCP (address and DNS asked as 0.0.0.0), then IPv4. The control packets and the IP packets
are scapy's (run it with /usr/bin/python3, which has python3-scapy); the framing with its
FCS-16 is done here. `TcpConnection` is a small TCP client over it: handshake, in-order
receive with cumulative ACKs, out-of-order segments kept within the window."""

import binascii
import hashlib
import os
import random
import re
import select
import struct
import time

from scapy.layers.dns import DNS, DNSQR
from scapy.layers.inet import ICMP, IP, TCP, UDP
from scapy.layers.ppp import (HDLC, PPP_CHAP, PPP_CHAP_ChallengeResponse, PPP_IPCP,
                              PPP_IPCP_Option_DNS1, PPP_IPCP_Option_DNS2,
                              PPP_IPCP_Option_IPAddress, PPP_LCP, PPP_LCP_ACCM_Option,
                              PPP_LCP_Configure, PPP_LCP_Echo, PPP_LCP_Magic_Number_Option,
                              PPP_LCP_Option, PPP_LCP_Protocol_Reject, PPP_LCP_Terminate,
                              PPP_PAP, PPP_PAP_Request)

LCP, PAP, CHAP, IPCP, IPV4 = 0xC021, 0xC023, 0xC223, 0x8021, 0x0021
RESTART, MAX_CONFIGURE = 3.0, 10  # RFC 1661's defaults
PAP_OPTION, CHAP_OPTION = b"\x03\x04\xc0\x23", b"\x03\x05\xc2\x23\x05"  # CHAP with MD5
_REVERSED = bytes(int("{:08b}".format(b)[::-1], 2) for b in range(256))


class PppError(Exception):
    pass


def fcs16(data):
    """RFC 1662's FCS-16 before its final complement. It is CRC-CCITT bit-reflected, so
    binascii's unreflected one over bit-reversed bytes, its result reversed, gives it."""
    crc = binascii.crc_hqx(data.translate(_REVERSED), 0xFFFF)
    return _REVERSED[crc & 0xFF] << 8 | _REVERSED[crc >> 8]


def escape(data, accm):
    data = data.replace(b"\x7d", b"\x7d\x5d").replace(b"\x7e", b"\x7d\x5e")
    for c in range(32):
        if accm >> c & 1 and bytes([c]) in data:
            data = data.replace(bytes([c]), bytes([0x7D, c ^ 0x20]))
    return data


def unescape(data):
    """None for a frame aborted or broken by a 0x7D at its end or before another."""
    first, *rest = data.split(b"\x7d")
    if not rest:
        return first
    out = [first]
    for piece in rest:
        if not piece:
            return None
        out += [bytes([piece[0] ^ 0x20]), piece[1:]]
    return b"".join(out)


def split_frame(frame):
    """(protocol, information) of a frame without FCS: address and control fields and a
    compressed protocol field are all taken; None when it has no protocol field."""
    if frame[:2] == b"\xff\x03":
        frame = frame[2:]
    if frame[:1] and frame[0] & 1:
        return frame[0], frame[1:]
    if len(frame) >= 2 and frame[1] & 1:
        return frame[0] << 8 | frame[1], frame[2:]
    return None


class Negotiation:
    """One control protocol's Configure exchange, the client's side: our request is sent
    again every 3 s up to 10 times, its Naks adopted and its Rejects dropped; the peer's
    requests judged by the client."""

    def __init__(self, client, protocol, packet_class, options):
        self.client, self.protocol, self.packet_class = client, protocol, packet_class
        self.options = {o.type: o for o in options}
        self.id, self.tries, self.due = random.randrange(256), 0, None
        self.ours_acked = self.theirs_acked = False

    opened = property(lambda self: self.ours_acked and self.theirs_acked)

    def send_request(self):
        self.tries += 1
        if self.tries > MAX_CONFIGURE:
            raise PppError("no answer to our %#06x Configure-Request" % self.protocol)
        self.id = (self.id + 1) & 0xFF
        self.client.send(self.protocol, bytes(self.packet_class(
            code=1, id=self.id, options=list(self.options.values()))))
        self.due = time.monotonic() + RESTART

    def tick(self, now):
        if self.due is not None and now >= self.due:
            self.send_request()

    def receive(self, packet):
        if packet.code == 1:
            was_open = self.opened
            code, options = self.client.judge(self.protocol, packet.options)
            self.client.send(self.protocol, bytes(self.packet_class(
                code=code, id=packet.id, options=options)))
            self.theirs_acked = code == 2
            if was_open:  # the peer starts over: so do we
                self.ours_acked, self.tries = False, 0
                self.send_request()
        elif packet.id != self.id or self.ours_acked:
            return
        elif packet.code == 2:
            self.ours_acked, self.due = True, None
        elif packet.code == 3:
            for option in packet.options:
                if option.type in self.options:
                    self.options[option.type] = self.client.adopt(self.protocol, option)
            self.send_request()
        elif packet.code == 4:
            for option in packet.options:
                self.options.pop(option.type, None)
            self.send_request()


class PppClient:
    """A PPP client on the file descriptor of a serial line (raw mode). `user` and
    `password` answer PAP or CHAP-MD5; `auth` ("pap" or "chap") Naks the other one."""

    def __init__(self, fd, user="palm", password="", auth=None):
        self.fd, self.user, self.password, self.auth = fd, user.encode(), password.encode(), auth
        os.set_blocking(fd, False)
        self.magic = random.getrandbits(32) | 1
        self.lcp = Negotiation(self, LCP, PPP_LCP_Configure, [
            PPP_LCP_ACCM_Option(accm=0), PPP_LCP_Magic_Number_Option(magic_number=self.magic),
            PPP_LCP_Option(type=7, data=b""), PPP_LCP_Option(type=8, data=b"")])
        self.ipcp = Negotiation(self, IPCP, PPP_IPCP, [
            PPP_IPCP_Option_IPAddress(data="0.0.0.0"), PPP_IPCP_Option_DNS1(data="0.0.0.0"),
            PPP_IPCP_Option_DNS2(data="0.0.0.0")])
        self.send_accm, self.pfc, self.acfc, self.mru = 0xFFFFFFFF, False, False, 1500
        self.auth_protocol = self.authenticated = self.ended = self.pap_due = None
        self.pap_tries = 0
        self.gateway, self.peer, self.terminate_acked = None, {}, False
        self.buffer, self.unread, self.ip = b"", b"", []
        self.bad_frames = 0

    # --- the line -------------------------------------------------------------------------

    def write(self, data):
        view = memoryview(data)
        while view:
            try:
                view = view[os.write(self.fd, view):]
            except BlockingIOError:
                readable = select.select([self.fd], [self.fd], [], 5)[0]
                if readable:  # the far end may wait for us to read before it reads
                    self.unread += os.read(self.fd, 65536)

    def send(self, protocol, information):
        """One frame; LCP always with address, control and every control character escaped."""
        lcp = protocol == LCP
        header = b"" if self.acfc and not lcp else bytes(HDLC())
        if self.pfc and not lcp and protocol < 0x100:
            header += bytes([protocol])
        else:
            header += struct.pack("!H", protocol)
        frame = header + information
        frame += struct.pack("<H", fcs16(frame) ^ 0xFFFF)
        self.write(b"\x7e" + escape(frame, 0xFFFFFFFF if lcp else self.send_accm) + b"\x7e")

    def frames(self, data):
        self.buffer += data
        *pieces, self.buffer = self.buffer.split(b"\x7e")
        self.buffer = self.buffer[-20000:]  # a frame longer than this is noise
        for piece in pieces:
            if not piece:
                continue
            frame = unescape(piece)
            if frame is None or len(frame) < 4 or fcs16(frame) != 0xF0B8:
                self.bad_frames += 1  # also the modem's text before the first frame
                continue
            split = split_frame(frame[:-2])
            if split:
                yield split

    def pump(self, timeout):
        """Handles what the line brings within timeout (one read), then the timers."""
        data, self.unread = self.unread, b""
        if not data and select.select([self.fd], [], [], max(timeout, 0))[0]:
            try:
                data = os.read(self.fd, 262144)
            except BlockingIOError:
                pass
        for protocol, information in self.frames(data):
            self.handle(protocol, information)
        now = time.monotonic()
        for negotiation in (self.lcp, self.ipcp):
            negotiation.tick(now)
        if self.pap_due is not None and now >= self.pap_due:
            self.send_pap()

    def wait(self, predicate, timeout, what):
        deadline = time.monotonic() + timeout
        while not predicate():
            if self.ended:
                raise PppError("the link ended (%s) while waiting for %s" % (self.ended, what))
            left = deadline - time.monotonic()
            if left <= 0:
                raise PppError("timed out waiting for " + what)
            self.pump(min(left, 0.5))

    # --- negotiation ----------------------------------------------------------------------

    def judge(self, protocol, options):
        """(code, options) answering a peer's Configure-Request: Reject before Nak before Ack."""
        rejects, naks = [], []
        for option in options:
            if protocol == IPCP:
                if option.type == 3:
                    self.gateway = option.data
                else:
                    rejects.append(option)
            elif option.type in (1, 2, 5, 7, 8):
                pass
            elif option.type == 3:
                wanted = {"pap": [PAP_OPTION], "chap": [CHAP_OPTION]}.get(
                    self.auth, [PAP_OPTION, CHAP_OPTION])
                if bytes(option) not in wanted:
                    naks.append(PPP_LCP_Option(wanted[-1]))
            else:
                rejects.append(option)
        if rejects or naks:
            return (4, rejects) if rejects else (3, naks)
        if protocol == LCP:
            types = {o.type: o for o in options}
            self.mru = types[1].max_recv_unit if 1 in types else 1500
            self.auth_protocol = struct.unpack("!H", bytes(types[3])[2:4])[0] if 3 in types \
                else None
            self.peer = types  # ACCM, PFC and ACFC take effect once LCP is open
        return 2, options

    def adopt(self, protocol, option):
        if protocol == LCP and option.type == 5:
            self.magic = random.getrandbits(32) | 1
            return PPP_LCP_Magic_Number_Option(magic_number=self.magic)
        return option

    def handle(self, protocol, information):
        if protocol == LCP:
            self.handle_lcp(PPP_LCP(information))
        elif not self.lcp.opened:
            return
        elif protocol == IPV4 and self.ipcp.opened:
            self.ip.append(information)
            del self.ip[:-4096]
        elif protocol == PAP and self.auth_protocol == PAP:
            answer = PPP_PAP(information)
            if answer.code in (2, 3) and self.authenticated is None:
                self.pap_due = None
                self.finish_auth(answer.code == 2, "PAP", answer.message)
        elif protocol == CHAP and self.auth_protocol == CHAP:
            self.handle_chap(PPP_CHAP(information))
        elif protocol == IPCP and self.authenticated is not False:
            packet = PPP_IPCP(information)
            if packet.code in (1, 2, 3, 4):
                if self.ipcp.tries == 0:
                    self.ipcp.send_request()
                self.ipcp.receive(packet)
            elif packet.code == 5:
                self.send(IPCP, bytes(PPP_IPCP(code=6, id=packet.id)))
        elif protocol not in (IPV4, IPCP, PAP, CHAP):
            self.send(LCP, bytes(PPP_LCP_Protocol_Reject(
                id=random.randrange(256), rejected_protocol=protocol,
                rejected_information=information[:self.mru - 6])))

    def handle_lcp(self, packet):
        if packet.code in (1, 2, 3, 4):
            if self.lcp.tries == 0:
                self.lcp.send_request()
            self.lcp.receive(packet)
            if self.lcp.opened:
                self.lcp_opened()
        elif packet.code == 5:
            self.send(LCP, bytes(PPP_LCP_Terminate(code=6, id=packet.id)))
            self.ended = self.ended or "terminated by the server"
        elif packet.code == 6:
            self.terminate_acked = True
        elif packet.code == 9 and self.lcp.opened:
            self.send(LCP, bytes(PPP_LCP_Echo(code=10, id=packet.id, magic_number=self.magic,
                                              data=packet.data)))

    def lcp_opened(self):
        self.send_accm = self.peer[2].accm if 2 in self.peer else 0xFFFFFFFF
        self.pfc, self.acfc = 7 in self.peer, 8 in self.peer
        if self.auth_protocol == PAP and self.authenticated is None and self.pap_due is None:
            self.send_pap()
        elif self.auth_protocol is None and self.ipcp.tries == 0:
            self.ipcp.send_request()

    def send_pap(self):
        self.pap_tries += 1
        if self.pap_tries > MAX_CONFIGURE:
            raise PppError("no answer to PAP")
        self.send(PAP, bytes(PPP_PAP_Request(id=self.pap_tries, username=self.user,
                                             password=self.password)))
        self.pap_due = time.monotonic() + RESTART

    def handle_chap(self, packet):
        if packet.code == 1:  # RFC 1994: MD5 over identifier, secret and challenge
            value = hashlib.md5(bytes([packet.id]) + self.password + packet.value).digest()
            self.send(CHAP, bytes(PPP_CHAP_ChallengeResponse(
                code=2, id=packet.id, value=value, optional_name=self.user)))
        elif packet.code in (3, 4) and self.authenticated is None:
            self.finish_auth(packet.code == 3, "CHAP", packet.data)

    def finish_auth(self, passed, protocol, message):
        self.authenticated = passed
        if not passed:
            self.ended = "%s refused: %s" % (protocol, message.decode("latin-1"))
        elif self.ipcp.tries == 0:
            self.ipcp.send_request()

    # --- the session ----------------------------------------------------------------------

    def dial(self, number, timeout=10):
        """Dials through a modem on the line: its result ("CONNECT 115200", "NO CARRIER")."""
        self.write(b"ATDT%s\r" % number.encode())
        return self.modem_result(timeout)

    def modem_result(self, timeout=10):
        """The modem's next result code; what follows it is kept for the link."""
        text, self.buffer, self.unread = self.buffer + self.unread, b"", b""
        deadline = time.monotonic() + timeout
        result = re.compile(rb"\r\n(CONNECT[^\r]*|NO CARRIER|BUSY|ERROR|NO DIALTONE)\r\n")
        while not (found := result.search(text)):
            if time.monotonic() > deadline:
                raise PppError("no result code from the modem: %r" % text)
            if select.select([self.fd], [], [], 0.2)[0]:
                text += os.read(self.fd, 4096)
        self.unread = text[found.end():]
        return found.group(1).decode()

    def connect(self, timeout=20):
        """Negotiates until IP can cross; (address, primary DNS)."""
        if self.lcp.tries == 0:
            self.lcp.send_request()
        self.wait(lambda: self.ipcp.opened, timeout, "IPCP to open")
        self.address = self.ipcp.options[3].data
        self.dns = self.ipcp.options[129].data if 129 in self.ipcp.options else None
        return self.address, self.dns

    def close(self, timeout=5):
        """Terminate-Request, answered by Terminate-Ack (or a Terminate-Request of its own)."""
        self.send(LCP, bytes(PPP_LCP_Terminate(code=5, id=0x55)))
        deadline = time.monotonic() + timeout
        while not (self.terminate_acked or self.ended):
            if time.monotonic() > deadline:
                raise PppError("timed out waiting for Terminate-Ack")
            self.pump(0.2)

    def send_ip(self, packet):
        self.send(IPV4, bytes(packet))

    def receive_ip(self, match, timeout, what):
        """The first IP packet (scapy) for which match(packet) holds; others are dropped."""
        found = []

        def look():
            while self.ip and not found:
                packet = IP(self.ip.pop(0))
                if match(packet):
                    found.append(packet)
            return found
        self.wait(look, timeout, what)
        return found[0]

    def ping(self, address, ident=0x4C57, sequence=1, payload=b"loomway", timeout=5):
        """Seconds to an ICMP echo reply."""
        start = time.perf_counter()
        self.send_ip(IP(src=self.address, dst=address) /
                     ICMP(type=8, id=ident, seq=sequence) / payload)
        reply = self.receive_ip(lambda p: ICMP in p and p[ICMP].type == 0 and p.src == address
                                and p[ICMP].id == ident and p[ICMP].seq == sequence, timeout,
                                "the echo reply from " + address)
        assert bytes(reply[ICMP].payload) == payload, "the echo came back changed"
        return time.perf_counter() - start

    def udp(self, address, port, payload, source_port=40000, timeout=5):
        """The payload of the first UDP datagram from address:port to source_port."""
        self.send_ip(IP(src=self.address, dst=address) /
                     UDP(sport=source_port, dport=port) / payload)
        reply = self.receive_ip(lambda p: UDP in p and p.src == address and p[UDP].sport == port
                                and p[UDP].dport == source_port, timeout,
                                "UDP from %s:%d" % (address, port))
        return bytes(reply[UDP].payload)

    def resolve(self, name, timeout=5):
        """The A records that the DNS server gives for name."""
        ident = random.randrange(65536)
        answer = DNS(self.udp(self.dns, 53, DNS(id=ident, rd=1, qd=DNSQR(qname=name)),
                              40053, timeout))
        assert answer.id == ident, "a DNS answer to another question"
        return [answer.an[i].rdata for i in range(answer.ancount) if answer.an[i].type == 1]


class TcpConnection:
    """A TCP client over a PppClient. connect() is False when refused or unanswered."""

    def __init__(self, ppp, address, port, window=65535):
        self.ppp, self.address, self.port, self.window = ppp, address, port, window
        self.source_port = random.randrange(20000, 60000)
        self.snd_nxt = self.snd_una = random.getrandbits(32)
        self.rcv_nxt = self.unacked = 0
        self.established = False
        self.received, self.early = bytearray(), {}
        self.fin = self.reset = False
        self.mss = ppp.mru - 40

    def segment(self, flags, payload=b"", seq=None, options=()):
        return (IP(src=self.ppp.address, dst=self.address) /
                TCP(sport=self.source_port, dport=self.port, flags=flags,
                    seq=self.snd_nxt if seq is None else seq, ack=self.rcv_nxt,
                    window=self.window, options=list(options)) / payload)

    def ours(self, packet):
        return (TCP in packet and packet.src == self.address and
                packet[TCP].sport == self.port and packet[TCP].dport == self.source_port)

    def exchange(self, packet, until, timeout, what, retry=1.0):
        """Sends packet (again every `retry` s) and takes our segments until until()."""
        deadline = time.monotonic() + timeout
        while not until() and not self.reset:
            self.ppp.send_ip(packet)
            resend = min(deadline, time.monotonic() + retry)
            while not until() and not self.reset and time.monotonic() < resend:
                self.take(resend - time.monotonic())
            if time.monotonic() >= deadline and not until():
                raise PppError("timed out waiting for " + what)

    def connect(self, timeout=5):
        syn = self.segment("S", options=[("MSS", self.mss)])
        self.snd_nxt += 1
        try:
            self.exchange(syn, lambda: self.established, timeout, "SYN-ACK")
        except PppError:
            return False
        if self.reset:
            return False
        self.ppp.send_ip(self.segment("A"))
        return True

    def take(self, timeout):
        """Handles the segments that one read of the line brings; ACKs what came in order."""
        self.ppp.pump(max(timeout, 0))
        while self.ppp.ip:
            raw = self.ppp.ip.pop(0)
            packet = IP(raw)
            if self.ours(packet):
                self.arrived(packet, raw)
        if self.unacked:
            self.ppp.send_ip(self.segment("A"))
            self.unacked = 0

    def arrived(self, packet, raw):
        tcp = packet[TCP]
        if tcp.flags.R:
            self.reset = True
            return
        if tcp.flags.A and 0 < (tcp.ack - self.snd_una) % 2**32 <= (self.snd_nxt -
                                                                  self.snd_una) % 2**32:
            self.snd_una = tcp.ack
        if tcp.flags.S:  # SYN-ACK, or the same again
            if tcp.flags.A and tcp.ack == self.snd_nxt:
                self.rcv_nxt, self.established = (tcp.seq + 1) % 2**32, True
            return
        if not self.established:
            return
        data = raw[packet.ihl * 4 + tcp.dataofs * 4:packet.len]
        offset = (tcp.seq - self.rcv_nxt) % 2**32
        if offset and offset < self.window:  # keep it for when the gap is filled
            self.early[tcp.seq] = (data, bool(tcp.flags.F))
            self.unacked += 1  # a duplicate ACK tells the sender about the gap
        elif not offset:
            self.accept(data, bool(tcp.flags.F))
            while self.rcv_nxt in self.early:
                self.accept(*self.early.pop(self.rcv_nxt))
        elif data or tcp.flags.F:
            self.unacked += 1  # old data again: our ACK was lost

    def accept(self, data, fin):
        self.received += data
        self.rcv_nxt = (self.rcv_nxt + len(data) + fin) % 2**32
        self.fin = self.fin or fin
        self.unacked += 1 if data or fin else 0
        if self.unacked >= 2:
            self.ppp.send_ip(self.segment("A"))
            self.unacked = 0

    def send(self, data, timeout=5):
        packet = self.segment("PA", data)
        self.snd_nxt = (self.snd_nxt + len(data)) % 2**32
        self.exchange(packet, lambda: self.snd_una == self.snd_nxt, timeout, "our data's ACK")

    def read_to_end(self, timeout=30):
        deadline = time.monotonic() + timeout
        while not self.fin and not self.reset:
            if time.monotonic() > deadline:
                raise PppError("timed out after %d bytes" % len(self.received))
            self.take(0.5)
        return bytes(self.received)

    def close(self, timeout=5):
        packet = self.segment("FA")
        self.snd_nxt = (self.snd_nxt + 1) % 2**32
        self.exchange(packet, lambda: self.snd_una == self.snd_nxt or self.reset, timeout,
                      "the ACK of our FIN")


def http_get(ppp, address, port, path, timeout=30, connect_timeout=5):
    """(status line, body) of an HTTP/1.0 GET, or None when no connection could be made."""
    tcp = TcpConnection(ppp, address, port)
    if not tcp.connect(connect_timeout):
        return None
    tcp.send(b"GET %s HTTP/1.0\r\nHost: %s:%d\r\n\r\n" % (path.encode(), address.encode(), port))
    head, _, body = tcp.read_to_end(timeout).partition(b"\r\n\r\n")
    tcp.close()
    return head.split(b"\r\n")[0].decode(), body


def open_line(path):
    """The raw-mode far end of a pseudo-terminal (socat's already is)."""
    return os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
