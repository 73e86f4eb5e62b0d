"""The reference files of the decoding tests: per image file, its name, its
bytes, its width and height, and a peer's decoding of it as ARGB words, all
little-endian."""
import struct


def write_entry(out, name, data, width, height, argb):
    encoded = name.encode()
    out.write(struct.pack("<I", len(encoded)) + encoded)
    out.write(struct.pack("<I", len(data)) + data)
    out.write(struct.pack("<II", width, height))
    out.write(struct.pack("<%dI" % len(argb), *argb))
