#!/usr/bin/env python3
"""Draws the Orvandel mark and writes it as a Windows icon file.

The mark: a rounded square with a blue gradient, a white ring open at its upper right, and an
amber dot in the opening. The icon holds 15 images: 16, 32, 48 and 64 pixels at 4, 24 and 32 bits
per pixel as bitmaps, and three 256-pixel images stored as PNG (the 24- and 32-bit ones identical).

Usage: make_icon.py OUTPUT.ico [PREVIEW.png]
       make_icon.py --resources FOLDER
The second form writes the icon as the program's resources: each distinct image once
(icon_<id>.bin, so the two identical PNG images share one), the group that lists all 15
(group.bin), and icon.rc, which names them as RT_ICON and RT_GROUP_ICON IDI_ORVSETUP resources.
Only the standard library is used; the output is the same byte for byte on every run.
"""
import math
import os
import struct
import sys
import zlib

TOP = (0x2F, 0x74, 0xE0)     # gradient colour at the top of the square
BOTTOM = (0x17, 0x36, 0x8C)  # and at the bottom
WHITE = (0xFF, 0xFF, 0xFF)
AMBER = (0xFF, 0xB3, 0x1F)

BITMAP_SIZES = (64, 48, 32, 16)
PNG_SIZE = 256


def clamp01(value):
    return 0.0 if value < 0.0 else 1.0 if value > 1.0 else value


def coverage(distance):
    """Share of a pixel covered by a shape whose signed distance (in pixels) is given."""
    return clamp01(0.5 - distance)


def rounded_square_distance(x, y, half, radius):
    qx = abs(x) - (half - radius)
    qy = abs(y) - (half - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def render(size):
    """The mark as rows of (r, g, b, a) tuples with straight (not premultiplied) alpha, 0-255."""
    s = float(size)
    half = s / 2.0 - max(0.5, s / 40.0)
    corner = s * 0.22
    ring_radius = s * 0.25
    ring_width = max(1.6, s * 0.105)
    dot_angle = math.radians(-45.0)
    dot_x = ring_radius * math.cos(dot_angle)
    dot_y = ring_radius * math.sin(dot_angle)
    dot_radius = max(1.3, s * 0.085)
    gap_radius = dot_radius + max(1.0, s * 0.06)
    rows = []
    for row in range(size):
        line = []
        for col in range(size):
            x = col + 0.5 - s / 2.0
            y = row + 0.5 - s / 2.0
            alpha = coverage(rounded_square_distance(x, y, half, corner))
            if alpha == 0.0:
                line.append((0, 0, 0, 0))
                continue
            colour = mix(TOP, BOTTOM, clamp01((y + half) / (2.0 * half)))
            dot_distance = math.hypot(x - dot_x, y - dot_y)
            ring = coverage(abs(math.hypot(x, y) - ring_radius) - ring_width / 2.0)
            ring *= 1.0 - coverage(dot_distance - gap_radius)
            colour = mix(colour, WHITE, ring)
            colour = mix(colour, AMBER, coverage(dot_distance - dot_radius))
            line.append(tuple(int(round(c)) for c in colour) + (int(round(alpha * 255.0)),))
        rows.append(line)
    return rows


def palette16():
    """The 16 colours of the 4-bit images: index 0 for transparent pixels, then the mark's shades."""
    colours = [(0, 0, 0)]
    colours += [mix(TOP, BOTTOM, i / 5.0) for i in range(6)]
    colours += [mix(mix(TOP, BOTTOM, t), WHITE, 0.5) for t in (0.0, 0.5, 1.0)]
    colours += [mix(mix(TOP, BOTTOM, t), AMBER, 0.5) for t in (0.0, 0.5)]
    colours += [WHITE, AMBER, mix(WHITE, AMBER, 0.5), (0x80, 0x80, 0x80)]
    return [tuple(int(round(c)) for c in colour) for colour in colours]


def nearest(palette, colour):
    best, best_distance = 1, None
    for index in range(1, len(palette)):
        distance = sum((palette[index][i] - colour[i]) ** 2 for i in range(3))
        if best_distance is None or distance < best_distance:
            best, best_distance = index, distance
    return best


def indexed(rows, palette):
    """Palette indices per pixel; pixels less than half covered become index 0 (transparent)."""
    cache = {}
    out = []
    for line in rows:
        indices = []
        for r, g, b, a in line:
            if a < 128:
                indices.append(0)
                continue
            key = (r, g, b)
            if key not in cache:
                cache[key] = nearest(palette, key)
            indices.append(cache[key])
        out.append(indices)
    return out


def and_mask(rows):
    stride = ((len(rows[0]) + 31) // 32) * 4
    data = bytearray()
    for line in reversed(rows):
        bits = bytearray(stride)
        for col, pixel in enumerate(line):
            if pixel[3] < 128:
                bits[col // 8] |= 0x80 >> (col % 8)
        data += bits
    return bytes(data)


def pad_row(row):
    return row + bytes((-len(row)) % 4)


def bitmap_image(rows, bits, palette):
    """An icon image in bitmap form: header, palette, colour rows bottom-up, then the AND mask."""
    size = len(rows)
    pixels = bytearray()
    if bits == 4:
        for line in reversed(indexed(rows, palette)):
            row = bytearray()
            for col in range(0, size, 2):
                row.append((line[col] << 4) | line[col + 1])
            pixels += pad_row(bytes(row))
    else:
        for line in reversed(rows):
            row = bytearray()
            for r, g, b, a in line:
                if bits == 32:
                    row += bytes((b, g, r, a)) if a else bytes(4)
                else:
                    row += bytes((b, g, r)) if a >= 128 else bytes(3)
            pixels += pad_row(bytes(row))
    mask = and_mask(rows)
    colours_used = 16 if bits == 4 else 0
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(pixels) + len(mask), 0, 0,
                         colours_used, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette) if bits == 4 else b""
    return header + table + bytes(pixels) + mask


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_rgba(rows):
    size = len(rows)
    raw = b"".join(b"\x00" + bytes(c for pixel in line for c in pixel) for line in rows)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def png_indexed(rows, palette):
    """A 4-bit palette PNG; palette index 0 is fully transparent."""
    size = len(rows)
    raw = bytearray()
    for line in indexed(rows, palette):
        raw.append(0)
        for col in range(0, size, 2):
            raw.append((line[col] << 4) | line[col + 1])
    plte = b"".join(bytes(colour) for colour in palette)
    trns = b"\x00" + b"\xff" * (len(palette) - 1)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0)) +
            png_chunk(b"PLTE", plte) + png_chunk(b"tRNS", trns) + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            png_chunk(b"IEND", b""))


