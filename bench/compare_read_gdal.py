#!/usr/bin/python3
"""Times GDAL on the windows that hgt_bench times HgtTile::ReadBlock on.

Four synthetic tiles (N00E000, N00E001, N01E000, N01E001) of one kind are written to a
temporary folder; then, for each kind:
  * "fresh .hgt": open N00E000.hgt, read the 320 x 320 window that lies inside it
    (our block: map rows 160..479 and columns 320..639 of the tile), close; and
  * "vrt kept open": a default gdalbuildvrt mosaic of the four tiles, opened once, read
    at the window inside N00E000 and at the window that straddles all four tiles
    (80 rows and 240 columns of N00E000, ...), the block cache flushed before each read
    so that no read is served from GDAL's cache (our reads cache nothing either).
Prints the mean time per read in microseconds.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np
from osgeo import gdal

gdal.UseExceptions()


def make_tile(side, seed):
    r = np.arange(side, dtype=np.float64)[:, None]
    c = np.arange(side, dtype=np.float64)[None, :]
    h = 400 + 300 * np.sin(r / 97.0 + seed) * np.cos(c / 131.0) + (r * 7 + c * 3) % 23
    h = h.astype(np.int16)
    rng = np.random.default_rng(seed)
    for r0, c0 in rng.integers(0, side - 4, size=(h.size // 100 // 16, 2)):
        h[r0:r0 + 4, c0:c0 + 4] = -32768
    return h.astype(">i2").tobytes()


def timed(fn, seconds=1.0):
    fn()  # warm up
    count, start = 0, time.perf_counter()
    while True:
        fn()
        count += 1
        elapsed = time.perf_counter() - start
        if elapsed >= seconds and count >= 20:
            return elapsed / count * 1e6


def main():
    folder = tempfile.mkdtemp(prefix="srtm-gdal-compare-")
    try:
        for kind, side in ((3, 1201), (1, 3601)):
            span = side - 1
            paths = []
            seed = 1
            for lat in (0, 1):
                for lon in (0, 1):
                    path = os.path.join(folder, "N%02dE%03d.hgt" % (lat, lon))
                    with open(path, "wb") as f:
                        f.write(make_tile(side, seed))
                    seed += 1
                    paths.append(path)
            vrt = os.path.join(folder, "mosaic%d.vrt" % kind)
            subprocess.run(["gdalbuildvrt", "-q", vrt] + paths, check=True)

            # The windows of hgt_bench, in GDAL's rows (north first) and columns.
            first_row = (90 * span + 319) // 320 * 320 - 90 * span  # from the tile's south
            first_col = ((180 * span + 319) // 320) * 320 - 180 * span
            inside_tile = (first_col, span - (first_row + 319))
            straddle_row = (90 * span + span) // 320 * 320 - 90 * span  # from (0,0)'s south
            straddle_col = (180 * span + span) // 320 * 320 - 180 * span
            # The mosaic is 2 x span + 1 samples high; its row of tile (0,0)'s southern row is 2 x span.
            inside_vrt = (first_col, 2 * span - (first_row + 319))
            straddle_vrt = (straddle_col, 2 * span - (straddle_row + 319))

            tile = os.path.join(folder, "N00E000.hgt")

            def fresh():
                ds = gdal.Open(tile)
                ds.GetRasterBand(1).ReadAsArray(inside_tile[0], inside_tile[1], 320, 320)
                ds = None

            mosaic = gdal.Open(vrt)
            band = mosaic.GetRasterBand(1)

            def from_vrt(window):
                def read():
                    mosaic.FlushCache()
                    band.ReadAsArray(window[0], window[1], 320, 320)
                return read

            name = "SRTM-%d" % kind
            print("%s  fresh .hgt, window inside one tile:     %8.1f us" % (name, timed(fresh)))
            print("%s  vrt kept open, window inside one tile:  %8.1f us" % (name, timed(from_vrt(inside_vrt))))
            print("%s  vrt kept open, window over four tiles:  %8.1f us" % (name, timed(from_vrt(straddle_vrt))))
            mosaic = band = None
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
