#!/usr/bin/env python3
"""Draws a polygon layer and a point layer, both GeoJSON, into one SVG picture (standard library
only): the polygons filled pale with dark borders, the points as small red dots. README's picture
of the states with their airports moved along is made with it:

    ogr2ogr -f GeoJSON states.json output/gpkg/states_cartogram.gpkg states_5
    ogr2ogr -f GeoJSON airports.json output/gpkg/states_cartogram.gpkg states_5_us_airports
    python3 scripts/draw-layers.py states.json airports.json map.svg
    rsvg-convert map.svg -o map.png

Usage: draw-layers.py POLYGONS.json POINTS.json OUT.svg [WIDTH]
"""
import json
import sys


def rings(geometry):
    if not geometry:
        return []
    if geometry["type"] == "Polygon":
        return geometry["coordinates"]
    if geometry["type"] == "MultiPolygon":
        return [ring for polygon in geometry["coordinates"] for ring in polygon]
    return []


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    polygons = json.load(open(sys.argv[1]))["features"]
    points = json.load(open(sys.argv[2]))["features"]
    width = int(sys.argv[4]) if len(sys.argv) == 5 else 1200
    all_rings = [ring for feature in polygons for ring in rings(feature["geometry"])]
    xs = [p[0] for ring in all_rings for p in ring]
    ys = [p[1] for ring in all_rings for p in ring]
    if not xs:
        sys.exit("no polygon in " + sys.argv[1])
    margin = 10
    scale = (width - 2 * margin) / (max(xs) - min(xs))
    height = int((max(ys) - min(ys)) * scale + 2 * margin)

    def px(x):
        return margin + (x - min(xs)) * scale

    def py(y):
        return margin + (max(ys) - y) * scale

    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}">',
           '<rect width="100%" height="100%" fill="white"/>']
    for feature in polygons:
        d = "".join("M" + " L".join(f"{px(p[0]):.2f},{py(p[1]):.2f}" for p in ring) + "Z"
                    for ring in rings(feature["geometry"]))
        if d:
            out.append(f'<path d="{d}" fill="#dfe6f0" stroke="#4a5a70" stroke-width="0.8" fill-rule="evenodd"/>')
    for feature in points:
        geometry = feature["geometry"]
        if geometry and geometry["type"] == "Point":
            x, y = geometry["coordinates"][:2]
            out.append(f'<circle cx="{px(x):.1f}" cy="{py(y):.1f}" r="1.6" fill="#d02020"/>')
    out.append("</svg>")
    with open(sys.argv[3], "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
