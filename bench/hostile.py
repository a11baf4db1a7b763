#!/usr/bin/env python3
"""Hostile clients against a web server on the loopback interface, and a normal
client timed beside them.

  hostile.py PORT PATH [--pid PID] [--slow N] [--stall N] [--kept N] [--idle N] [--flood N]
             [--files N --file-path PATH] [--hold SECONDS] [--cut-within SECONDS]
             [--per-address N] [--within SECONDS] [--max-peak-mb MB]

The hostile connections, all opened before the normal client asks:
  --slow N    send a request head one header line a second and never end it
  --stall N   send one byte of a request and then nothing
  --kept N    send one whole request on a kept connection, read the answer, and
              then send nothing
  --idle N    connect and send nothing
  --flood N   send header lines as fast as the server takes them (at most
              --flood-mb MB each, default 64) and record how the server ended it
  --files N   ask for --file-path on N connections at once without reading the
              answers until the normal client has been answered
With --hold the normal client asks again after SECONDS with everything still
open. With --cut-within the run then waits for the server to close every slow,
stalled and kept connection (a deadline for the request head, also for the next
one on a kept connection) and fails when one is still open after SECONDS. With --per-address N, N + 1 idle connections from 127.0.0.1
and a normal client from 127.0.0.2: the last from 127.0.0.1 must be refused (closed
without an answer) and the one from 127.0.0.2 answered.

Prints what happened; exit status 1 when the normal client was not answered with
200 within --within seconds (default 1), a flood was taken whole, a connection
outlived --cut-within, or the server's peak resident memory (VmHWM of --pid)
went over --max-peak-mb. A flood counts as taken whole when all of it was sent
and the server did not answer it with a 4xx or 5xx (nginx refuses the head
with 400 and reads on to throw the rest away). Every connection goes to
127.0.0.1 (or from 127.0.0.2) only, and the run ends by itself.
"""
import argparse
import asyncio
import sys
import time

HOST = "127.0.0.1"


def peak_mb(pid):
    if not pid:
        return None
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return None


async def connect(port, local=None):
    return await asyncio.open_connection(HOST, port, local_addr=(local, 0) if local else None)


async def answer(reader, limit):
    """The status code of the answer on reader, or None when it closes first or takes longer than limit."""
    try:
        line = await asyncio.wait_for(reader.readline(), limit)
    except (asyncio.TimeoutError, ConnectionError):
        return None
    parts = line.split()
    return int(parts[1]) if len(parts) >= 2 and parts[0].startswith(b"HTTP/") else None


async def normal_client(port, path, limit, local=None):
    """(status or None, seconds) of one whole GET on a fresh connection."""
    start = time.monotonic()
    try:
        reader, writer = await asyncio.wait_for(connect(port, local), limit)
    except (asyncio.TimeoutError, OSError):
        return None, time.monotonic() - start
    writer.write(f"GET {path} HTTP/1.1\r\nHost: {HOST}\r\nConnection: close\r\n\r\n".encode())
    status = await answer(reader, max(0.0, limit - (time.monotonic() - start)))
    if status is not None:
        try:
            await asyncio.wait_for(reader.read(), max(0.1, limit - (time.monotonic() - start)))
        except (asyncio.TimeoutError, ConnectionError):
            status = None
    writer.close()
    return status, time.monotonic() - start


class Slow:
    """A request head that never ends: one header line a second ("trickle"), or one byte and then
    nothing ("stall"); or ("kept") one whole request on a kept connection, and then silence."""

    def __init__(self, port, path, mode):
        self.port, self.path, self.trickle, self.mode = port, path, mode == "trickle", mode
        self.closed_at = None
        self.opened = asyncio.Event()

    async def run(self, stop):
        try:
            reader, writer = await connect(self.port)
        except OSError:
            self.closed_at = time.monotonic()
            self.opened.set()
            return
        self.opened.set()
        writer.write({"trickle": f"GET {self.path} HTTP/1.1\r\nHost: {HOST}\r\n".encode(),
                      "stall": b"G",
                      "kept": f"GET {self.path} HTTP/1.1\r\nHost: {HOST}\r\n\r\n".encode()}[self.mode])
        n = 0
        while not stop.is_set():
            try:
                data = await asyncio.wait_for(reader.read(4096), 1.0)
                if not data:
                    break  # the server closed it
            except asyncio.TimeoutError:
                pass
            except ConnectionError:
                break
            if self.trickle:
                n += 1
                writer.write(f"X-Slow-{n}: {'a' * 20}\r\n".encode())
        else:
            writer.close()
            return
        self.closed_at = time.monotonic()
        writer.close()


async def idle(port, local=None):
    reader, writer = await connect(port, local)
    return reader, writer


async def flood(port, path, cap):
    """How the server ended a head of endless header lines: (bytes sent, status or None)."""
    reader, writer = await connect(port)
    writer.write(f"GET {path} HTTP/1.1\r\nHost: {HOST}\r\n".encode())
    line = ("X-Flood: " + "f" * 54 + "\r\n").encode()
    block = line * 1024
    sent = 0
    status = None
    try:
        while sent < cap:
            writer.write(block)
            await asyncio.wait_for(writer.drain(), 10)
            sent += len(block)
    except (ConnectionError, asyncio.TimeoutError):
        pass
    status = await answer(reader, 2.0)
    writer.close()
    return sent, status


