#!/usr/bin/env python3
"""Install benchmark: the installer against the tools a user would script instead
and against the machine's lower bound, on synthetic releases served by nginx.

    bench/install.py [--build build] [--work /tmp/vx-install-bench] [--runs 3]
                     [--profiles realistic,small,big] [--no-limited] [--signed]

Products are generated (bench/make-product.py) and published (vxrelease) once
and kept in the work folder; later runs reuse them. Every timed run starts from a
fresh sandbox. Needs the Debian packages of bench/packages.txt. Prints one table
and writes the figures to WORK/results.json.
"""
import argparse
import hashlib
import io
import json
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIMIT_BYTES_PER_SECOND = 12_500_000
CONNECTIONS = 4
CORES = 2
INSTALLER_VERSION = "1.81"
DOCUMENT = "version/orladesk/alpha/to/stable/pt-br_x64"
MIB = 1 << 20


def run(cmd, **kwargs):
    return subprocess.run(cmd, check=True, **kwargs)


def median_seconds(command, runs, prepare=None, env=None):
    """Median wall time of a shell command over `runs` runs, by hyperfine."""
    export = os.path.join(WORK, "hyperfine.json")
    cmd = ["hyperfine", "--style", "none", "--runs", str(runs), "--export-json", export]
    if prepare:
        cmd += ["--prepare", prepare]
    run(cmd + [command], env=env, stdout=subprocess.DEVNULL)
    with open(export) as f:
        return json.load(f)["results"][0]["median"]


# --- releases ---------------------------------------------------------------

def ensure_release(build, profile):
    product = os.path.join(WORK, "products", profile)
    tree = os.path.join(WORK, "trees", profile + ("-signed" if SIGN_KEY else ""))
    marker = os.path.join(tree, ".bench-published")
    signing = ["--sign-key", SIGN_KEY] if SIGN_KEY else []
    if os.path.exists(marker):
        if SIGN_KEY:  # a kept tree's documents may have expired since
            run([os.path.join(build, "bin/vxrelease"), "sign", tree] + signing, stdout=subprocess.DEVNULL)
        return tree
    shutil.rmtree(product, ignore_errors=True)
    shutil.rmtree(tree, ignore_errors=True)
    run([sys.executable, os.path.join(ROOT, "bench/make-product.py"), product, "--profile", profile])
    started = time.monotonic()
    run([os.path.join(build, "bin/vxrelease"), "publish", product, "--product", "orladesk", "--version", "1.0.0.0",
         "--channel", "stable", "--out", tree, "--installer-version", INSTALLER_VERSION] + signing,
        stdout=subprocess.DEVNULL)
    print("bench: published %s in %.0f s" % (profile, time.monotonic() - started), flush=True)
    open(marker, "w").close()
    return tree


def release_files(tree):
    with open(os.path.join(tree, DOCUMENT)) as f:
        document = json.load(f)
    return [entry for entry in document["files"] if entry.get("install", True)]


# --- nginx --------------------------------------------------------------------

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def set_directive(conf, name, value):
    pattern = re.compile(r"(^|\n)([ \t]*)" + name + r"[ \t][^;\n]*;")
    conf, count = pattern.subn(lambda m: m.group(1) + m.group(2) + name + " " + value + ";", conf, count=1)
    if count != 1:
        raise RuntimeError("deploy/nginx.conf lacks " + name)
    return conf


def without_tls(conf):
    """The configuration without its TLS listener: the installer is timed over plain
    HTTP, as the figures of earlier rounds were, and no certificate is needed."""
    conf, count = re.subn(r"\n[ \t]*(listen[ \t][^;\n]*[ \t]ssl|ssl_[a-z_]+[ \t][^;\n]*);", "", conf)
    if count == 0:
        raise RuntimeError("deploy/nginx.conf has no TLS directives to leave out")
    return conf


class Nginx:
    """deploy/nginx.conf on a loopback port, optionally with a rate limit per connection."""

    def __init__(self, tree, limit):
        self.port = free_port()
        self.folder = os.path.join(WORK, "nginx-%d" % self.port)
        os.makedirs(self.folder, exist_ok=True)
        with open(os.path.join(ROOT, "deploy/nginx.conf")) as f:
            conf = without_tls(f.read())
        conf = set_directive(conf, "listen", "127.0.0.1:%d" % self.port)
        conf = set_directive(conf, "root", tree)
        conf = set_directive(conf, "pid", os.path.join(self.folder, "nginx.pid"))
        conf = set_directive(conf, "error_log", os.path.join(self.folder, "error.log") + " warn")
        conf = set_directive(conf, "access_log", "off")
        for name in ["client_body_temp_path", "proxy_temp_path", "fastcgi_temp_path", "uwsgi_temp_path",
                     "scgi_temp_path"]:
            conf = set_directive(conf, name, os.path.join(self.folder, name))
        if os.geteuid() != 0:
            conf = set_directive(conf, "user", os.environ.get("USER", "nobody"))
        if limit:
            conf = re.sub(r"(\nhttp[ \t]*\{[^\n]*\n)", r"\1    limit_rate %d;\n" % limit, conf, count=1)
        path = os.path.join(self.folder, "nginx.conf")
        with open(path, "w") as f:
            f.write(conf)
        self.process = subprocess.Popen(["nginx", "-e", os.path.join(self.folder, "startup.log"), "-p", self.folder,
                                         "-c", path, "-g", "daemon off;"])
        self.url = "http://127.0.0.1:%d" % self.port
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("nginx did not start on port %d" % self.port)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


