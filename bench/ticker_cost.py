#!/usr/bin/env python3
"""What one ticker costs the road: the requests and bytes of one ticker per hour in
steady use, by document, from a movie-run log, with the answers measured on a
real server.

  ticker_cost.py MOVIE-RUN-LOG PORT [--hours H] [--server NAME]

MOVIE-RUN-LOG is what `movie-run` printed while playing the content (its `load`
and `fetch` lines of http addresses, with their virtual times; bench/ticker_cost.sh
makes it). PORT is a server on 127.0.0.1 that serves the same tree (content-server
or nginx): each document is asked for once plainly, to measure the bytes of a
200 (status line, header and body), and once with the validators of that answer,
to measure the bytes of a 304 when the server gives one.

A request counts as "would be 304" when the same ticker asked for the same
address before in the run and the server answers a conditional request for it
with 304: the tree does not change during the run, so every repeat is one.
Headlines change in real use; --changing N counts the first N repeats of every
headlines address per hour as changed (200). A log line that itself names a
status (`304` after the address, as a player that sends conditional requests
may print) is taken as it says.

The start (the first minute) is shown apart; "per hour" counts the rest of the
run divided by its hours. Prints a Markdown table.
"""
import argparse
import re
import socket
import sys
from collections import OrderedDict

BASE = "/resources/media/uk/downloads/vodazovovarar/"
LINE = re.compile(r"^\s*(\d+) ms\s+(load|fetch)\s+http://[^/\s]+(/\S*)(.*)$")
START_MS = 60_000


def ask(port, path, headers=""):
    """(status, bytes of the whole answer, response headers) of one GET on its own connection."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n{headers}\r\n".encode())
        data = b""
        while chunk := s.recv(65536):
            data += chunk
    head = data.split(b"\r\n\r\n", 1)[0].decode("latin-1")
    lines = head.split("\r\n")
    fields = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        fields[name.strip().lower()] = value.strip()
    return int(lines[0].split()[1]), len(data), fields


def document(path):
    """The row a request belongs to: headlines and channel feeds of any channel share one."""
    name = path[len(BASE):] if path.startswith(BASE) else path
    return re.sub(r"^(headlines|channel)/[^/]+\.txt$", r"\1/<channel>.txt", name)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("log")
    parser.add_argument("port", type=int)
    parser.add_argument("--hours", type=float, help="the run's length (default: from the log's last line)")
    parser.add_argument("--server", default="the server")
    parser.add_argument("--changing", type=int, default=0,
                        help="headlines changes per hour that make a repeat a 200 (default 0)")
    args = parser.parse_args()

    requests = []
    last_ms = 0
    with open(args.log, encoding="utf-8", errors="replace") as log:
        for line in log:
            stamp = re.match(r"^\s*(\d+) ms", line)
            if stamp:
                last_ms = max(last_ms, int(stamp.group(1)))
            m = LINE.match(line)
            if m:
                requests.append((int(m.group(1)), m.group(3), m.group(4)))
    hours = args.hours or (last_ms - START_MS) / 3_600_000
    if not requests or hours <= 0:
        sys.exit("no http loads or fetches in the log")

    measured = {}
    for path in OrderedDict.fromkeys(p for _, p, _ in requests):
        status, full, fields = ask(args.port, path)
        validators = ""
        if "etag" in fields:
            validators += f"If-None-Match: {fields['etag']}\r\n"
        if "last-modified" in fields:
            validators += f"If-Modified-Since: {fields['last-modified']}\r\n"
        again, small, _ = ask(args.port, path, validators)
        measured[path] = (status, full, small if again == 304 else None)

    rows = OrderedDict()
    seen = set()
    changed = {}
    for ms, path, rest in requests:
        row = rows.setdefault(document(path), {"start": 0, "start_bytes": 0, "n": 0, "n304": 0, "now": 0, "cond": 0})
        status, full, small = measured[path]
        repeat = path in seen
        seen.add(path)
        hour = ms // 3_600_000
        would304 = repeat and small is not None
        if would304 and path.startswith(BASE + "headlines/"):
            key = (path, hour)
            changed[key] = changed.get(key, 0) + 1
            would304 = changed[key] > args.changing
        if re.search(r"\b304\b", rest):
            would304 = small is not None
        if ms < START_MS:
            row["start"] += 1
            row["start_bytes"] += full
            continue
        row["n"] += 1
        row["now"] += full
        row["n304"] += would304
        row["cond"] += small if would304 else full

    print(f"One ticker, {hours:g} hours of movie-run after the first minute; answers measured on {args.server}.\n")
    print("| document | at the start | per hour | of them would be 304 | bytes per hour now | bytes per hour with conditional requests |")
    print("|---|---:|---:|---:|---:|---:|")
    total = {"start": 0, "n": 0, "n304": 0, "now": 0, "cond": 0}
    for name, row in rows.items():
        print(f"| `{name}` | {row['start']} | {row['n'] / hours:.2f} | {row['n304'] / hours:.2f} | "
              f"{row['now'] / hours:,.0f} | {row['cond'] / hours:,.0f} |")
        for key in total:
            total[key] += row[key]
    print(f"| all | {total['start']} | {total['n'] / hours:.2f} | {total['n304'] / hours:.2f} | "
          f"{total['now'] / hours:,.0f} | {total['cond'] / hours:,.0f} |")
    print("\nBytes are whole answers (status line, header and body) as the server sent them; requests are not counted.")
    start_bytes = sum(r["start_bytes"] for r in rows.values())
    print(f"The start costs {total['start']} requests and {start_bytes:,} bytes.")


if __name__ == "__main__":
    main()
