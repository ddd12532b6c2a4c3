#!/usr/bin/env python3
"""Writes the sample documents of this folder: small PDFs in plain text (uncompressed), made
for trying the viewer by hand. Run it again after changing it; the outputs are committed."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def stream(data, extra=""):
    return "<< %s /Length %d >>\nstream\n%s\nendstream" % (extra, len(data.encode("latin-1")), data)


def write(name, objects, root=1):
    out = "%PDF-1.4\n"
    offsets = []
    for i, body in enumerate(objects):
        offsets.append(len(out.encode("latin-1")))
        out += "%d 0 obj\n%s\nendobj\n" % (i + 1, body)
    xref = len(out.encode("latin-1"))
    out += "xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += "".join("%010d 00000 n \n" % o for o in offsets)
    out += "trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, root, xref)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out.encode("latin-1"))


def document(name, contents, fonts="", xobjects="", extra=None, size=(595, 842)):
    """contents: one content stream per page; objects from 3 on are the extras."""
    extra = extra or []
    objects = ["<< /Type /Catalog /Pages 2 0 R >>", None] + extra
    kids = []
    for content in contents:
        objects.append(stream(content))
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Resources << /Font << %s >> "
                       "/XObject << %s >> >> /Contents %d 0 R >>" % (size[0], size[1], fonts, xobjects, len(objects)))
        kids.append("%d 0 R" % len(objects))
    objects[1] = "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join(kids), len(kids))
    write(name, objects)


STANDARD = [("Helvetica", "F1"), ("Helvetica-Bold", "F2"), ("Times-Roman", "F3"), ("Times-Italic", "F4"),
            ("Courier", "F5"), ("Symbol", "F6"), ("ZapfDingbats", "F7")]


def fonts_sample():
    extra = []
    names = []
    for base, tag in STANDARD:
        enc = "" if base in ("Symbol", "ZapfDingbats") else " /Encoding /WinAnsiEncoding"
        extra.append("<< /Type /Font /Subtype /Type1 /BaseFont /%s%s >>" % (base, enc))
        names.append("/%s %d 0 R" % (tag, 2 + len(extra)))
    # An embedded Type 3 font: glyphs drawn with PDF operators (a box, a diamond, a bar).
    glyphs = {"box": "1000 0 0 0 1000 1000 d1 100 0 800 800 re f",
              "diamond": "1000 0 0 0 1000 1000 d1 500 0 m 900 400 l 500 800 l 100 400 l f",
              "bar": "1000 0 0 0 1000 1000 d1 400 0 200 800 re f"}
    procs = []
    for glyph, data in glyphs.items():
        extra.append(stream(data))
        procs.append("/%s %d 0 R" % (glyph, 2 + len(extra)))
    extra.append("<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix [0.001 0 0 0.001 0 0] "
                 "/CharProcs << %s >> /Encoding << /Type /Encoding /Differences [97 /box /diamond /bar] >> "
                 "/FirstChar 97 /LastChar 99 /Widths [1000 1000 1000] >>" % " ".join(procs))
    names.append("/F8 %d 0 R" % (2 + len(extra)))
    lines = ["BT /F2 24 Tf 72 770 Td (Standard fonts, not embedded) Tj ET"]
    y = 720
    for base, tag in STANDARD:
        text = "abcdefg ABCDEFG 0123" if base in ("Symbol", "ZapfDingbats") else \
            "%s: The quick brown fox jumps over the lazy dog." % base
        lines.append("BT /%s 14 Tf 72 %d Td (%s) Tj ET" % (tag, y, text))
        y -= 30
    lines.append("BT /F2 24 Tf 72 %d Td (An embedded Type 3 font) Tj ET" % (y - 30))
    lines.append("0 0.4 0.8 rg BT /F8 36 Tf 72 %d Td (abcabcabc) Tj ET" % (y - 90))
    document("fonts.pdf", ["\n".join(lines)], fonts=" ".join(names), extra=extra)


def drawing_sample():
    ops = ["BT /F1 24 Tf 72 770 Td (Vector drawing) Tj ET"]
    colours = [(0.85, 0.1, 0.1), (0.1, 0.6, 0.2), (0.1, 0.3, 0.85), (0.95, 0.7, 0.1)]
    for i, (r, g, b) in enumerate(colours):
        ops.append("%.2f %.2f %.2f rg %d 600 100 100 re f" % (r, g, b, 72 + i * 120))
    ops.append("0 0 0 RG 4 w 72 560 m 523 560 l S")
    # A star and a circle from Bezier curves.
    pts = []
    for k in range(10):
        a = math.pi / 2 + k * math.pi / 5
        rad = 120 if k % 2 == 0 else 50
        pts.append((200 + rad * math.cos(a), 380 + rad * math.sin(a)))
    ops.append("0.6 0.1 0.7 rg %.1f %.1f m " % pts[0] + " ".join("%.1f %.1f l" % p for p in pts[1:]) + " h f")
    c = 0.5523 * 90
    cx, cy = 420, 380
    ops.append("0.1 0.6 0.6 rg %d %d m %.1f %.1f %.1f %.1f %d %d c %.1f %.1f %.1f %.1f %d %d c "
               "%.1f %.1f %.1f %.1f %d %d c %.1f %.1f %.1f %.1f %d %d c f" % (
                   cx + 90, cy, cx + 90, cy + c, cx + c, cy + 90, cx, cy + 90, cx - c, cy + 90, cx - 90, cy + c,
                   cx - 90, cy, cx - 90, cy - c, cx - c, cy - 90, cx, cy - 90, cx + c, cy - 90, cx + 90, cy - c,
                   cx + 90, cy))
    for i in range(12):
        ops.append("%.2f 0 %.2f RG 2 w 72 %d m 523 %d l S" % (i / 11, 1 - i / 11, 100 + i * 12, 200 - i * 6))
    document("drawing.pdf", ["\n".join(ops)], fonts="/F1 3 0 R",
             extra=["<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"])


def image_sample():
    w = h = 64
    data = []
    for y in range(h):
        row = ""
        for x in range(w):
            r = int(255 * x / (w - 1))
            g = int(255 * y / (h - 1))
            b = int(128 + 127 * math.sin((x + y) / 6.0))
            row += "%02x%02x%02x" % (r, g, b)
        data.append(row)
    image = stream("\n".join(data) + ">",
                   "/Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB "
                   "/BitsPerComponent 8 /Filter /ASCIIHexDecode" % (w, h))
    content = "BT /F1 24 Tf 72 770 Td (An image, scaled up) Tj ET\nq 451 0 0 451 72 250 cm /Im1 Do Q"
    document("image.pdf", [content], fonts="/F1 3 0 R", xobjects="/Im1 4 0 R",
             extra=["<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>", image])


def pages_sample():
    contents = []
    for n in range(1, 101):
        lines = ["BT /F1 28 Tf 72 760 Td (Page %d of 100) Tj ET" % n]
        for i in range(10):
            lines.append("BT /F2 11 Tf 72 %d Td (Line %d of page %d: continuous vertical scrolling through "
                         "many pages of plain text.) Tj ET" % (700 - i * 24, i + 1, n))
        contents.append("\n".join(lines))
    document("pages.pdf", contents, fonts="/F1 3 0 R /F2 4 0 R",
             extra=["<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>",
                    "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>"])


if __name__ == "__main__":
    fonts_sample()
    drawing_sample()
    image_sample()
    pages_sample()
