#!/usr/bin/env python3
"""Writes the corrupt-file catalogue: one small damaged file per check the readers make, each
beside a sound companion where the reader needs one (a .shp beside a damaged .dbf, an author
table beside a damaged citation table, and so on).
The files are committed; this script documents how they were made and can make them again:
    python3 tests/data/corrupt/make-catalogue.py
What each case must give is listed in catalogue.tsv beside it."""
import io
import json
import os
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def square(left, bottom, side=1.0):
    # Clockwise ring, closed: the outer-ring orientation of the shapefile format.
    return [(left, bottom), (left, bottom + side), (left + side, bottom + side), (left + side, bottom), (left, bottom)]


def polygon_record(number, rings, shape_type=5, parts=None, num_parts=None, num_points=None):
    points = [p for ring in rings for p in ring]
    if parts is None:
        parts, start = [], 0
        for ring in rings:
            parts.append(start)
            start += len(ring)
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    content = struct.pack('<i4d', shape_type, min(xs), min(ys), max(xs), max(ys))
    content += struct.pack('<ii', len(parts) if num_parts is None else num_parts,
                           len(points) if num_points is None else num_points)
    content += struct.pack('<%di' % len(parts), *parts)
    content += b''.join(struct.pack('<2d', x, y) for x, y in points)
    return struct.pack('>ii', number, len(content) // 2) + content


def shp_file(records, shape_type=5, code=9994, version=1000, length_words=None):
    body = b''.join(records)
    words = (100 + len(body)) // 2 if length_words is None else length_words
    header = struct.pack('>i5ii', code, 0, 0, 0, 0, 0, words)
    header += struct.pack('<ii4d4d', version, shape_type, 0.0, 0.0, 3.0, 1.0, 0, 0, 0, 0)
    return header + body


def dbf_file(fields, rows, record_count=None, record_length=None, header_length=None):
    """fields: (name, type, width, decimals); rows: lists of values as text."""
    length = 1 + sum(f[2] for f in fields)
    head_len = 32 + 32 * len(fields) + 1
    header = struct.pack('<BBBBIHH20x', 3, 126, 12, 6, len(rows) if record_count is None else record_count,
                         head_len if header_length is None else header_length,
                         length if record_length is None else record_length)
    for name, kind, width, decimals in fields:
        header += struct.pack('<11sc4xBB14x', name.encode(), kind.encode(), width, decimals)
    header += b'\r'
    body = b''
    for row in rows:
        body += b' '
        for (name, kind, width, decimals), value in zip(fields, row):
            body += value.rjust(width).encode()[:width]
    return header + body + b'\x1a'


POP = [('NAME', 'C', 8, 0), ('POP', 'N', 10, 0)]


def pop_rows(values):
    return [['S%d' % (i + 1), str(v)] for i, v in enumerate(values)]


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def main():
    two = [polygon_record(1, [square(0, 0)]), polygon_record(2, [square(1, 0)])]
    good_shp = shp_file(two)
    good_dbf = dbf_file(POP, pop_rows([100, 300]))

    # Shapefile header checks.
    write('short_header.shp', good_shp[:60])
    write('wrong_file_code.shp', shp_file(two, code=1234))
    write('length_mismatch.shp', shp_file(two, length_words=999))
    write('wrong_version.shp', shp_file(two, version=999))
    write('unknown_type.shp', shp_file(two, shape_type=31))
    # Shapefile record checks.
    write('truncated_record_header.shp', shp_file(two + [struct.pack('>i', 3)]))
    long_record = bytearray(two[1])
    struct.pack_into('>i', long_record, 4, 100000)
    write('record_longer_than_file.shp', shp_file([two[0], bytes(long_record)]))
    write('wrong_record_type.shp', shp_file([two[0], polygon_record(2, [square(1, 0)], shape_type=3)]))
    write('truncated_box.shp', shp_file([two[0], two[1][:8 + 4 + 16]]))
    write('negative_counts.shp', shp_file([two[0], polygon_record(2, [square(1, 0)], num_points=-5)]))
    write('parts_past_end.shp', shp_file([two[0], polygon_record(2, [square(1, 0)], num_points=5000)]))
    write('descending_parts.shp',
          shp_file([two[0], polygon_record(2, [square(1, 0), square(1.2, 0.2, 0.5)], parts=[5, 0])]))
    for name in ('short_header', 'wrong_file_code', 'length_mismatch', 'wrong_version', 'unknown_type',
                 'truncated_record_header', 'record_longer_than_file', 'wrong_record_type', 'truncated_box',
                 'negative_counts', 'parts_past_end', 'descending_parts'):
        write(name + '.dbf', good_dbf)

    # Attribute-table checks, each beside a sound two-polygon shapefile.
    tables = {
        'dbf_fields_wider_than_record': dbf_file(POP, pop_rows([100, 300]), record_length=12),
        'dbf_more_records_than_file': dbf_file(POP, pop_rows([100, 300]), record_count=40),
        'dbf_short_header': good_dbf[:20],
        'dbf_header_length_past_end': dbf_file(POP, pop_rows([100, 300]), header_length=60000),
        'dbf_fewer_records_than_shapes': dbf_file(POP, pop_rows([100])),
        'dbf_more_records_than_shapes': dbf_file(POP, pop_rows([100, 300, 500])),
        'dbf_negative_size': dbf_file(POP, pop_rows([100, -300])),
        'dbf_all_sizes_zero': dbf_file(POP, pop_rows([0, 0])),
    }
    # Headers whose record counts the file cannot hold, however large the claim.
    for claimed in (4294967295, 20000000):
        tables['dbf_claims_%d_records' % claimed] = dbf_file(POP, pop_rows([100, 300]), record_count=claimed)
    for name, table in tables.items():
        write(name + '.shp', good_shp)
        write(name + '.dbf', table)

    # Sizes that are missing: empty, the dBase null and text, beside a sound one.
    four = two + [polygon_record(3, [square(2, 0)]), polygon_record(4, [square(3, 0)])]
    write('dbf_missing_sizes.shp', shp_file(four))
    write('dbf_missing_sizes.dbf', dbf_file(POP, [['S1', '100'], ['S2', ''], ['S3', '*' * 10], ['S4', 'abc']]))

    # One record of 1990 squares 0.00025 wide (in degrees, about 25 m), smaller than the default
    # near-duplicate tolerance of 0.001, beside a larger square: no ring may collapse.
    tiny = [square(-100 + (k % 50) * 0.001, 40 + (k // 50) * 0.001, 0.00025) for k in range(1990)]
    write('tiny_rings.shp', shp_file([polygon_record(1, tiny), polygon_record(2, [square(-99.9, 40)])]))
    write('tiny_rings.dbf', dbf_file(POP, pop_rows([100, 300])))

    # Parameter files, used beside the sound shapefile.
    write('params_garbage.shp', good_shp)
    write('params_garbage.dbf', good_dbf)
    write('params_garbage.cartoparam', b'this is not\x00 a parameter file\n\xff\xfe\n4, 1\n')
    write('params_depth_too_large.shp', good_shp)
    write('params_depth_too_large.dbf', good_dbf)
    write('params_depth_too_large.cartoparam',
          b'-1, 1.05, 6, 9, 10, 0.01\n256, -1\n0, 1, 1\n4, 1, 2, 40, 0, 0, 16\n3, 0.333333, 3\n2, 0.001\n')


    # A named line with a name no parameter has, after a whole value block.
    write('params_unknown_name.shp', good_shp)
    write('params_unknown_name.dbf', good_dbf)
    write('params_unknown_name.cartoparam',
          b'-1, 1.05, 6, 9, 10, 0.01\n256, -1\n0, 1, 1\n4, 1, 2, 6, 0, 0, 16\n3, 0.333333, 3\n2, 0.001\n'
          b'flw_grid = 512\n')

    # Sizes at the ends of a double: two whose sum overflows, one too small beside them to be
    # measured. The shares are still finite and the small one gets the stand-in a 0 gets.
    three = two + [polygon_record(3, [square(2, 0)])]
    write('sizes_extreme.shp', shp_file(three))
    write('sizes_extreme.dbf', dbf_file(POP, [['S1', '1e308'], ['S2', '1e308'], ['S3', '1e-320']]))

    # Read through OGR. A ring that crosses itself, whose small lobe (holding its lowest points)
    # runs anticlockwise and whose large lobe, and so its area, runs clockwise, beside a square.
    crossing = [[4, 0], [6, 0], [4, 4], [0, 10], [10, 10], [6, 4], [4, 0]]
    write('ogr_self_crossing_ring.geojson', json.dumps({'type': 'FeatureCollection', 'features': [
        {'type': 'Feature', 'properties': {'NAME': 'lobes', 'POP': 100},
         'geometry': {'type': 'Polygon', 'coordinates': [crossing]}},
        {'type': 'Feature', 'properties': {'NAME': 'square', 'POP': 300},
         'geometry': {'type': 'Polygon', 'coordinates': [[[10, 0], [20, 0], [20, 10], [10, 10], [10, 0]]]}},
    ]}).encode())
    # A shapefile set in a zip archive, which is to be unpacked first.
    archive = io.BytesIO()
    with zipfile.ZipFile(archive, 'w') as z:
        for ending, data in (('.shp', good_shp), ('.dbf', good_dbf)):
            info = zipfile.ZipInfo('states' + ending, date_time=(2026, 1, 1, 0, 0, 0))
            z.writestr(info, data)
    write('zipped_shapefile.zip', archive.getvalue())

    # Text files: each holds sound lines and one damaged line, which the reader must name.
    flight_header = b'ORIGIN,DEST,ORIGIN_CITY,DEST_CITY,STATES,FLIGHTS\n'
    flight = b'ABE,ATL,Allentown,Atlanta,PA-GA,853\n'
    last_flight = b'BHM,CLE,Birmingham,Cleveland,AL-OH,4\n'
    flights = {
        'flights_missing_commas': b'ABE,ATL,Allentown,Atlanta PA-GA 12\n',
        'flights_nul_byte': b'ABE,ATL,Allen\x00town,Atlanta,PA-GA,12\n',
        'flights_invalid_utf8': b'ABE,ATL,Allentown,Atl\xe9nta,PA-GA,12\n',
        # One byte over the 65536 a line may hold.
        'flights_overlong_line': b'ABE,ATL,' + b'x' * (65536 - len(b'ABE,ATL,,PA-GA,12') + 1) + b',PA-GA,12\n',
        'flights_count_not_a_number': b'ABE,ATL,Allentown,Atlanta,PA-GA,twelve\n',
        'flights_negative_count': b'ABE,ATL,Allentown,Atlanta,PA-GA,-12\n',
        # Read, not damaged: an empty city is skipped, single-byte names are kept as their bytes.
        'flights_empty_city': b',ATL,Allentown,Atlanta,PA-GA,12\n',
        'flights_latin1_and_gbk': b'M\xfcnchen,\xc9\xcf\xba\xa3,Muenchen,Shanghai,DE-CN,12\n',
        # A name that would close its Graphviz label and add a link if written unescaped.
        'flights_crafted_name': b'X" URL="javascript:alert(1)" z=",O\'Hare \\ "Field",a,b,c,12\n',
    }
    for name, damaged in flights.items():
        write(name + '.flt', flight_header + flight + damaged + last_flight)
    # More damaged lines than a message names.
    write('flights_many_damaged_lines.flt', flight_header + flight + b''.join(
        flights[name] for name in ('flights_missing_commas', 'flights_nul_byte', 'flights_invalid_utf8',
                                   'flights_count_not_a_number', 'flights_missing_commas', 'flights_nul_byte',
                                   'flights_negative_count'))
          + last_flight)

    author_header = b'Name,First,Last\n'
    citation_header = b'Citing,Cited\n'
    write('citations_missing_commaAuthor.csv', author_header + b'"Smith, J.",1,2\n"Doe, A.",3,3\n')
    write('citations_missing_commaCitations.csv', citation_header + b'"Lee, K.",1 3\nLee K. 2\n')
    write('citations_nul_byteAuthor.csv', author_header + b'"Smith, J.",1,2\n"Doe,\x00A.",3,3\n')
    write('citations_nul_byteCitations.csv', citation_header + b'"Lee, K.",1 3\n')

    bibliography = b'AU: Smith J.\nAU: Doe A.\nPY: 2001\nJR: Graphs\n'
    write('bibliography_nul_byte.txt', bibliography + b'AU: Lee\x00K.\nPY: 2002\n')
    write('bibliography_invalid_utf8.txt', bibliography + b'AU: M\xfcller K.\nPY: 2002\n')
    write('bibliography_gbk.txt', bibliography + b'AU: \xd5\xc5\xc8\xfd\nAU: Lee K.\nPY: 2002\n')
    write('bibliography_crafted_name.txt',
          bibliography + b'AU: O"Brien, P.\nAU: x", URL="javascript:alert(1)\nAU: back\\slash\\\nPY: 2002\n')
    write('bibliography_blank_author.txt', bibliography + b'AU:     \nAU: Lee K.\nPY: 2002\n')


if __name__ == '__main__':
    main()
