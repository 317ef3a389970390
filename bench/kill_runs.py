#!/usr/bin/env python3
"""Kills zelkon-cli runs with SIGKILL at random instants and looks at what they leave.

Six kinds of run, each over its own fresh collection:
  rename       rename in place, with one-ROM ZIPs whose member is renamed too
  move-other   renamed files moved to a folder on another file system (/dev/shm, a tmpfs)
  dupes-trash  duplicates sent to the trash
  copy         copy mode: renamed copies go to another folder
  sort-unsort  sort by sort.ini, then unsort, killed in either
  scan-move    a collection scan moving unrecognised files to another file system

Each round lays down a collection, then starts the run --kills times, killing each start
after a random time below about the length of a whole run (halved for the second start,
which has less to do, and so on). After every kill the set of
file contents (a ZIP counts by its member's bytes) over the collection, the other folders
and the trash must be what it was: nothing lost, nothing half-written under a real name.
Then one run goes to its end, and none of our litter may be left: part files
(.zelkon-copy-*), the ZIP library's temporaries (NAME.zip.XXXXXX), .trashinfo files
without their file, zelkon-* folders in the temporary folder.

Not a test: it takes minutes. Prints per kind and in all the runs, the kills, the contents
lost, the contents torn (bytes under a real name that no file had), the litter found before
the whole runs and the litter left after them; exits 1 when a content was lost or torn or
litter was left.
    bench/kill_runs.py [--build build-bench] [--rounds 25] [--kills 2] [--seed N] [--kinds a,b]
"""

import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import time
import zipfile
import zlib

KINDS = ["rename", "move-other", "dupes-trash", "copy", "sort-unsort", "scan-move"]
SYSTEM = "KILLTEST"


def crc(data):
    return "%08x" % (zlib.crc32(data) & 0xFFFFFFFF)