# --- the installer ------------------------------------------------------------

def sandbox_env(sandbox, url):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM") and "proxy" not in k.lower()}
    home = os.path.join(sandbox, "home")
    env.update(HOME=home, TMPDIR=os.path.join(sandbox, "tmp"), APPDATA=os.path.join(home, "AppData/Roaming"),
               XDG_CONFIG_HOME=os.path.join(home, ".config"), XDG_DATA_HOME=os.path.join(home, ".local/share"),
               XDG_DESKTOP_DIR=os.path.join(home, "Desktop"), XDG_RUNTIME_DIR=os.path.join(sandbox, "run"),
               VXREG_HKCU=os.path.join(home, ".config/vxreg/HKCU.sqlite"),
               ORLADESK_DOWNLOAD_SERVER_URL=url, ORLADESK_INSTALLER_VERSION_URL=url + "/produtos/bin/newvantix/")
    if SIGN_KEY:
        with open(SIGN_KEY + ".pub") as f:
            env["ORLADESK_RELEASE_PUBLIC_KEYS"] = f.read().strip()
    return env


def install_folder(sandbox):
    return os.path.join(sandbox, "home/AppData/Roaming/Corvane")


def write_script(name, text):
    path = os.path.join(WORK, name)
    with open(path, "w") as f:
        f.write("set -e\n" + text + "\n")
    return "bash " + path


def set_aside(folder):
    """Shell lines that move `folder` out of the way without deleting it.

    ext4 looks twice at every inode deleted in the last minute before it hands
    out a new one, so deleting thousands of files right before a timed run
    makes creating files in it several times slower than on a user's machine.
    The trash is emptied when the benchmark ends; its page cache goes at once."""
    return ("mkdir -p '%s'\nif [ -e '%s' ]; then aside='%s'/$(date +%%s%%N); mv '%s' \"$aside\"; "
            "%s '%s' evict \"$aside\"; fi" % (TRASH, folder, TRASH, folder, sys.executable, os.path.abspath(__file__)))


def evict(folder):
    """Drops the page cache of a set-aside folder.

    Kept in the cache, every old sandbox holds its pages, so each run writes
    into memory the virtual machine has never touched before, and the host's
    first touch made writing 350 MB cost 1-1.5 s of system time instead of
    0.5 s. Freed pages are reused, as on a machine whose cache is full."""
    os.sync()
    for directory, _, names in os.walk(folder):
        for name in names:
            try:
                fd = os.open(os.path.join(directory, name), os.O_RDONLY | os.O_NOFOLLOW)
            except OSError:
                continue
            try:
                os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
            finally:
                os.close(fd)


def fresh_sandbox_script(sandbox):
    return write_script("fresh-sandbox.sh", set_aside(sandbox) +
                        "\nmkdir -p '%s'/home/Desktop '%s'/tmp '%s'/run\nchmod 700 '%s'/run" % ((sandbox,) * 4))


def copied_sandbox_script(sandbox, template, damage):
    text = set_aside(sandbox) + "\ncp -a '%s' '%s'" % (template, sandbox)
    if damage:
        text += "\n%s '%s' damage '%s'" % (sys.executable, os.path.abspath(__file__), sandbox)
    return write_script("copied-sandbox.sh" if not damage else "damaged-sandbox.sh", text)


def installer_command(build, verb, memory_log):
    return "/usr/bin/time -f %%M -a -o '%s' '%s' %s" % (memory_log, os.path.join(build, "bin/OrlaDesk"), verb)


def time_installer(build, verb, prepare, env, runs, name):
    memory_log = os.path.join(WORK, name + ".mem")
    if os.path.exists(memory_log):
        os.remove(memory_log)
    seconds = median_seconds(installer_command(build, verb, memory_log), runs, prepare, env)
    with open(memory_log) as f:
        peaks = [int(line) for line in f if line.strip().isdigit()]
    return seconds, max(peaks) * 1024


