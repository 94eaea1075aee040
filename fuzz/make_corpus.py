#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora: fuzz/corpus/report and fuzz/corpus/picture.

Reports: PIE and PIF reports, one without a marker, one cut short, one with
a line longer than a 1023-byte read, odd figure texts. Pictures: the 17
bytes of figures the picture target reads first, then a BMP: valid ones of
several sizes, and one for each reason a picture is refused.
"""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CELL = '<td align="right">'  # 18 bytes of markup before each value


def report(marker, figures, line5=''):
    lines = ['<html><body><table><tr>', marker]
    for n in range(1, 11):
        value = {1: figures[0], 2: figures[1], 3: figures[2], 10: figures[3]}.get(n, '-')
        lines.append(CELL + (line5 if n == 5 else '') + value + '</td>')
    return ('\n'.join(lines) + '\n</tr></table></body></html>\n').encode()


PIE = '<td width="86">PIE</td>'
PIF = '<td width="86">PIF</td>'
REPORTS = {
    'pie.html': report(PIE, ['1.23', '7', '12345', '0']),
    'pif.html': report(PIF, ['0.29', '1,234', '-5', '99999']),
    'odd_figures.html': report(PIE, [' -.5e3x', '2147483648', '', '1e9']),
    'long_line.html': report(PIF, ['3', '4', '5', '6'], line5=' ' * 1500),
    'no_marker.html': b' ' + report(PIE, ['1', '2', '3', '4']),
    'cut.html': report(PIE, ['1', '2', '3', '4'])[:120],
}


def bmp(width, height, info=40, bits=24, compression=0, height_field=None, cut=0):
    row = 3 * (width + 1)
    pixels = bytes((x * 7 + y * 13) & 0xFF for y in range(height) for x in range(row))
    size = 54 + len(pixels)
    header = b'BM' + struct.pack('<IHHI', size, 0, 0, 54)
    header += struct.pack('<IiiHHIIiiII', info, width,
                          height if height_field is None else height_field,
                          1, bits, compression, len(pixels), 2835, 2835, 0, 0)
    data = header + pixels
    return data[:len(data) - cut] if cut else data


def figures(average, maximum, total, pof, mode):
    return struct.pack('<fiiiB', average, maximum, total, pof, mode)


PICTURES = {
    'small_pie': figures(1.23, 7, 12345, 0, 1) + bmp(3, 1),
    'mid_pif': figures(0.29, 4567, 12345678, 99999, 2) + bmp(95, 20),
    'graph_rows': figures(123.45, 0, 1, 2, 1) + bmp(467, 4),
    'tall': figures(9999.99, 9999, 99999999, 99999, 3) + bmp(7, 340),
    'odd_figures': figures(float('inf'), -1, 2**31 - 1, -2**31, 1) + bmp(11, 3),
    'lower_bm': figures(1, 1, 1, 1, 1) + b'bm' + bmp(3, 2)[2:],
    'core_header': figures(1, 1, 1, 1, 1) + bmp(3, 2, info=12),
    'bits32': figures(1, 1, 1, 1, 1) + bmp(3, 2, bits=32),
    'rle': figures(1, 1, 1, 1, 1) + bmp(3, 2, compression=1),
    'width466': figures(1, 1, 1, 1, 1) + bmp(466, 1),
    'top_down': figures(1, 1, 1, 1, 1) + bmp(3, 2, height_field=-2),
    'height341': figures(1, 1, 1, 1, 1) + bmp(3, 2, height_field=341),
    'cut_pixels': figures(1, 1, 1, 1, 1) + bmp(3, 2, cut=1),
}


def write(folder, files):
    path = os.path.join(HERE, 'corpus', folder)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    for name, data in files.items():
        with open(os.path.join(path, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    write('report', REPORTS)
    write('picture', PICTURES)
