#!/usr/bin/python3
"""srtm.qlp side by side with GDAL, in one run, and the ratios (run by bench/compare.sh).

  conversion   `srtm compress` against `gdal_translate -co COMPRESS=DEFLATE -co PREDICTOR=2
               -co TILED=YES`: one synthetic tile of each kind (compare_compress_gdal.sh),
               the real tile, and 16 SRTM-3 tiles one at a time and two at a time (srtm
               compress --jobs 1 and 2; GDAL one process after another, and two at once).
               Whole processes, best of RUNS, tiles in the page cache; sizes of the files.
  window reads HgtTile::ReadBlock (hgt_bench, fill off: GDAL does not fill) against GDAL
               reading the same 320 x 320 windows (compare_read_gdal.py): a fresh .hgt,
               and a VRT of the four tiles kept open.
  void filling the compression fill of a whole tile (xem_bench BM_Fill) against GDAL's
               FillNodata on the same tile in memory (the algorithm of gdal_fillnodata),
               and the gdal_fillnodata program as a whole process.
Ratios are GDAL's time over ours (above 1: srtm.qlp is faster) and our size over GDAL's.

  compare.py BUILD_DIR RUNS
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GDAL_OPTIONS = ["-co", "COMPRESS=DEFLATE", "-co", "PREDICTOR=2", "-co", "TILED=YES"]


def best_of(runs, command):
    """Best wall time of `runs` runs of a command, in seconds."""
    return best_of_each(runs, [command])[0]


def best_of_each(runs, commands):
    """Best wall time of each command over `runs` rounds that run them one after another,
    so that every command meets the same machine (another program's load comes and goes)."""
    best = [None] * len(commands)
    for _ in range(runs):
        for i, command in enumerate(commands):
            start = time.perf_counter()
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            elapsed = time.perf_counter() - start
            best[i] = elapsed if best[i] is None else min(best[i], elapsed)
    return best


def benchmark(program, pattern):
    """Real times in microseconds of a Google Benchmark program's runs matching `pattern`."""
    out = subprocess.run([program, "--benchmark_filter=" + pattern, "--benchmark_min_time=1",
                          "--benchmark_format=json"], check=True, capture_output=True, text=True).stdout
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
    return {b["name"]: b["real_time"] * scale[b["time_unit"]] for b in json.loads(out)["benchmarks"]}


def warm(path):
    with open(path, "rb") as f:
        while f.read(1 << 20):
            pass


def gdal_fillnodata_program():
    for name in ("gdal_fillnodata", "gdal_fillnodata.py"):
        if shutil.which(name):
            return name
    return None


def main():
    build, runs = sys.argv[1], int(sys.argv[2])
    binary = os.path.join(build, "bin")
    srtm = os.path.join(binary, "srtm")
    ratios = []  # (what, our number, GDAL's number, unit, ratio)
    work = tempfile.mkdtemp(prefix="srtm-compare-")
    try:
        # ---- conversion ----
        print("== conversion: srtm compress against gdal_translate (DEFLATE, PREDICTOR=2, TILED)", flush=True)
        table = subprocess.run(["bash", os.path.join(HERE, "compare_compress_gdal.sh"), build, str(runs)],
                               check=True, capture_output=True, text=True).stdout
        print(table, end="")
        for line in table.splitlines():
            m = re.match(r"(srtm[13])\s+([\d.]+)\s+([\d.]+)\s+[\d.]+x\s+(\d+)\s+(\d+)", line)
            if m:
                kind = "SRTM-" + m.group(1)[-1]
                ours, gdal = float(m.group(2)), float(m.group(3))
                ratios.append(("convert one synthetic %s tile" % kind, ours, gdal, "s", gdal / ours))
                ratios.append(("  its size (XEM / GeoTIFF)", int(m.group(4)), int(m.group(5)), "bytes",
                               int(m.group(4)) / int(m.group(5))))

        subprocess.run([os.path.join(binary, "xem_bench"), "--make-tiles", os.path.join(work, "gen")], check=True)
        real = os.path.join(HERE, "..", "tests", "data", "N57E011.hgt")
        os.makedirs(os.path.join(work, "real"))
        shutil.copy(real, os.path.join(work, "real", "N57E011.hgt"))
        warm(real)
        t_ours = best_of(runs, [srtm, "compress", os.path.join(work, "real", "N57E011.hgt"), "-o", work, "--quiet"])
        t_gdal = best_of(runs, ["gdal_translate", "-q"] + GDAL_OPTIONS + [real, os.path.join(work, "real.tif")])
        size_xem = os.path.getsize(os.path.join(work, "N57E011.xem"))
        size_tif = os.path.getsize(os.path.join(work, "real.tif"))
        print("real    %12.3f %12.3f %7.1fx %14d %14d   (tests/data/N57E011.hgt)" %
              (t_ours, t_gdal, t_gdal / t_ours, size_xem, size_tif))
        ratios.append(("convert the real SRTM-3 tile", t_ours, t_gdal, "s", t_gdal / t_ours))
        ratios.append(("  its size (XEM / GeoTIFF)", size_xem, size_tif, "bytes", size_xem / size_tif))

        # Sixteen SRTM-3 tiles: one at a time and two at a time, on both sides.
        sixteen = os.path.join(work, "sixteen")
        os.makedirs(sixteen)
        terrain = os.path.join(work, "gen", "srtm3", "N30E010.hgt")
        names = []
        for lat in range(30, 34):
            for lon in range(10, 14):
                name = "N%02dE%03d.hgt" % (lat, lon)
                shutil.copy(terrain, os.path.join(sixteen, name))
                warm(os.path.join(sixteen, name))
                names.append(name)
        commands = []
        for jobs in (1, 2):
            out = os.path.join(work, "xem%d" % jobs)
            tif = os.path.join(work, "tif%d" % jobs)
            os.makedirs(out)
            os.makedirs(tif)
            commands.append([srtm, "compress", sixteen, "-o", out, "--jobs", str(jobs), "--quiet"])
            commands.append(["bash", "-c", "printf '%%s\\n' %s | xargs -P %d -I{} gdal_translate -q %s %s/{} %s/{}.tif" %
                             (" ".join(names), jobs, " ".join(GDAL_OPTIONS), sixteen, tif)])
        # More rounds here: the two thread counts are compared with each other.
        t = best_of_each(max(runs, 10), commands)
        times = {("srtm", 1): t[0], ("gdal", 1): t[1], ("srtm", 2): t[2], ("gdal", 2): t[3]}
        same = all(open(os.path.join(work, "xem1", n[:-4] + ".xem"), "rb").read() ==
                   open(os.path.join(work, "xem2", n[:-4] + ".xem"), "rb").read() for n in names)
        print("16 SRTM-3 tiles: srtm --jobs 1 %.3f s, --jobs 2 %.3f s (%.2fx; files %s); "
              "GDAL one at a time %.3f s, two at a time %.3f s" %
              (times["srtm", 1], times["srtm", 2], times["srtm", 1] / times["srtm", 2],
               "identical" if same else "DIFFERENT", times["gdal", 1], times["gdal", 2]))
        ratios.append(("16 SRTM-3 tiles, 1 at a time", times["srtm", 1], times["gdal", 1], "s",
                       times["gdal", 1] / times["srtm", 1]))
        ratios.append(("16 SRTM-3 tiles, 2 at a time", times["srtm", 2], times["gdal", 2], "s",
                       times["gdal", 2] / times["srtm", 2]))
        ratios.append(("  srtm --jobs 1 / --jobs 2", times["srtm", 1], times["srtm", 2], "s",
                       times["srtm", 1] / times["srtm", 2]))

        # ---- window reads ----
        print("\n== window reads: HgtTile::ReadBlock against GDAL on the same 320 x 320 windows", flush=True)
        ours = benchmark(os.path.join(binary, "hgt_bench"), "ReadBlock")
        for name, us in ours.items():
            print("srtm.qlp %-40s %8.1f us" % (name, us))
        gdal_out = subprocess.run(["/usr/bin/python3", os.path.join(HERE, "compare_read_gdal.py")], check=True,
                                  capture_output=True, text=True).stdout
        print(gdal_out, end="")
        gdal = {}
        for line in gdal_out.splitlines():
            m = re.match(r"SRTM-(\d)\s+(.*?):\s+([\d.]+) us", line)
            if m:
                gdal[int(m.group(1)), m.group(2)] = float(m.group(3))
        for kind in (3, 1):
            inside = ours["BM_ReadBlock/kind:%d/fill:0/straddle:0" % kind]
            straddle = ours["BM_ReadBlock/kind:%d/fill:0/straddle:1" % kind]
            for what, mine, key in (("one tile, GDAL opening the .hgt afresh", inside, "fresh .hgt, window inside one tile"),
                                    ("one tile, GDAL's VRT kept open", inside, "vrt kept open, window inside one tile"),
                                    ("four tiles, GDAL's VRT kept open", straddle, "vrt kept open, window over four tiles")):
                theirs = gdal[kind, key]
                ratios.append(("read SRTM-%d window, %s" % (kind, what), mine, theirs, "us", theirs / mine))

        # ---- void filling ----
        print("\n== void filling: the compression fill against GDAL's FillNodata", flush=True)
        fills = benchmark(os.path.join(binary, "xem_bench"), "BM_Fill/")
        sys.path.insert(0, HERE)
        from osgeo import gdal as osgeo_gdal
        osgeo_gdal.UseExceptions()
        program = gdal_fillnodata_program()
        for kind, side in ((3, 1201), (1, 3601)):
            tile = os.path.join(work, "gen", "srtm%d" % kind, "N30E010.hgt")
            source = osgeo_gdal.Open(tile)
            best = None
            for _ in range(runs):
                copy = osgeo_gdal.GetDriverByName("MEM").CreateCopy("", source)
                start = time.perf_counter()
                osgeo_gdal.FillNodata(copy.GetRasterBand(1), None, maxSearchDist=100, smoothingIterations=0)
                elapsed = time.perf_counter() - start
                best = elapsed if best is None else min(best, elapsed)
            mine = fills["BM_Fill/%d" % side] / 1e6
            line = "SRTM-%d tile: srtm.qlp %.1f ms, GDAL FillNodata %.1f ms" % (kind, mine * 1e3, best * 1e3)
            ratios.append(("fill the voids of an SRTM-%d tile (in memory)" % kind, mine * 1e3, best * 1e3, "ms",
                           best / mine))
            if program:
                filled = os.path.join(work, "filled%d.tif" % kind)
                whole = best_of(runs, [program, "-q", "-md", "100", tile, filled])
                line += ", %s as a program %.0f ms" % (program, whole * 1e3)
            print(line)

        # ---- ratios ----
        print("\n== Ratios: GDAL's time / srtm.qlp's (above 1: srtm.qlp faster); sizes: XEM / GeoTIFF")
        for what, mine, theirs, unit, ratio in ratios:
            fmt = "%-58s %10.3f %10.3f %-5s %6.2f" if unit != "bytes" else "%-58s %10d %10d %-5s %6.2f"
            print(fmt % (what, mine, theirs, unit, ratio))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
