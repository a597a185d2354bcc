#!/usr/bin/env python3
"""Writes a synthetic product folder for timing `vxrelease publish`.

Deterministic (the same seed gives the same bytes), about 600 files and 350 MB,
with the mix a trading platform ships: incompressible files (images, already
compressed data), text that compresses very well (quotes, configuration,
scripts) and binaries in between. Every file has its own content, since the
publisher refuses one content under two names.

    bench/make-product.py OUT_DIR [--files 600] [--megabytes 350] [--seed 1]
"""
import argparse
import os
import random
import sys


def text_block(rng, size):
    words = ["open", "close", "high", "low", "volume", "PETR4", "VALE3", "ITUB4", "order", "fill", "cancel",
             "bid", "ask", "chart", "panel", "desktop", "alert", "<div>", "</div>", "function", "return"]
    lines = []
    total = 0
    while total < size:
        line = "%s;%d;%s;%.2f\n" % (rng.choice(words), rng.randrange(1_000_000), rng.choice(words),
                                    rng.random() * 100)
        lines.append(line)
        total += len(line)
    return "".join(lines).encode()[:size]


def binary_block(rng, size, text_pool):
    # Runs of noise, zeros and text, as in executables and libraries.
    out = bytearray()
    while len(out) < size:
        kind = rng.randrange(3)
        run = rng.randrange(512, 8192)
        if kind == 0:
            out += rng.randbytes(run)
        elif kind == 1:
            out += bytes(run)
        else:
            start = rng.randrange(len(text_pool) - run)
            out += text_pool[start:start + run]
    return bytes(out[:size])


def file_sizes(rng, count, total):
    # Many small files, some medium ones, a few large ones.
    weights = []
    for i in range(count):
        r = rng.random()
        weights.append(rng.uniform(1, 200) if r < 0.83 else rng.uniform(500, 3000) if r < 0.98 else
                       rng.uniform(10_000, 20_000))
    scale = total / sum(weights)
    sizes = [max(1, int(w * scale)) for w in weights]
    sizes[0] += total - sum(sizes)
    return sizes


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--files", type=int, default=600)
    parser.add_argument("--megabytes", type=int, default=350)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    text_pool = text_block(rng, 4 << 20)
    text_lines = text_pool.splitlines(keepends=True)
    folders = ["", "bin", "bin/plugins", "lib", "lib/x64", "resources/images", "resources/sounds", "scripts",
               "database/desktops", "database/templates", "docs"]
    sizes = file_sizes(rng, args.files, args.megabytes * 1_000_000)
    written = 0
    for index, size in enumerate(sizes):
        kind = rng.randrange(3)
        folder = rng.choice(folders)
        ext = [".png", ".txt", ".dll"][kind]
        path = os.path.join(args.out, folder, "file%04d%s" % (index, ext))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if kind == 0:
            data = rng.randbytes(size)
        elif kind == 1:
            # Lines drawn from a shared pool compress like real text; a stamp
            # first keeps every file distinct from all others.
            body = bytearray(("file %d\n" % index).encode())
            while len(body) < size:
                body += b"".join(rng.choices(text_lines, k=2000))
            data = bytes(body[:size])
        else:
            data = ("file %d\n" % index).encode() + binary_block(rng, size, text_pool)
            data = data[:size] if size > 16 else data
        with open(path, "wb") as out:
            out.write(data)
        written += len(data)
    print("%s: %d files, %d bytes" % (args.out, len(sizes), written))


if __name__ == "__main__":
    sys.exit(main())