def installed_files(sandbox):
    """Every file under the installation folder, by path relative to it."""
    root = install_folder(sandbox)
    product = [d for d in os.listdir(root) if not d.startswith("temp_install")]
    base = os.path.join(root, product[0])
    return base, sorted(os.path.relpath(os.path.join(d, f), base) for d, _, fs in os.walk(base) for f in fs)


def check_installed(sandbox, files):
    """Fails unless every file of the release is installed with its MD5."""
    base, _ = installed_files(sandbox)
    for entry in files:
        with open(os.path.join(base, entry["file"]), "rb") as f:
            digest = hashlib.file_digest(f, "md5").hexdigest()
        if digest != entry["md5"].lower():
            raise RuntimeError("installed %s has MD5 %s, not %s" % (entry["file"], digest, entry["md5"]))


def damage(sandbox):
    """Changes one byte in every tenth installed file of the release."""
    base, names = installed_files(sandbox)
    for name in names[::10]:
        with open(os.path.join(base, name), "r+b") as f:
            first = f.read(1)
            f.seek(0)
            f.write(bytes([(first[0] ^ 0xFF) if first else 0]))


# --- the standard-tool pipeline -------------------------------------------------

def pipeline_script(files, url, name):
    folder = os.path.join(WORK, "pipeline")
    with open(os.path.join(WORK, name + ".urls"), "w") as f:
        for entry in files:
            f.write("%s/files/%s\n  out=%s\n" % (url, entry["md5"], entry["md5"]))
    with open(os.path.join(WORK, name + ".unpack"), "w") as f:
        for entry in files:
            f.write("%s/dl/%s\n%s/out/%s\n" % (folder, entry["md5"], folder, os.path.dirname(entry["file"])))
    halves = [files[0::2], files[1::2]]
    for index, half in enumerate(halves):
        with open(os.path.join(WORK, "%s.md5-%d" % (name, index)), "w") as f:
            for entry in half:
                f.write("%s  %s/out/%s\n" % (entry["md5"].lower(), folder, entry["file"]))
    return write_script(name + "-pipeline.sh", f"""
{set_aside(folder)}
mkdir -p '{folder}/dl' '{folder}/out'
aria2c -q -j {CONNECTIONS} --file-allocation=none --auto-file-renaming=false -d '{folder}/dl' -i '{WORK}/{name}.urls'
xargs -P {CORES} -n 2 -d '\\n' -a '{WORK}/{name}.unpack' sh -c 'mkdir -p "$2" && bsdtar -xf "$1" -C "$2"' unpack
md5sum -c --quiet '{WORK}/{name}.md5-0' & first=$!
md5sum -c --quiet '{WORK}/{name}.md5-1'
wait $first""")


# --- the machine's lower bound ----------------------------------------------------

def fetch_all_seconds(files, url, runs):
    config = os.path.join(WORK, "fetch.curl")
    with open(config, "w") as f:
        for entry in files:
            f.write('url = "%s/files/%s"\noutput = "/dev/null"\n' % (url, entry["md5"]))
    return median_seconds("curl -sf --parallel --parallel-max %d -K '%s'" % (CONNECTIONS, config), runs)


def unpack_cpu_seconds(tree, files):
    """CPU time to unpack and MD5 each package in memory, by package MD5."""
    costs = {}
    for entry in files:
        with open(os.path.join(tree, "files", entry["md5"]), "rb") as f:
            package = f.read()
        started = time.thread_time()
        with zipfile.ZipFile(io.BytesIO(package)) as archive:
            with archive.open(archive.infolist()[0]) as member:
                digest = hashlib.md5()
                while chunk := member.read(1 << 20):
                    digest.update(chunk)
        costs[entry["md5"]] = time.thread_time() - started
    return costs


def write_seconds(total_bytes, runs):
    target = os.path.join(WORK, "write-test")
    blocks = (total_bytes + 4 * MIB - 1) // (4 * MIB)
    seconds = median_seconds("dd if=/dev/zero of='%s' bs=4M count=%d conv=fdatasync status=none" % (target, blocks),
                             runs, prepare="rm -f '%s'" % target)
    os.remove(target)
    return seconds


def lower_bound(profile, files, url, runs, costs):
    unpacked = sum(os.path.getsize(os.path.join(WORK, "products", profile, e["file"])) for e in files)
    fetch = fetch_all_seconds(files, url, runs)
    cpu = sum(costs.values()) / CORES
    write = write_seconds(unpacked, runs)
    # The costliest package arrives before it can be unpacked, on one core.
    costliest = sorted(files, key=lambda e: e["size"], reverse=True)[:3]
    critical = max(median_seconds("curl -sf -o /dev/null '%s/files/%s'" % (url, e["md5"]), runs) + costs[e["md5"]]
                   for e in costliest)
    parts = {"fetch": fetch, "unpack+md5 / cores": cpu, "write": write, "critical path": critical}
    return max(parts.values()), parts