def icon_images():
    """The 15 images as (size, bits, data), the PNG images last, and the 256-pixel RGBA PNG."""
    palette = palette16()
    drawings = {size: render(size) for size in BITMAP_SIZES + (PNG_SIZE,)}
    big_rgba = png_rgba(drawings[PNG_SIZE])
    images = []  # (size, bits, data); the PNG images last, where every icon reader expects them
    for bits in (32, 24, 4):
        for size in BITMAP_SIZES:
            images.append((size, bits, bitmap_image(drawings[size], bits, palette)))
    images.append((PNG_SIZE, 32, big_rgba))
    images.append((PNG_SIZE, 24, big_rgba))
    images.append((PNG_SIZE, 4, png_indexed(drawings[PNG_SIZE], palette)))
    return images, big_rgba


def entry_fields(size, bits, data):
    """An icon directory entry's fields up to the image's size in bytes."""
    return (size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits, len(data))


def build_icon():
    images, big_rgba = icon_images()
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, bits, data in images:
        entries += struct.pack("<BBBBHHII", *entry_fields(size, bits, data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images), big_rgba


def write_resources(folder):
    """The icon as resources: each distinct image stored once, the group naming it by its id."""
    images, _ = icon_images()
    ids = {}  # image bytes -> resource id, in the order they first appear
    group = struct.pack("<HHH", 0, 1, len(images))
    for size, bits, data in images:
        ids.setdefault(data, len(ids) + 1)
        group += struct.pack("<BBBBHHIH", *entry_fields(size, bits, data), ids[data])
    lines = []
    for data, resource_id in ids.items():
        name = os.path.join(folder, "icon_%d.bin" % resource_id)
        with open(name, "wb") as out:
            out.write(data)
        lines.append('%d 3 "%s"' % (resource_id, name))
    with open(os.path.join(folder, "group.bin"), "wb") as out:
        out.write(group)
    lines.append('IDI_ORVSETUP 14 "%s"' % os.path.join(folder, "group.bin"))
    with open(os.path.join(folder, "icon.rc"), "w") as out:
        out.write("// Written by make_icon.py: RT_ICON (3) images and the RT_GROUP_ICON (14) group.\n")
        out.write("\n".join(lines) + "\n")


def main(argv):
    if len(argv) == 3 and argv[1] == "--resources":
        os.makedirs(argv[2], exist_ok=True)
        write_resources(argv[2])
        return 0
    if len(argv) not in (2, 3):
        sys.stderr.write("usage: make_icon.py OUTPUT.ico [PREVIEW.png] | make_icon.py --resources FOLDER\n")
        return 2
    icon, preview = build_icon()
    with open(argv[1], "wb") as out:
        out.write(icon)
    if len(argv) == 3:
        with open(argv[2], "wb") as out:
            out.write(preview)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
