#!/usr/bin/env python3
"""Draws the two icons of the resource library and writes them as .ico files.

Each icon holds one 32 x 32 image with 16 colours (4 bits per pixel) in the
standard 16-colour palette, plus its transparency mask:

  Header.ico      - the dialogs' header glyph: a printer wired to a network port
  PrinterRow.ico  - the small glyph of each row of the printer list: a printer

The build uses the committed .ico files; run this script again only to change
the drawings:  python3 make_icons.py [output folder]
"""
import struct
import sys
from pathlib import Path

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GREEN, NAVY, TEAL, SILVER, GRAY = 0, 2, 4, 6, 7, 8
LIME, YELLOW, BLUE, AQUA, WHITE = 10, 11, 12, 14, 15
CLEAR = None


class Canvas:
    def __init__(self):
        self.pixels = [[CLEAR] * SIZE for _ in range(SIZE)]

    def dot(self, x, y, colour):
        self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.pixels[y][x] = colour

    def box(self, x0, y0, x1, y1, inside, outline=BLACK):
        self.fill(x0, y0, x1, y1, outline)
        self.fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, inside)

    def hline(self, x0, x1, y, colour):
        self.fill(x0, y, x1, y, colour)

    def vline(self, x, y0, y1, colour):
        self.fill(x, y0, x, y1, colour)


def draw_printer(c, left, top, width, text=BLUE):
    """A printer seen from the front: paper in the feed, body with a slot and a
    lamp, and a printed sheet coming out. (left, top) is the feed paper's
    corner; the drawing is 'width' pixels wide and width * 3 / 4 + 6 high."""
    right = left + width - 1
    body_top = top + width // 3
    body_bottom = body_top + width // 2 - 1
    # Paper waiting in the feed, with a few lines of text.
    c.box(left + 5, top, right - 5, body_top, WHITE)
    for y in range(top + 2, body_top - 1, 2):
        c.hline(left + 7, right - 7, y, GRAY)
    # Body: light top edge, darker lower band, output slot and a green lamp.
    c.box(left, body_top, right, body_bottom, SILVER)
    c.hline(left + 1, right - 1, body_top + 1, WHITE)
    c.fill(left + 1, body_bottom - 3, right - 1, body_bottom - 1, GRAY)
    c.hline(left + 4, right - 4, body_bottom - 3, BLACK)
    c.fill(right - 4, body_top + 3, right - 3, body_top + 4, LIME)
    c.dot(right - 4, body_top + 4, GREEN)
    # The printed sheet.
    sheet_bottom = body_bottom + 6
    c.box(left + 4, body_bottom - 2, right - 4, sheet_bottom, WHITE)
    for y in range(body_bottom, sheet_bottom - 1, 2):
        c.hline(left + 6, right - 6 if y % 4 == body_bottom % 4 else right - 9, y, text)
    return body_top, body_bottom


def header_icon():
    c = Canvas()
    # A network port (a socket with its contacts) in the upper right corner...
    c.box(20, 1, 30, 10, TEAL)
    c.fill(22, 3, 28, 8, BLACK)
    for x in range(23, 28, 2):
        c.vline(x, 4, 5, YELLOW)
    c.fill(24, 7, 26, 8, TEAL)
    # ...wired to a printer in the lower left one.
    body_top, body_bottom = draw_printer(c, 1, 8, 20)
    cable_y = body_top + 4
    c.hline(21, 25, cable_y, NAVY)
    c.hline(21, 25, cable_y + 1, BLUE)
    c.vline(25, 11, cable_y + 1, NAVY)
    c.vline(26, 11, cable_y + 1, BLUE)
    return c


def printer_row_icon():
    c = Canvas()
    draw_printer(c, 2, 0, 28)
    return c


def ico_bytes(canvas):
    """One-image .ico file: directory, BITMAPINFOHEADER, palette, colour
    bits and AND mask, both bottom-up."""
    colour_rows, mask_rows = [], []
    for row in reversed(canvas.pixels):
        nibbles = [BLACK if p is CLEAR else p for p in row]
        colour_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is CLEAR else 0)
        mask_rows.append(bits.to_bytes(SIZE // 8, "big"))  # rows are 4 bytes: already aligned
    colour_bits, mask_bits = b"".join(colour_rows), b"".join(mask_rows)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(colour_bits) + len(mask_bits), 0, 0, 0, 0)
    image = header + palette + colour_bits + mask_bits
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    for name, canvas in (("Header.ico", header_icon()), ("PrinterRow.ico", printer_row_icon())):
        (out / name).write_bytes(ico_bytes(canvas))
        print(f"wrote {out / name}")


if __name__ == "__main__":
    main()
