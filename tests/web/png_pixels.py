#!/usr/bin/env python3
"""png_pixels.py DIR1 DIR2: the same PNG files by name in both, each whole (every chunk's CRC
right) and decoding to the same pixels, whatever the compressed bytes."""
import os
import struct
import sys
import zlib


def pixels(path):
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError(f'{path}: no PNG signature')
    at, header, packed = 8, None, b''
    while at < len(data):
        size, kind = struct.unpack('>I4s', data[at:at + 8])
        body = data[at + 8:at + 8 + size]
        if struct.unpack('>I', data[at + 8 + size:at + 12 + size])[0] != zlib.crc32(kind + body):
            raise ValueError(f'{path}: bad CRC in {kind}')
        if kind == b'IHDR':
            header = body
        elif kind == b'IDAT':
            packed += body
        at += 12 + size
    return header, zlib.decompress(packed)


def main(first, second):
    names = sorted(os.listdir(first))
    if not names or names != sorted(os.listdir(second)):
        print(f'different files: {names} and {sorted(os.listdir(second))}')
        return 1
    for name in names:
        if pixels(os.path.join(first, name)) != pixels(os.path.join(second, name)):
            print(f'{name}: other pixels')
            return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:]))