async def files(port, path, n):
    """n requests for path whose answers nobody reads yet."""
    conns = []
    for _ in range(n):
        reader, writer = await connect(port)
        writer.write(f"GET {path} HTTP/1.1\r\nHost: {HOST}\r\nConnection: close\r\n\r\n".encode())
        conns.append((reader, writer))
    return conns


async def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("port", type=int)
    parser.add_argument("path")
    parser.add_argument("--pid", type=int)
    for name in ("slow", "stall", "kept", "idle", "flood", "files", "per-address"):
        parser.add_argument("--" + name, type=int, default=0)
    parser.add_argument("--file-path")
    parser.add_argument("--flood-mb", type=float, default=64)
    parser.add_argument("--hold", type=float, default=0)
    parser.add_argument("--cut-within", type=float, default=0)
    parser.add_argument("--within", type=float, default=1.0)
    parser.add_argument("--max-peak-mb", type=float)
    args = parser.parse_args()
    failures = []

    stop = asyncio.Event()
    slow = [Slow(args.port, args.path, "trickle") for _ in range(args.slow)]
    slow += [Slow(args.port, args.path, "stall") for _ in range(args.stall)]
    slow += [Slow(args.port, args.path, "kept") for _ in range(args.kept)]
    tasks = [asyncio.create_task(s.run(stop)) for s in slow]
    for s in slow:
        await s.opened.wait()
    held = []
    for _ in range(args.idle):
        try:
            held.append(await idle(args.port))
        except OSError as e:
            failures.append(f"idle connection {len(held) + 1} could not connect: {e}")
            break
    if args.files:
        held += await files(args.port, args.file_path, args.files)
    floods = [asyncio.create_task(flood(args.port, args.path, int(args.flood_mb * 1024 * 1024))) for _ in range(args.flood)]
    # The floods run beside the normal client; it asks once they have begun.
    await asyncio.sleep(0.2 if floods else 0)

    opened = f"{args.slow} slow, {args.stall} stalled, {args.kept} kept, {len(held) - args.files} idle, " \
             f"{args.files} unread file answers, " \
             f"{args.flood} flooding"
    status, seconds = await normal_client(args.port, args.path, max(args.within, 30))
    print(f"normal client: {status} in {seconds:.3f} s beside {opened}")
    if status != 200 or seconds > args.within:
        failures.append(f"the normal client was not answered with 200 within {args.within} s")

    for sent, answered in await asyncio.gather(*floods):
        print(f"flood: {sent / 1e6:.1f} MB sent before the server closed, answer {answered}")
        # A server may refuse the head (4xx) and read on to throw the rest away.
        if sent >= args.flood_mb * 1024 * 1024 and (answered is None or answered < 400):
            failures.append(f"a flood of {sent / 1e6:.0f} MB was taken whole without a refusal")

    if args.hold:
        await asyncio.sleep(args.hold)
        status, seconds = await normal_client(args.port, args.path, max(args.within, 30))
        print(f"normal client after {args.hold:.0f} s: {status} in {seconds:.3f} s")
        if status != 200 or seconds > args.within:
            failures.append(f"the normal client after {args.hold} s was not answered with 200 within {args.within} s")

    if args.cut_within and slow:
        start = time.monotonic()
        while any(s.closed_at is None for s in slow) and time.monotonic() - start < args.cut_within:
            await asyncio.sleep(0.2)
        left = sum(1 for s in slow if s.closed_at is None)
        print(f"slow heads still open {time.monotonic() - start:.1f} s later: {left} of {len(slow)}")
        if left:
            failures.append(f"{left} slow heads outlived the deadline")

    if args.per_address:
        mine = []
        for _ in range(args.per_address):
            mine.append(await idle(args.port))
        reader, writer = await idle(args.port)
        refused = False
        try:
            refused = await asyncio.wait_for(reader.read(1), 2.0) == b""
        except (asyncio.TimeoutError, ConnectionError) as e:
            refused = isinstance(e, ConnectionError)
        writer.close()
        status, seconds = await normal_client(args.port, args.path, max(args.within, 30), local="127.0.0.2")
        print(f"per address: connection {args.per_address + 1} from 127.0.0.1 "
              f"{'refused' if refused else 'kept open'}; 127.0.0.2 answered {status} in {seconds:.3f} s")
        if not refused:
            failures.append("the connection past the per-address limit was kept")
        if status != 200 or seconds > args.within:
            failures.append("another address was not answered in time")
        held += mine

    stop.set()
    await asyncio.gather(*tasks)
    for _, writer in held:
        writer.close()

    peak = peak_mb(args.pid)
    if peak is not None:
        print(f"server peak resident memory: {peak:.1f} MB")
        if args.max_peak_mb and peak > args.max_peak_mb:
            failures.append(f"peak memory {peak:.1f} MB over {args.max_peak_mb} MB")
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(asyncio.run(main()))
