#!/usr/bin/env python3
"""Writes a solid red 8-bit RGB PNG of SIDE x SIDE pixels, row by row.

    write_huge_png.py PATH SIDE

Image tools hold such a picture uncompressed (several times over); this
streams it through zlib, so a 15000x15000 file costs seconds and little
memory.
"""
import struct
import sys
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def main():
    path, side = sys.argv[1], int(sys.argv[2])
    row = b'\0' + bytes([255, 0, 0]) * side  # filter "none", then the pixels
    packer = zlib.compressobj(9)
    parts = [packer.compress(row) for _ in range(side)]
    parts.append(packer.flush())
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n')
        out.write(chunk(b'IHDR', struct.pack('>IIBBBBB', side, side, 8, 2, 0, 0, 0)))
        out.write(chunk(b'IDAT', b''.join(parts)))
        out.write(chunk(b'IEND', b''))


if __name__ == '__main__':
    main()
