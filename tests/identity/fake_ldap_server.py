#!/usr/bin/env python3
"""A directory server that misbehaves, for the directory walk's limits: just enough LDAP (BER) for bind,
search and unbind, on a free loopback port it prints, until stdin closes. Modes (first argument):
  loops  containers list themselves and their parent; the user jdoe after them (a walk skipping seen ones finds him)
  deep   every container holds one deeper container, without end
  pages  every listing answers one entry and "more pages", without end
"""
import socket
import sys
import threading

ROOT = b"dc=loop"
PAGED = b"1.2.840.113556.1.4.319"


def encode(tag, content):
    n = len(content)
    if n < 0x80:
        return bytes([tag, n]) + content
    size = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(size)]) + size + content


def seq(*parts):
    return encode(0x30, b"".join(parts))


def octets(text):
    return encode(0x04, text)


def number(tag, value):
    return encode(tag, value.to_bytes(max(1, (value.bit_length() + 8) // 8), "big"))


def read_tlv(data, at):
    tag, length = data[at], data[at + 1]
    at += 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    return tag, data[at:at + length], at + length


def read_message(conn):
    head = conn.recv(2, socket.MSG_WAITALL)
    if len(head) < 2:
        return None
    extra = conn.recv(head[1] & 0x7F, socket.MSG_WAITALL) if head[1] & 0x80 else b""
    length = int.from_bytes(extra, "big") if extra else head[1]
    return head + extra + (conn.recv(length, socket.MSG_WAITALL) if length else b"")


def entry(dn, cls, extra=()):
    attrs = [seq(octets(name), encode(0x31, octets(value))) for name, value in [(b"objectClass", cls), *extra]]
    return encode(0x64, octets(dn) + seq(*attrs))


def children(mode, base):
    if mode == "loops":
        if base == ROOT:
            return [entry(ROOT, b"organizationalUnit"), entry(b"ou=a," + ROOT, b"organizationalUnit"),
                    entry(b"cn=jdoe," + ROOT, b"user",
                          [(b"sAMAccountName", b"jdoe"), (b"proxyAddresses", b"SMTP:jdoe@loop.test")])]
        return [entry(base, b"organizationalUnit"), entry(ROOT, b"organizationalUnit")]
    if mode == "deep":
        return [entry(b"ou=d," + base, b"organizationalUnit")]
    return [entry(b"cn=e," + base, b"organizationalUnit")]


def answer(mode, conn, message):
    _, body, _ = read_tlv(message, 0)
    _, msgid, at = read_tlv(body, 0)
    op, content, _ = read_tlv(body, at)
    msgid = int.from_bytes(msgid, "big")
    reply = lambda *ops: conn.sendall(b"".join(seq(number(0x02, msgid), o) for o in ops))
    done = lambda tag: encode(tag, number(0x0A, 0) + octets(b"") + octets(b""))
    if op == 0x60:
        reply(done(0x61))
    elif op == 0x63:
        _, base, at = read_tlv(content, 0)
        _, scope, _ = read_tlv(content, at)
        if scope == b"\x00":
            found = entry(base, b"top", [(b"namingContexts", ROOT)]) if base == b"" else entry(base, b"top")
            reply(found, done(0x65))
            return True
        results = b"".join(seq(number(0x02, msgid), e) for e in children(mode, base))
        final = number(0x02, msgid) + done(0x65)
        if mode == "pages":
            final += encode(0xA0, seq(octets(PAGED), octets(seq(number(0x02, 0), octets(b"more")))))
        conn.sendall(results + encode(0x30, final))
    elif op == 0x42:
        return False
    return True


def serve(mode, conn):
    with conn:
        while (message := read_message(conn)) is not None and answer(mode, conn, message):
            pass


def main():
    mode = sys.argv[1]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen()
    print(listener.getsockname()[1], flush=True)

    def accept():
        while True:
            conn, _ = listener.accept()
            threading.Thread(target=serve, args=(mode, conn), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    sys.stdin.read()


main()
