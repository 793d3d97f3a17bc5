#!/usr/bin/env python3
"""A far server on loopback: a TCP relay that holds every byte back DELAY ms in each direction.

    python3 bench/site/delay_proxy.py --target 127.0.0.1:8080 --delay-ms 25 [--port 0] [--stats FILE]

Prints "port N" once it listens. Each direction of each connection is a pipe with a constant
delay: bytes leave DELAY ms after they arrived, however many are in flight, so a round trip costs
2 x DELAY and the bandwidth is the loopback's (no kernel netem needed). Half-closes and closes are
delayed the same way, and a new connection's first bytes leave a round trip late, as its TCP
handshake would make them. On SIGTERM or SIGINT it stops and prints, and writes to FILE when given:

    connections N  bytes_to_client N  bytes_to_server N
"""

import argparse
import asyncio
import signal
import sys
import time

CHUNK = 256 * 1024
# Chunks in flight per direction before the reader waits: bounds memory when one side is slow.
MAX_IN_FLIGHT = 512


class Counts:
    def __init__(self):
        self.connections = 0
        self.to_client = 0
        self.to_server = 0

    def line(self):
        return f"connections {self.connections}  bytes_to_client {self.to_client}  bytes_to_server {self.to_server}"


async def pipe(reader, writer, delay, count, not_before=0.0):
    """Copies reader to writer, each chunk `delay` seconds after it arrived (or after `not_before`,
    if later); `count(n)` per chunk."""
    queue = asyncio.Queue(MAX_IN_FLIGHT)

    async def read_side():
        try:
            while True:
                data = await reader.read(CHUNK)
                await queue.put((max(time.monotonic(), not_before) + delay, data))
                if not data:
                    return
        except (ConnectionError, OSError):
            await queue.put((time.monotonic() + delay, None))

    async def write_side():
        while True:
            due, data = await queue.get()
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:  # reset: drop the other side at once
                writer.transport.abort()
                return
            if not data:
                if writer.can_write_eof():
                    writer.write_eof()
                return
            writer.write(data)
            count(len(data))
            await writer.drain()

    reading = asyncio.ensure_future(read_side())
    try:
        await write_side()
    except (ConnectionError, OSError):
        pass
    finally:
        reading.cancel()


async def serve(args, counts):
    host, port = args.target.rsplit(":", 1)
    delay = args.delay_ms / 1000.0

    async def handle(client_reader, client_writer):
        counts.connections += 1
        # A far server's TCP handshake costs a round trip before the client's first byte can leave.
        handshake_done = time.monotonic() + 2 * delay
        try:
            server_reader, server_writer = await asyncio.open_connection(host, int(port))
        except OSError:
            client_writer.close()
            return

        def to_client(n):
            counts.to_client += n

        def to_server(n):
            counts.to_server += n

        try:
            await asyncio.gather(
                pipe(client_reader, server_writer, delay, to_server, handshake_done),
                pipe(server_reader, client_writer, delay, to_client),
            )
        except asyncio.CancelledError:
            pass  # stopping with the connection still open
        finally:
            for w in (client_writer, server_writer):
                w.close()

    server = await asyncio.start_server(handle, "127.0.0.1", args.port, backlog=256)
    print(f"port {server.sockets[0].getsockname()[1]}", flush=True)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    async with server:
        await stop.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--target", required=True, help="host:port of the real server")
    parser.add_argument("--delay-ms", type=float, default=25.0, help="delay of each direction")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (0: a free one)")
    parser.add_argument("--stats", help="file to write the counts to on exit")
    args = parser.parse_args()
    counts = Counts()
    asyncio.run(serve(args, counts))
    print(counts.line(), flush=True)
    if args.stats:
        with open(args.stats, "w", encoding="ascii") as out:
            out.write(counts.line() + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
