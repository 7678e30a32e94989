#!/usr/bin/env python3
"""A news server for the news library: sends its list of messages to each connection, then closes.

Each mode listens on its own port, counted from --port in this order:
  serve   the messages file (default: a built-in sample), then close
  close   close at once, sending nothing
  silent  accept and say nothing, keep the connection open
  drip    the messages a few bytes at a time, slowly, then close
  big     more than 15 000 bytes of messages, then close
  zeros   the messages with zero bytes scattered through them, then close
  trickle the messages one byte every 9 s: never silent for 10 s, never done in time
A refused connection is simply a port where nothing listens (the one after the last mode).
Listens on 127.0.0.1 unless told otherwise.
"""
import argparse
import signal
import socket
import sys
import threading
import time

MODES = ["serve", "close", "silent", "drip", "big", "zeros", "trickle"]

SAMPLE = ("1&2006.03.01&Nowa wersja programu konfiguracyjnego\n"
          "2&2006.04.12&Aktualizacja oprogramowania centrali\n"
          "3&2006.05.20&Zapraszamy na szkolenie dla instalatorów\n").encode("cp1250")


def big_reply():
    """Lines "i&2006.01.01&" plus 90 x's, for i from 1 to 200: about 21 000 bytes."""
    return b"".join(b"%d&2006.01.01&%s\n" % (i, b"x" * 90) for i in range(1, 201))


def with_zeros(data):
    return b"\0".join(data[i:i + 7] for i in range(0, len(data), 7)) + b"\0\0"


def serve(mode, listener, messages, stop):
    while not stop.is_set():
        try:
            client, _ = listener.accept()
        except OSError:
            return
        threading.Thread(target=answer, args=(mode, client, messages, stop), daemon=True).start()


def answer(mode, client, messages, stop):
    with client:
        try:
            if mode == "serve":
                client.sendall(messages)
            elif mode == "silent":
                stop.wait(120)
            elif mode == "drip":
                for i in range(0, len(messages), 5):
                    client.sendall(messages[i:i + 5])
                    time.sleep(0.05)
            elif mode == "big":
                client.sendall(big_reply())
            elif mode == "zeros":
                client.sendall(with_zeros(messages))
            elif mode == "trickle":
                for i in range(len(messages)):
                    client.sendall(messages[i:i + 1])
                    if stop.wait(9):
                        break
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=7000, help="port of the first mode")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--messages", help="file whose bytes are the message list (Windows-1250 text)")
    parser.add_argument("--modes", default=",".join(MODES), help="modes to run, from the first port on")
    args = parser.parse_args()
    messages = open(args.messages, "rb").read() if args.messages else SAMPLE
    stop = threading.Event()
    listeners = []
    for offset, mode in enumerate(args.modes.split(",")):
        listener = socket.create_server((args.address, args.port + offset), reuse_port=False)
        listeners.append(listener)
        threading.Thread(target=serve, args=(mode, listener, messages, stop), daemon=True).start()
        print(f"{mode} on {args.address}:{args.port + offset}", flush=True)
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    for listener in listeners:
        listener.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
