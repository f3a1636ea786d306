"""The PNG writer of the icon scripts: RGBA pixels from a function, standard
library only, so that anyone can redraw the pictures."""
import struct
import zlib


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, width, height, pixel):
    """Writes pixel(x, y) -> (r, g, b, a) for every pixel into path."""
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y))
                    for y in range(height))
    png = (b"\x89PNG\r\n\x1a\n" +
           _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
           _chunk(b"IDAT", zlib.compress(rows, 9)) + _chunk(b"IEND", b""))
    path.write_bytes(png)
