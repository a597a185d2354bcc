#!/usr/bin/env python3
"""Writes a synthetic product folder for the benchmarks.

Deterministic (the same profile and seed give the same bytes), with the mix a
trading platform ships: incompressible files (images, already compressed data),
text that compresses very well (quotes, configuration, scripts) and binaries in
between. Every file has its own content, since the publisher refuses one content
under two names.

Profiles:
  mixed      about 600 files and 350 MB of sizes drawn at random (the publish benchmark)
  realistic  about 600 files and 350 MB: four binaries of 30 to 110 MB, top-level
             libraries, a database folder, images and a few hundred small files in
             nested folders
  small      5,000 files of 1 to 16 KB in nested folders
  big        3 files of about 200 MB

    bench/make-product.py OUT_DIR [--profile mixed] [--files 600] [--megabytes 350] [--seed 1]
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


class ProductWriter:
    """Writes files of the three kinds, each stamped with its number."""

    def __init__(self, out, rng):
        self.out = out
        self.rng = rng
        self.text_pool = text_block(rng, 4 << 20)
        self.text_lines = self.text_pool.splitlines(keepends=True)
        self.count = 0
        self.written = 0

    def write(self, relative, size, kind):
        stamp = ("file %d\n" % self.count).encode()
        if kind == "noise":
            data = self.rng.randbytes(size)  # unique without a stamp
        elif kind == "text":
            # Lines drawn from a shared pool compress like real text.
            body = bytearray(stamp)
            while len(body) < size:
                body += b"".join(self.rng.choices(self.text_lines, k=min(2000, size // 30 + 10)))
            data = bytes(body)
        else:
            data = stamp + binary_block(self.rng, size, self.text_pool)
        data = data[:max(size, len(stamp))]
        path = os.path.join(self.out, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        self.count += 1
        self.written += len(data)


def write_mixed(writer, files, megabytes):
    rng = writer.rng
    folders = ["", "bin", "bin/plugins", "lib", "lib/x64", "resources/images", "resources/sounds", "scripts",
               "database/desktops", "database/templates", "docs"]
    for index, size in enumerate(file_sizes(rng, files, megabytes * 1_000_000)):
        kind = rng.randrange(3)
        folder = rng.choice(folders)
        ext = [".png", ".txt", ".dll"][kind]
        writer.write(os.path.join(folder, "file%04d%s" % (index, ext)), size, ["noise", "text", "binary"][kind])


MB = 1_000_000
KB = 1_000


def write_realistic(writer):
    rng = writer.rng
    for name, megabytes in [("vantixchart.exe", 110), ("vxcore.bin", 70), ("charts.dat", 45), ("vxbroker.exe", 30)]:
        writer.write(name, megabytes * MB, "binary")
    for index in range(24):
        writer.write("vx%02d.dll" % index, rng.randrange(300 * KB, 3 * MB), "binary")
    for index in range(40):
        kind = "text" if index % 4 else "noise"
        writer.write("database/%s/table%02d.db" % (["quotes", "symbols", "desktops"][index % 3], index),
                     rng.randrange(100 * KB, 1200 * KB), kind)
    for index in range(120):
        writer.write("resources/images/%s/img%03d.png" % (["icons", "toolbar", "splash"][index % 3], index),
                     rng.randrange(20 * KB, 300 * KB), "noise")
    nested = ["bin/plugins/indicators", "bin/plugins/strategies/basic", "bin/plugins/strategies/pro", "scripts/lua",
              "scripts/lua/lib", "docs/pt-br", "docs/en", "docs/es", "resources/sounds", "resources/themes/dark",
              "resources/themes/light", "lib/x64/codecs"]
    for index in range(412):
        kind = ["text", "text", "binary", "noise"][index % 4]
        writer.write("%s/item%03d.%s" % (nested[index % len(nested)], index, ["cfg", "lua", "dll", "ogg"][index % 4]),
                     rng.randrange(1 * KB, 60 * KB), kind)


def write_small(writer):
    rng = writer.rng
    for index in range(5000):
        folder = "data/%02d/%02d" % (index % 25, (index // 25) % 8)
        kind = "text" if index % 3 else "binary"
        writer.write("%s/f%04d.%s" % (folder, index, "txt" if kind == "text" else "bin"),
                     rng.randrange(1 * KB, 16 * KB + 1), kind)


def write_big(writer):
    for name, kind in [("vantixchart.exe", "binary"), ("history.pak", "noise"), ("quotes.db", "text")]:
        writer.write(name, 200 * MB, kind)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[1])
    parser.add_argument("out")
    parser.add_argument("--profile", choices=["mixed", "realistic", "small", "big"], default="mixed")
    parser.add_argument("--files", type=int, default=600, help="mixed profile only")
    parser.add_argument("--megabytes", type=int, default=350, help="mixed profile only")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    writer = ProductWriter(args.out, random.Random(args.seed))
    if args.profile == "mixed":
        write_mixed(writer, args.files, args.megabytes)
    else:
        {"realistic": write_realistic, "small": write_small, "big": write_big}[args.profile](writer)
    print("%s: %d files, %d bytes" % (args.out, writer.count, writer.written))


if __name__ == "__main__":
    sys.exit(main())
