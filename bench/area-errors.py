#!/usr/bin/env python3
"""Area errors of a cartogram, measured from its files alone (standard library only).

Usage: area-errors.py INPUT.shp OUTPUT.shp FIELD

Reads the polygons' areas from OUTPUT.shp and the sizes from FIELD of OUTPUT.dbf (the run copies
the input's table). A polygon whose area in INPUT.shp is zero, negative or not finite, or whose
size is not positive, is left out, as the run leaves it out of its measures. Each remaining
polygon's desired area is its share of the sizes times the total area of those polygons.

Prints one line: measured polygons, the weighted mean error (the run's own measure: the mean of
|r - 1| / (r + 1) with r = desired / actual area, weighted by the actual area), and the largest
plain relative error |actual / desired - 1| over the polygons whose desired area is above
0.01 % of the total, with that polygon's record number (from 1; "inf" when that polygon has no
or a negative area), and how many polygons that had to grow ended below a tenth of their input
area: crushed by their neighbours, which the weighted mean hardly sees.
"""
import math
import struct
import sys


def polygon_areas(path):
    """Signed-sum area of every record: outer rings run clockwise, holes counter-clockwise."""
    with open(path, "rb") as f:
        data = f.read()
    areas = []
    offset = 100
    while offset + 8 <= len(data):
        _, length = struct.unpack(">ii", data[offset:offset + 8])
        content = data[offset + 8:offset + 8 + 2 * length]
        offset += 8 + 2 * length
        shape_type = struct.unpack("<i", content[:4])[0] if len(content) >= 4 else 0
        if shape_type not in (5, 15, 25):
            areas.append(0.0)
            continue
        parts, points = struct.unpack("<ii", content[36:44])
        starts = list(struct.unpack("<%di" % parts, content[44:44 + 4 * parts])) + [points]
        base = 44 + 4 * parts
        xy = struct.unpack("<%dd" % (2 * points), content[base:base + 16 * points])
        total = 0.0
        for p in range(parts):
            ring = 0.0
            for k in range(starts[p], starts[p + 1] - 1):
                x0, y0, x1, y1 = xy[2 * k], xy[2 * k + 1], xy[2 * k + 2], xy[2 * k + 3]
                ring += x0 * y1 - x1 * y0
            total -= ring / 2.0  # clockwise outer rings have a negative shoelace sum
        areas.append(total)
    return areas


def field_values(path, name):
    with open(path, "rb") as f:
        data = f.read()
    records, header_size, record_size = struct.unpack("<IHH", data[4:12])
    fields = []
    pos, start = 32, 1
    while data[pos] != 0x0D:
        field_name = data[pos:pos + 11].split(b"\0")[0].decode("latin-1")
        size = data[pos + 16]
        fields.append((field_name, start, size))
        start += size
        pos += 32
    match = [f for f in fields if f[0].upper() == name.upper()]
    if not match:
        sys.exit("no field %s in %s" % (name, path))
    _, at, size = match[0]
    values = []
    for r in range(records):
        raw = data[header_size + r * record_size + at:header_size + r * record_size + at + size]
        try:
            values.append(float(raw.decode("latin-1").strip()))
        except ValueError:
            values.append(0.0)
    return values


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    source, result, field = sys.argv[1:]
    before = polygon_areas(source)
    after = polygon_areas(result)
    sizes = field_values(result[:-4] + ".dbf", field)
    if not (len(before) == len(after) == len(sizes)):
        sys.exit("record counts differ: %d, %d, %d" % (len(before), len(after), len(sizes)))
    kept = [i for i in range(len(after))
            if math.isfinite(before[i]) and before[i] > 0 and sizes[i] > 0]
    total_area = sum(after[i] for i in kept)
    total_size = sum(sizes[i] for i in kept)
    total_before = sum(before[i] for i in kept)
    weighted = 0.0
    worst, worst_record = 0.0, 0
    crushed = 0
    for i in kept:
        desired = total_area * sizes[i] / total_size
        if desired > before[i] * total_area / total_before and after[i] < before[i] / 10:
            crushed += 1
        if after[i] <= 0:
            worst, worst_record = math.inf, i + 1
            continue
        r = desired / after[i]
        weighted += abs(r - 1) / (r + 1) * after[i]
        if desired > 1e-4 * total_area:
            relative = abs(after[i] / desired - 1)
            if relative > worst:
                worst, worst_record = relative, i + 1
    weighted /= total_area
    print("measured %d of %d, weighted %.6f, max relative %.6f (record %d), crushed %d"
          % (len(kept), len(after), weighted, worst, worst_record, crushed))


if __name__ == "__main__":
    main()
