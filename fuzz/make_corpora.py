#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the committed starting corpora of the download, card-image and PDF-text fuzz targets
(the report-descriptor inputs are the test fixtures of real devices). Run from anywhere:
fuzz/make_corpora.py. The files are committed; run it again only to change them."""
import math
import struct
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def encode(celsius):
    """The card's two bytes for a temperature: exponent (bias 127), sign and 7 mantissa bits."""
    if celsius == 0:
        return bytes([0, 0])
    m, e = math.frexp(abs(celsius))  # |t| = m * 2^e, 0.5 <= m < 1
    mantissa = round((2 * m - 1) * 128)
    exponent = e - 1 + 127
    if mantissa == 128:
        mantissa, exponent = 0, exponent + 1
    return bytes([exponent, (0x80 if celsius < 0 else 0) | mantissa])


def header(count, hour=9, minute=0, day=7, month=1, year=14, pid=(1, 2, 3, 4, 5)):
    h = bytearray(64)
    h[0:5] = bytes(pid)
    h[5], h[6], h[7], h[8], h[9], h[10] = hour, minute, 0, day, month, year
    h[19], h[20] = count >> 8, count & 0xFF
    return bytes(h)


def reports(stream):
    """The reading stream in 64-byte reports, the last padded with zeros."""
    out = []
    for at in range(0, len(stream), 64):
        out.append(stream[at:at + 64].ljust(64, b"\0"))
    return out


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def cold_store(n):
    """A fridge between 2 and 8 degrees with one warm spell, one reading every six minutes."""
    return [5 + 3 * math.sin(q / 7.0) + (6 if 700 <= q < 720 else 0) for q in range(n)]


# -- card images: header then reading stream
three = b"".join(encode(t) for t in (23.5, -4.25, 30.0))
write("card_image", "three-readings", header(3) + three)
write("card_image", "empty-card", header(0))
write("card_image", "year-end-40", header(40, hour=23, minute=54, day=31, month=12, year=15) +
      b"".join(encode(t) for t in cold_store(40)))
write("card_image", "count-mismatch", header(5) + three)
write("card_image", "impossible-clock-extremes",
      header(4, hour=25, minute=61, day=30, month=2, year=255) + bytes([0, 0, 255, 0x7F, 255, 0xFF, 127, 0x80]))
write("card_image", "cold-store-1440",
      header(1440, hour=8, day=12, year=26) + b"".join(encode(t) for t in cold_store(1440)))

# -- download: records [kind][length][bytes]; (kind & 15) % 7: 0 header, 1 readings, 2 DOWNLOAD,
#    3 parse in C, 4 parse in F, 5 and 6 statistics of doubles in C and F; bit 6 keeps a header's
#    count above 511, bit 7 a comma-decimal locale
def record(kind, data=b""):
    return bytes([kind, len(data)]) + data


def download(head, stream, parse=3):
    return record(0, head) + b"".join(record(1, r) for r in reports(stream)) + record(2) + record(parse)


write("download", "three-readings", download(header(3), three))
write("download", "three-readings-comma-fahrenheit", download(header(3), three, parse=0x84))
write("download", "short-header", record(0, header(3)[:10]) + record(1, three) + record(2) + record(3))
write("download", "missing-readings", download(header(40), three))
write("download", "parse-before-header", record(3) + record(2) + record(0, header(2)) + record(4))
write("download", "empty-card", download(header(0), b""))
write("download", "second-header-replaces",
      record(0, header(40, month=12, day=31, hour=23, minute=54)) + download(header(3), three))
write("download", "count-above-capacity", bytes([0x40]) + download(header(0xFFFF), three * 30)[1:])
write("download", "statistics-of-odd-values",
      record(5, struct.pack("<6d", 24.31, -299.9, 1e300, float("inf"), float("nan"), -1000.0)) +
      record(0x86, struct.pack("<3d", 68.0, 77.0, 86.0)) + record(5))
write("download", "year-end-40", download(header(40, hour=23, minute=54, day=31, month=12, year=15),
                                          b"".join(encode(t) for t in cold_store(40))))

# -- PDF text: byte 0 the pages (1 data, 2 chart), then label texts cut at zero bytes
captions = ["HK0012345", "  04 Mar", "2013,    00:10", "  05 M\u00e4r", "2013,    04:16", "8,4",
            "-2.1", "42", "1 Day(s),  4 Hour(s),  6 Minute(s)", "5.3", "\u00b0C", "\u00b0F",
            "(paren) \\back\\slash", "line\r\nbreak\ttab", "\u20ac \u2122 \u0152 \u00ff",
            "\U0001F600 beyond the BMP"]
write("pdf_text", "data-page", b"\x01" + "\0".join(captions).encode("utf-8"))
write("pdf_text", "chart-page", b"\x02" + "HK0012345\0www.halvik.test".encode("utf-8"))
write("pdf_text", "both-pages-malformed-utf8",
      b"\x03" + b"\0".join([b"\xc3\x28", b"\xed\xa0\x80 surrogate", b"\xf4\x90\x80\x80", b"\xff\xfe",
                           b"((((", b"))", b"\\", b"\xe2\x82"]))