def md5_installed_seconds(sandbox, runs):
    base, _ = installed_files(sandbox)
    return median_seconds("find '%s' -type f -print0 | xargs -0 -P %d -n 16 md5sum > /dev/null" % (base, CORES), runs)


# --- scenarios -----------------------------------------------------------------------

def bench_profile(build, profile, runs, limited, results):
    tree = ensure_release(build, profile)
    files = release_files(tree)
    costs = unpack_cpu_seconds(tree, files)
    largest = max(e["size"] for e in files)
    for limit in ([0, LIMIT_BYTES_PER_SECOND] if limited else [0]):
        nginx = Nginx(tree, limit)
        try:
            label = profile + (" signed" if SIGN_KEY else "") + (" at 12.5 MB/s" if limit else "")
            sandbox = os.path.join(WORK, "sandbox")
            env = sandbox_env(sandbox, nginx.url)
            install, peak = time_installer(build, "/install", fresh_sandbox_script(sandbox), env, runs,
                                           profile + "-install")
            check_installed(sandbox, files)
            pipeline = median_seconds(pipeline_script(files, nginx.url, profile), runs)
            bound, parts = lower_bound(profile, files, nginx.url, runs, costs)
            results.append(dict(scenario=label + ", fresh install", seconds=install, pipeline=pipeline,
                                bound=bound, bound_parts=parts, peak=peak, largest=largest))
            if limit or profile != "realistic":
                continue
            template = os.path.join(WORK, "template")
            run(["bash", "-c", set_aside(template)])
            shutil.copytree(sandbox, template, symlinks=True)
            md5 = md5_installed_seconds(template, runs)
            update, peak = time_installer(build, "/update", copied_sandbox_script(sandbox, template, False), env,
                                          runs, profile + "-update")
            check_installed(sandbox, files)
            results.append(dict(scenario=label + ", update, nothing changed", seconds=update, md5=md5, peak=peak,
                                largest=largest))
            repair, peak = time_installer(build, "/update", copied_sandbox_script(sandbox, template, True), env,
                                          runs, profile + "-repair")
            check_installed(sandbox, files)
            results.append(dict(scenario=label + ", update, 10 % damaged", seconds=repair, pipeline=pipeline,
                                bound=bound, peak=peak, largest=largest))
        finally:
            nginx.stop()


def ratio(a, b):
    return "%.2fx" % (a / b) if b else "-"


def print_table(results):
    print("| scenario | time (median) | vs pipeline | vs lower bound | peak memory | memory bound |")
    print("|---|---|---|---|---|---|")
    for r in results:
        reference = ratio(r["seconds"], r["pipeline"]) if "pipeline" in r else "-"
        bound = ratio(r["seconds"], r["bound"]) if "bound" in r else (
            "%s of MD5 on %d cores (%.2f s)" % (ratio(r["seconds"] - 0.2, r["md5"]), CORES, r["md5"]))
        memory_bound = 64 * MIB + 2 * r["largest"]
        print("| %s | %.2f s | %s | %s | %.0f MiB | %.0f MiB |" % (
            r["scenario"], r["seconds"], reference, bound, r["peak"] / MIB, memory_bound / MIB))
    print()
    for r in results:
        if "bound_parts" in r:
            parts = ", ".join("%s %.2f s" % (k, v) for k, v in r["bound_parts"].items())
            print("%s: pipeline %.2f s; lower bound %.2f s (%s)" % (r["scenario"], r["pipeline"], r["bound"], parts))


def main():
    global WORK, TRASH, SIGN_KEY
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--work", default="/tmp/vx-install-bench")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--profiles", default="realistic,small,big")
    parser.add_argument("--no-limited", action="store_true", help="skip the run at 12.5 MB/s per connection")
    parser.add_argument("--signed", action="store_true",
                        help="publish signed releases and run an edition that trusts their key")
    args = parser.parse_args()
    WORK = os.path.abspath(args.work)
    TRASH = os.path.join(WORK, "trash")
    os.makedirs(WORK, exist_ok=True)
    build = os.path.abspath(args.build)
    if args.signed:
        SIGN_KEY = os.path.join(WORK, "bench-release.key")
        if not os.path.exists(SIGN_KEY):
            run([os.path.join(build, "bin/vxrelease"), "keygen", "--out", SIGN_KEY], stdout=subprocess.DEVNULL)
    results = []
    for profile in args.profiles.split(","):
        bench_profile(build, profile, args.runs, profile == "realistic" and not args.no_limited, results)
    with open(os.path.join(WORK, "results.json"), "w") as f:
        json.dump(results, f, indent=2)
    print_table(results)
    shutil.rmtree(TRASH, ignore_errors=True)


WORK = None
TRASH = None
SIGN_KEY = None  # the release key with --signed

if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "damage":
        damage(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "evict":
        evict(sys.argv[2])
    else:
        main()
