#!/usr/bin/env python3
"""Servers that misbehave, for the copy cataloguing tests and benchmark. Each listens on a free
loopback port and writes it to PORTFILE once it accepts connections.
  junk PORTFILE                      answers every connection with bytes that are no protocol
  delay PORTFILE TARGETPORT SECONDS  forwards to 127.0.0.1:TARGETPORT, each chunk held SECONDS"""
import socket
import sys
import threading
import time


def listen(portfile):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(64)
    with open(portfile + ".tmp", "w") as f:
        f.write(str(s.getsockname()[1]))
    import os
    os.rename(portfile + ".tmp", portfile)
    return s


def junk(conn):
    try:
        conn.recv(4096)
        conn.sendall(b"\xff\x00garbage, not BER \x1d\x1e" * 64)
        time.sleep(0.2)
    finally:
        conn.close()


def pump(src, dst, delay):
    try:
        while True:
            data = src.recv(65536)
            if not data:
                break
            time.sleep(delay)
            dst.sendall(data)
    except OSError:
        pass
    finally:
        for s in (src, dst):
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def main():
    mode, portfile = sys.argv[1], sys.argv[2]
    server = listen(portfile)
    while True:
        conn, _ = server.accept()
        if mode == "junk":
            threading.Thread(target=junk, args=(conn,), daemon=True).start()
        else:
            upstream = socket.create_connection(("127.0.0.1", int(sys.argv[3])))
            delay = float(sys.argv[4])
            threading.Thread(target=pump, args=(conn, upstream, delay), daemon=True).start()
            threading.Thread(target=pump, args=(upstream, conn, delay), daemon=True).start()


main()