class Bench:
    def __init__(self, cli, seed):
        self.cli = cli
        self.rng = random.Random(seed)
        self.root = "/tmp/zelkon-kill-%d" % os.getpid()
        self.other = "/dev/shm/zelkon-kill-%d" % os.getpid()
        if os.stat("/tmp").st_dev == os.stat("/dev/shm").st_dev:
            sys.exit("/tmp and /dev/shm are one file system here: no move to another one")
        self.home = os.path.join(self.root, "home")
        self.env = dict(os.environ, XDG_DATA_HOME=os.path.join(self.root, "data"),
                        TMPDIR=os.path.join(self.root, "tmp"), HOME=self.root)
        self.roms = []  # (name, bytes) of the database

    # --- the home, once: a database of ROMs made from a DAT file, and sort rules
    def make_home(self):
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.home)
        os.makedirs(self.env["TMPDIR"])
        games = []
        for i in range(400):
            size = 8 << 20 if i % 50 == 0 else self.rng.choice([4096, 65536, 262144])
            data = self.rng.randbytes(size)
            region = ["(USA)", "(Europe)", "(Japan)", "(World)"][i % 4]
            name = "Game %03d %s" % (i, region)
            self.roms.append((name, data))
            games.append('  <game name="%s"><description>%s</description>'
                         '<rom name="%s.bin" size="%d" crc="%s"/></game>'
                         % (name, name, name, size, crc(data)))
        dat = os.path.join(self.root, "kill.dat")
        with open(dat, "w") as f:
            f.write('<?xml version="1.0"?>\n<datafile>\n<header><name>Kill Test</name>'
                    '<description>Kill Test</description><version>1</version></header>\n')
            f.write("\n".join(games) + "\n</datafile>\n")
        self.cli_run(["import", dat, "--system", SYSTEM], check=True)
        with open(os.path.join(self.home, "sort.ini"), "w") as f:
            f.write("[all]\n(USA):USA\n(Europe):Europe\n(Japan):Japan\n")
        with open(os.path.join(self.home, "zelkon.ini"), "w") as f:
            f.write("[general]\nRenameROMsInZip=1\n")

    def cli_run(self, args, check=False):
        done = subprocess.run([self.cli, "--home", self.home, "--yes", "-q"] + args,
                              env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
        if check and done.returncode != 0:
            sys.exit("zelkon-cli %s failed: %s" % (" ".join(args), done.stderr.decode()))
        return done.returncode

    # --- a fresh collection for one round of a kind
    def lay_down(self, kind):
        for path in (self.roms_dir, self.other, os.path.join(self.root, "data"),
                     os.path.join(self.root, "copies")):
            shutil.rmtree(path, ignore_errors=True)
        os.makedirs(self.roms_dir)
        os.makedirs(self.other)
        for journal in ("undo.journal", "undo.journal.done"):
            if os.path.exists(os.path.join(self.home, journal)):
                os.remove(os.path.join(self.home, journal))
        for i, (name, data) in enumerate(self.roms):
            if kind == "sort-unsort":
                target = name + ".bin"  # named already: sorting goes by the names
            else:
                target = "dump%04d.bin" % i
            if kind == "rename" and i % 3 == 0:
                with zipfile.ZipFile(os.path.join(self.roms_dir, "dump%04d.zip" % i), "w") as z:
                    z.writestr("dump%04d.bin" % i, data)
                continue
            with open(os.path.join(self.roms_dir, target), "wb") as f:
                f.write(data)
            if kind == "dupes-trash" and i % 2 == 0:
                with open(os.path.join(self.roms_dir, name + ".bin"), "wb") as f:
                    f.write(data)  # the same ROM under its own name: the dump is a dupe
        if kind == "scan-move":
            for i in range(200):
                with open(os.path.join(self.roms_dir, "unknown%03d.bin" % i), "wb") as f:
                    f.write(self.rng.randbytes(self.rng.choice([4096, 1 << 20])))

    @property
    def roms_dir(self):
        return os.path.join(self.root, "roms")

    def commands(self, kind, step):
        """The command of the `step`th start of a round."""
        base = ["--system", SYSTEM]
        if kind == "rename":
            return ["rename"] + base + ["--rename-in-zip", self.roms_dir]
        if kind == "move-other":
            return ["rename"] + base + ["--rename-folder", self.other + "/renamed", self.roms_dir]
        if kind == "dupes-trash":
            return ["rename"] + base + ["--dupes", "delete", self.roms_dir]
        if kind == "copy":
            return ["rename"] + base + ["--copy", "--rename-folder",
                                        os.path.join(self.root, "copies"), self.roms_dir]
        if kind == "sort-unsort":
            return [("sort", "unsort")[step % 2]] + base + [self.roms_dir]
        return ["scan"] + base + ["--by", "checksum", "--move-unrecognized",
                                  self.other + "/unknown", self.roms_dir]

    # --- what is there
    def walk(self):
        tops = [self.roms_dir, self.other, os.path.join(self.root, "copies"),
                os.path.join(self.root, "data")]
        for top in tops:
            for folder, _, files in os.walk(top):
                for name in files:
                    yield folder, name

    @staticmethod
    def is_litter(folder, name):
        if name.startswith(".zelkon-copy-"):
            return True
        stem, dot, tail = name.rpartition(".")
        return stem.endswith(".zip") and len(tail) == 6 and tail.isalnum()

    def contents(self):
        seen = set()
        for folder, name in self.walk():
            path = os.path.join(folder, name)
            if self.is_litter(folder, name) or folder.endswith("/info"):
                continue
            with open(path, "rb") as f:
                data = f.read()
            if name.endswith(".zip"):
                try:
                    with zipfile.ZipFile(path) as z:
                        data = z.read(z.namelist()[0])
                except (zipfile.BadZipFile, IndexError, OSError):
                    seen.add("bad zip " + path)
                    continue
            seen.add(crc(data) + ":%d" % len(data))
        return seen

    def litter(self):
        found = [os.path.join(f, n) for f, n in self.walk() if self.is_litter(f, n)]
        info = os.path.join(self.root, "data/Trash/info")
        files = os.path.join(self.root, "data/Trash/files")
        if os.path.isdir(info):
            for name in os.listdir(info):
                if not os.path.exists(os.path.join(files, name[: -len(".trashinfo")])):
                    found.append(os.path.join(info, name))
        found += [os.path.join(self.env["TMPDIR"], n) for n in os.listdir(self.env["TMPDIR"])
                  if n.startswith("zelkon")]
        found += [os.path.join(self.home, n) for n in os.listdir(self.home) if n.endswith(".new")]
        return found

    # --- one kind
    def whole_run_seconds(self, kind):
        self.lay_down(kind)
        started = time.monotonic()
        self.cli_run(self.commands(kind, 0))
        return time.monotonic() - started

    def kill_once(self, args, seconds):
        child = subprocess.Popen([self.cli, "--home", self.home, "--yes", "-q"] + args,
                                 env=self.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        try:
            child.wait(timeout=seconds)
            return False  # it ended first
        except subprocess.TimeoutExpired:
            child.send_signal(signal.SIGKILL)
            child.wait()
            return True

    def kind(self, kind, rounds, kills):
        span = max(0.05, self.whole_run_seconds(kind) * 1.1)
        figures = {"runs": 0, "kills": 0, "lost": 0, "torn": 0, "found": 0, "litter": 0,
                   "seconds": span}
        for _ in range(rounds):
            self.lay_down(kind)
            before = self.contents()
            for step in range(kills):
                figures["runs"] += 1
                # Each start has less left to do than the one before.
                figures["kills"] += self.kill_once(self.commands(kind, step),
                                                   self.rng.uniform(0.0, span / (step + 1)))
                now = self.contents()
                if now != before:
                    figures["lost"] += len(before - now)
                    figures["torn"] += len(now - before)
                    for what in sorted(now ^ before)[:5]:
                        print("  %s: contents differ after a kill: %s" % (kind, what))
            figures["found"] += len(self.litter())
            last = [self.commands(kind, 0)]
            if kind == "sort-unsort":
                last.append(self.commands(kind, 1))
            for args in last:
                figures["runs"] += 1
                self.cli_run(args)
            left = self.litter()
            figures["litter"] += len(left)
            for path in left[:5]:
                print("  %s: litter left: %s" % (kind, path))
            after = self.contents()
            figures["lost"] += len(before - after)
            figures["torn"] += len(after - before)
        return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.environ.get("BUILD", "build-bench"))
    parser.add_argument("--rounds", type=int, default=25)
    parser.add_argument("--kills", type=int, default=2)
    parser.add_argument("--seed", type=int, default=17)
    parser.add_argument("--kinds", default=",".join(KINDS))
    args = parser.parse_args()
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    cli = os.path.abspath(os.path.join(args.build, "bin", "zelkon-cli"))
    if not os.access(cli, os.X_OK):
        sys.exit("no %s: build it first (cmake --build %s --target zelkon-cli zelcore)"
                 % (cli, args.build))
    bench = Bench(cli, args.seed)
    bench.make_home()
    total = {"runs": 0, "kills": 0, "lost": 0, "torn": 0, "found": 0, "litter": 0}
    print("%-12s %6s %6s %6s %6s %6s %7s %9s" % ("kind", "runs", "kills", "lost", "torn", "found",
                                                "litter", "run (s)"))
    try:
        for kind in args.kinds.split(","):
            f = bench.kind(kind, args.rounds, args.kills)
            print("%-12s %6d %6d %6d %6d %6d %7d %9.2f" % (kind, f["runs"], f["kills"], f["lost"],
                                                           f["torn"], f["found"], f["litter"],
                                                           f["seconds"]), flush=True)
            for key in total:
                total[key] += f[key]
    finally:
        shutil.rmtree(bench.root, ignore_errors=True)
        shutil.rmtree(bench.other, ignore_errors=True)
    print("%-12s %6d %6d %6d %6d %6d %7d" % ("all", total["runs"], total["kills"], total["lost"],
                                              total["torn"], total["found"], total["litter"]))
    return 1 if total["lost"] or total["torn"] or total["litter"] else 0


if __name__ == "__main__":
    sys.exit(main())
