#!/usr/bin/python3
"""The shapefile reader and the sample map layers against python3-pyshp, an independent
reader and writer: pyshp writes layers of every shape type that the project's reader must read
the same, and pyshp reads each sample layer with the counts and bounds the generator printed.

Arguments: the build folder and the source folder. Runs the Windows programs through
scripts/wine-run.sh."""
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile

import shapefile

BUILD, ROOT = sys.argv[1], sys.argv[2]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def wine(program, *args):
    run = subprocess.run([os.path.join(ROOT, "scripts", "wine-run.sh"), os.path.join(BUILD, "bin", program)] +
                         list(args), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=300)
    return run.returncode, run.stdout.decode("utf-8", "replace")


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def write_layers(folder):
    """Layers of every kind the map meets, written by pyshp."""
    layers = {}
    w = shapefile.Writer(os.path.join(folder, "polygon"), shapeType=shapefile.POLYGON)
    w.field("NAZEV", "C", 20)
    w.poly([[[0, 0], [0, 10], [10, 10], [10, 0], [0, 0]], [[3, 3], [7, 3], [7, 7], [3, 7], [3, 3]]])
    w.record("s dírou")
    w.null()
    w.record("prázdný")
    w.poly([[[20, 20], [20, 25], [25, 20], [20, 20]]])
    w.record("trojúhelník")
    w.close()
    layers["polygon"] = 3
    w = shapefile.Writer(os.path.join(folder, "polygonz"), shapeType=shapefile.POLYGONZ)
    w.field("N", "N", 5)
    w.polyz([[[0, 0, 5, 1], [0, 1, 6, 2], [1, 1, 7, 3], [0, 0, 5, 1]]])
    w.record(1)
    w.close()
    w = shapefile.Writer(os.path.join(folder, "polylinem"), shapeType=shapefile.POLYLINEM)
    w.field("N", "N", 5)
    w.linem([[[14.0, 50.0, 0.5], [14.5, 50.2, 1.5], [15.0, 50.1, 2.5]], [[16, 49, 3], [16.5, 49.5, 4]]])
    w.record(1)
    w.close()
    w = shapefile.Writer(os.path.join(folder, "multipoint"), shapeType=shapefile.MULTIPOINT)
    w.field("N", "N", 5)
    w.multipoint([[14.42, 50.08], [16.61, 49.19], [18.29, 49.83]])
    w.record(1)
    w.close()
    w = shapefile.Writer(os.path.join(folder, "point"), shapeType=shapefile.POINT)
    w.field("N", "N", 5)
    w.point(14.42, 50.08)
    w.record(1)
    w.null()
    w.record(2)
    w.point(-0.5, -33.25)
    w.record(3)
    w.close()
    w = shapefile.Writer(os.path.join(folder, "multipatch"), shapeType=shapefile.MULTIPATCH)
    w.field("N", "N", 5)
    w.multipatch([[[0, 0, 0], [1, 0, 0], [0, 1, 1], [1, 1, 1]], [[2, 2, 2], [3, 2, 2], [2, 3, 3]]],
                 partTypes=[shapefile.TRIANGLE_STRIP, shapefile.TRIANGLE_FAN])
    w.record(1)
    w.close()
    return ["polygon", "polygonz", "polylinem", "multipoint", "point", "multipatch"]


def close(a, b):
    return math.isclose(a, b, rel_tol=0, abs_tol=1e-9)


def compare_layer(folder, name):
    code, out = wine("shpdump.exe", windows_path(os.path.join(folder, name + ".shp")))
    lines = [json.loads(l) for l in out.splitlines() if l.strip()]
    check(code == 0 and lines and lines[0]["open"], name + ": our reader did not open it")
    if not lines or not lines[0].get("open"):
        return
    r = shapefile.Reader(os.path.join(folder, name))
    head = lines[0]
    check(head["count"] == len(r), "%s: %d records, pyshp %d" % (name, head["count"], len(r)))
    check(head["type"] == r.shapeType, "%s: type %d, pyshp %d" % (name, head["type"], r.shapeType))
    check(all(close(a, b) for a, b in zip(head["bbox"], r.bbox)), name + ": bounds differ")
    for i, (ours, theirs) in enumerate(zip(lines[1:], r.shapes())):
        where = "%s record %d" % (name, i)
        check(ours is not None, where + ": refused")
        if ours is None:
            continue
        check(ours["type"] == theirs.shapeType, where + ": type")
        points = theirs.points
        check(len(ours["x"]) == len(points), where + ": %d vertices, pyshp %d" % (len(ours["x"]), len(points)))
        check(all(close(x, p[0]) and close(y, p[1]) for x, y, p in zip(ours["x"], ours["y"], points)),
              where + ": vertices differ")
        parts = list(getattr(theirs, "parts", []))
        if theirs.shapeType in (shapefile.POINT, shapefile.MULTIPOINT, shapefile.NULL):
            parts = []
        check(ours["parts"] == parts, where + ": parts %s, pyshp %s" % (ours["parts"], parts))
        if hasattr(theirs, "z") and theirs.shapeType in (shapefile.POLYGONZ, shapefile.MULTIPATCH):
            check(all(close(a, b) for a, b in zip(ours["z"], theirs.z)), where + ": z differs")
        if theirs.shapeType in (shapefile.POLYLINEM, shapefile.POLYGONZ) and getattr(theirs, "m", None):
            check(all(close(a, b) for a, b in zip(ours["m"], theirs.m)), where + ": m differs")
        if theirs.shapeType == shapefile.MULTIPATCH:
            check(ours["partTypes"] == list(theirs.partTypes), where + ": part types")


def check_sample_map(folder):
    code, out = wine("ZorSampleMap.exe", "-o", windows_path(folder))
    check(code == 0, "ZorSampleMap failed")
    seen = 0
    for line in out.splitlines():
        # "<file>: <n> shapes, type <t>, <v> vertices, bounds <x0> <y0> <x1> <y1>"
        name, rest = line.split(": ", 1)
        words = rest.replace(",", "").split()
        count, kind, vertices = int(words[0]), int(words[3]), int(words[4])
        bounds = [float(v) for v in words[7:11]]
        r = shapefile.Reader(os.path.join(folder, name[:-4]))
        seen += 1
        check(len(r) == count, "%s: pyshp reads %d shapes, the generator wrote %d" % (name, len(r), count))
        check(r.shapeType == kind, "%s: pyshp type %d, the generator %d" % (name, r.shapeType, kind))
        check(all(abs(a - b) < 1e-6 for a, b in zip(r.bbox, bounds)), "%s: bounds %s, printed %s" % (name, r.bbox, bounds))
        check(sum(len(s.points) for s in r.shapes()) == vertices, name + ": vertex count")
        records = r.records()
        check(len(records) == count, name + ": one name per shape")
        check(all(rec[0].strip() for rec in records), name + ": every shape has a name")
    check(seen == 4, "the generator reported %d layers" % seen)
    names = [rec[0] for rec in shapefile.Reader(os.path.join(folder, "kraje")).records()]
    check("Středočeský kraj" in names, "region names: %s" % names)


def main():
    folder = tempfile.mkdtemp(prefix="zor_pyshp_")
    try:
        for name in write_layers(folder):
            compare_layer(folder, name)
        check_sample_map(os.path.join(folder, "mapa"))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for f in failures:
        print("FAILED:", f)
    print("pyshp comparison: %d failures" % len(failures))
    return 1 if failures else 0


sys.exit(main())
