#!/usr/bin/python3
"""What a command of the srtm tool pays before it does anything (run by bench/compare.sh):
whole processes, timed RUNS times each in turns (so that every one meets the same
machine), median and best in milliseconds, and the shared libraries each loads.

  srtm --version              start-up alone
  srtm compress TILE          one small conversion (the bundled SRTM-3 tile, mostly sea)
  qlphost --help              the stand-in host, for reference (no GDAL ever)

With SRTM_BEFORE=PATH (an srtm of another build, such as one that linked GDAL) the
same for it, side by side.

  compare_startup.py BUILD_DIR RUNS
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TILE = os.path.join(HERE, "..", "tests", "data", "N57E011.hgt")


def libraries(program):
    out = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
    return sum(1 for line in out.splitlines() if "=>" in line or line.strip().startswith("/"))


def main():
    build, runs = sys.argv[1], max(int(sys.argv[2]), 20)
    binary = os.path.join(build, "bin")
    programs = [("srtm", os.path.join(binary, "srtm"))]
    if os.environ.get("SRTM_BEFORE"):
        programs.append(("srtm before", os.environ["SRTM_BEFORE"]))
    work = tempfile.mkdtemp(prefix="srtm-startup-")
    try:
        tiles = os.path.join(work, "tiles")
        os.makedirs(tiles)
        shutil.copy(TILE, tiles)
        commands = []  # (label, command)
        for name, srtm in programs:
            out = os.path.join(work, name.replace(" ", "-"))
            os.makedirs(out)
            commands.append(("%s --version" % name, [srtm, "--version"]))
            commands.append(("%s compress N57E011.hgt" % name,
                             [srtm, "compress", os.path.join(tiles, "N57E011.hgt"), "-o", out, "--quiet"]))
        commands.append(("qlphost --help (reference)", [os.path.join(binary, "qlphost"), "--help"]))
        times = [[] for _ in commands]
        for _ in range(runs):
            for i, (_, command) in enumerate(commands):
                start = time.perf_counter()
                subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                times[i].append((time.perf_counter() - start) * 1e3)
        print("%-34s %10s %10s %10s" % ("", "median ms", "best ms", "libraries"))
        for (label, command), t in zip(commands, times):
            print("%-34s %10.2f %10.2f %10d" % (label, statistics.median(t), min(t), libraries(command[0])))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
