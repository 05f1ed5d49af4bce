"""PNG encoding for the pictures drawn at build time (the program icon, the button pictures)."""
import struct
import zlib


def encode_rgba(width, height, raw):
    """An 8-bit RGBA PNG; `raw` holds the rows top to bottom, each led by its filter byte."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
