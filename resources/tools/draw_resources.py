#!/usr/bin/env python3
"""Draws ARV Manager's icons and the 3D view's texture atlas.

Every picture is written here as SVG and rendered to PNG with rsvg-convert
(Debian package librsvg2-bin). The PNGs are committed; run this script only
to regenerate them after changing a drawing:

    python3 resources/tools/draw_resources.py

Python 3 standard library only.
"""

import base64
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ICON_DIR = os.path.join(HERE, "..", "icons")
TEXTURE_DIR = os.path.join(HERE, "..", "textures")

# One palette for every icon.
INK = "#2b3a4a"      # outlines
BLUE = "#2f7fd8"
LIGHT = "#dbe9f8"
RED = "#e0433a"
GREEN = "#2ea44f"
ORANGE = "#f08c1a"
YELLOW = "#f5c02a"
STROKE = 'stroke="%s" stroke-width="4" stroke-linejoin="round" stroke-linecap="round"' % INK
FONT = "DejaVu Sans"


def svg(width, height, body):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
            'viewBox="0 0 %d %d">\n%s\n</svg>\n' % (width, height, width, height, body))


def icon(body):
    return svg(64, 64, body)


def render(svg_text, png_path, width, height):
    with tempfile.NamedTemporaryFile("w", suffix=".svg", delete=False) as f:
        f.write(svg_text)
        name = f.name
    try:
        subprocess.run(["rsvg-convert", "-w", str(width), "-h", str(height), "-o", png_path, name],
                       check=True)
    finally:
        os.unlink(name)


# ---------------------------------------------------------------- icons (64 x 64)

def arrow_head(x, y, dx, dy, size=8):
    """A filled arrow head with its tip at (x, y), pointing along (dx, dy) (a unit axis)."""
    px, py = -dy, dx
    return '<path d="M%g %g L%g %g L%g %g Z" fill="%s"/>' % (
        x, y, x - dx * size + px * size * 0.7, y - dy * size + py * size * 0.7,
        x - dx * size - px * size * 0.7, y - dy * size - py * size * 0.7, INK)


def unit_box(cx, cy, s, stroke_width):
    """An isometric view of the box-shaped unit, centred on (cx, cy), half-width s."""
    w = 'stroke="%s" stroke-width="%g" stroke-linejoin="round"' % (INK, stroke_width)
    top = "M%g %g L%g %g L%g %g L%g %g Z" % (cx - s, cy - 0.1 * s, cx, cy - 0.55 * s, cx + s,
                                             cy - 0.1 * s, cx, cy + 0.35 * s)
    left = "M%g %g L%g %g L%g %g L%g %g Z" % (cx - s, cy - 0.1 * s, cx, cy + 0.35 * s, cx,
                                              cy + 0.75 * s, cx - s, cy + 0.3 * s)
    right = "M%g %g L%g %g L%g %g L%g %g Z" % (cx + s, cy - 0.1 * s, cx, cy + 0.35 * s, cx,
                                               cy + 0.75 * s, cx + s, cy + 0.3 * s)
    return ('<path d="%s" fill="#ffffff" %s/><path d="%s" fill="%s" %s/>'
            '<path d="%s" fill="%s" %s/>' % (top, w, left, LIGHT, w, right, "#a9c8ec", w))


ICONS = {}

ICONS["file-export"] = icon(
    '<path d="M14 6 H36 L46 16 V58 H14 Z" fill="#ffffff" %s/>'
    '<path d="M36 6 V16 H46" fill="none" %s/>'
    '<path d="M24 38 H54" fill="none" stroke="%s" stroke-width="5" stroke-linecap="round"/>'
    '<path d="M46 30 L56 38 L46 46" fill="none" stroke="%s" stroke-width="5" '
    'stroke-linecap="round" stroke-linejoin="round"/>' % (STROKE, STROKE, GREEN, GREEN))

ICONS["file-exit"] = icon(
    '<path d="M10 6 H38 V58 H10 Z" fill="%s" %s/>'
    '<circle cx="32" cy="33" r="2.5" fill="%s"/>'
    '<path d="M30 32 H56" fill="none" stroke="%s" stroke-width="5" stroke-linecap="round"/>'
    '<path d="M48 24 L57 32 L48 40" fill="none" stroke="%s" stroke-width="5" '
    'stroke-linecap="round" stroke-linejoin="round"/>' % (LIGHT, STROKE, INK, RED, RED))

ICONS["view-display"] = icon(unit_box(32, 30, 26, 3.5) +
                             '<path d="M32 6 V13" stroke="%s" stroke-width="3"/>' % BLUE)

ICONS["view-data"] = icon(
    '<rect x="6" y="6" width="52" height="52" rx="6" fill="#ffffff" %s/>'
    '<path d="M12 40 C20 20 26 20 32 32 S44 46 52 22" fill="none" stroke="%s" stroke-width="3.5"/>'
    '<path d="M12 30 C22 44 28 44 34 30 S46 16 52 36" fill="none" stroke="%s" stroke-width="3.5"/>'
    '<path d="M12 48 L22 44 L32 47 L42 42 L52 45" fill="none" stroke="%s" stroke-width="3.5"/>'
    % (STROKE, RED, GREEN, BLUE))

ICONS["view-imu"] = icon(
    '<defs><clipPath id="c"><circle cx="32" cy="32" r="26"/></clipPath></defs>'
    '<g clip-path="url(#c)"><rect x="0" y="0" width="64" height="64" fill="#5aa9f0"/>'
    '<path d="M0 40 L64 24 V64 H0 Z" fill="#b4793c"/></g>'
    '<circle cx="32" cy="32" r="26" fill="none" %s/>'
    '<path d="M16 33 H26 L32 38 L38 33 H48" fill="none" stroke="%s" stroke-width="4" '
    'stroke-linecap="round" stroke-linejoin="round"/>' % (STROKE, YELLOW))

ICONS["Velocity"] = icon(
    '<path d="M8 44 A24 24 0 1 1 56 44 Z" fill="#ffffff" %s/>'
    '<path d="M14 38 A18 18 0 0 1 20 24" fill="none" stroke="%s" stroke-width="4"/>'
    '<path d="M24 20 A18 18 0 0 1 40 20" fill="none" stroke="%s" stroke-width="4"/>'
    '<path d="M44 24 A18 18 0 0 1 50 38" fill="none" stroke="%s" stroke-width="4"/>'
    '<path d="M32 42 L45 25" stroke="%s" stroke-width="4" stroke-linecap="round"/>'
    '<circle cx="32" cy="42" r="4" fill="%s"/>' % (STROKE, GREEN, YELLOW, RED, INK, INK))

ICONS["Location"] = icon(
    '<ellipse cx="32" cy="56" rx="14" ry="4" fill="#c9d3dd"/>'
    '<path d="M32 58 C22 44 14 34 14 24 A18 18 0 0 1 50 24 C50 34 42 44 32 58 Z" '
    'fill="%s" %s/><circle cx="32" cy="24" r="7" fill="#ffffff" %s/>' % (RED, STROKE, STROKE))

ICONS["UTC_new"] = icon(
    '<circle cx="32" cy="32" r="26" fill="#ffffff" %s/>'
    '<path d="M32 14 V32 L44 40" fill="none" stroke="%s" stroke-width="4.5" '
    'stroke-linecap="round" stroke-linejoin="round"/>'
    '<circle cx="32" cy="32" r="3" fill="%s"/>'
    '<path d="M32 8 V12 M56 32 H52 M32 56 V52 M8 32 H12" stroke="%s" stroke-width="3"/>'
    % (STROKE, BLUE, INK, INK))

ICONS["TemperatureIcon"] = icon(
    '<path d="M26 40 V12 A6 6 0 0 1 38 12 V40 A11 11 0 1 1 26 40 Z" fill="#ffffff" %s/>'
    '<circle cx="32" cy="48" r="6.5" fill="%s"/>'
    '<rect x="29.5" y="20" width="5" height="28" fill="%s"/>'
    '<path d="M42 16 H48 M42 24 H48 M42 32 H48" stroke="%s" stroke-width="3"/>'
    % (STROKE, RED, RED, INK))

ICONS["group_state"] = icon(
    # A satellite over the unit: the GNSS/INS fusion state.
    '<g transform="rotate(45 34 26)">'
    '<path d="M18 28 H46" stroke="%s" stroke-width="4"/>'
    '<rect x="2" y="21" width="16" height="14" fill="%s" %s/>'
    '<rect x="46" y="21" width="16" height="14" fill="%s" %s/>'
    '<rect x="25" y="20" width="14" height="16" rx="2" fill="%s" %s/></g>'
    '<path d="M14 50 A14 14 0 0 0 26 58 M18 44 A8 8 0 0 0 24 50" fill="none" stroke="%s" '
    'stroke-width="3.5" stroke-linecap="round"/>' % (INK, BLUE, STROKE, BLUE, STROKE, LIGHT,
                                                     STROKE, ORANGE))

ICONS["configure-calibrate"] = icon(
    '<circle cx="32" cy="32" r="24" fill="#ffffff" %s/>'
    '<circle cx="32" cy="32" r="12" fill="none" stroke="%s" stroke-width="3"/>'
    '<path d="M32 4 V18 M32 46 V60 M4 32 H18 M46 32 H60" stroke="%s" stroke-width="4" '
    'stroke-linecap="round"/>'
    '<circle cx="32" cy="32" r="4" fill="%s"/>' % (STROKE, BLUE, INK, RED))

ICONS["export-record"] = icon(
    '<circle cx="32" cy="32" r="26" fill="#ffffff" %s/>'
    '<circle cx="32" cy="32" r="14" fill="%s"/>' % (STROKE, RED))

ICONS["stream-close"] = icon(
    '<circle cx="32" cy="32" r="26" fill="#ffffff" %s/>'
    '<rect x="21" y="21" width="22" height="22" rx="3" fill="%s"/>' % (STROKE, INK))

ICONS["refresh"] = icon(
    '<path d="M50 26 A20 20 0 0 0 14 24" fill="none" stroke="%s" stroke-width="5" '
    'stroke-linecap="round"/>'
    '<path d="M14 38 A20 20 0 0 0 50 40" fill="none" stroke="%s" stroke-width="5" '
    'stroke-linecap="round"/>'
    '<path d="M42 26 H54 V14 Z" fill="%s" stroke="%s" stroke-width="2" stroke-linejoin="round"/>'
    '<path d="M22 38 H10 V50 Z" fill="%s" stroke="%s" stroke-width="2" stroke-linejoin="round"/>'
    % (GREEN, GREEN, GREEN, GREEN, GREEN, GREEN))

ICONS["file-folder"] = icon(
    '<path d="M6 14 H24 L30 20 H58 V52 H6 Z" fill="%s" %s/>'
    '<path d="M6 26 H58" fill="none" %s/>' % (YELLOW, STROKE, STROKE))

# The program's own icon: the unit with its three axes on a blue tile (256 x 256).
MAIN_ICON = svg(
    256, 256,
    '<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
    '<stop offset="0" stop-color="#3d8ee6"/><stop offset="1" stop-color="#1d5aa8"/>'
    '</linearGradient></defs>'
    '<rect x="8" y="8" width="240" height="240" rx="44" fill="url(#g)"/>'
    '<g transform="translate(128 118) scale(3.6) translate(-32 -30)">%s</g>'
    '<path d="M128 106 V44" stroke="#ffffff" stroke-width="8" stroke-linecap="round"/>'
    '<path d="M128 26 L115 48 H141 Z" fill="#ffffff"/>'
    '<text x="128" y="232" font-family="%s" font-weight="bold" font-size="38" '
    'text-anchor="middle" fill="#ffffff">ARV</text>' % (unit_box(32, 30, 26, 1.2), FONT))


# ---------------------------------------------------------------- texture atlas

# The box mesh of the 3D view: per face its four corners (x, y, z, u, v), as the
# geometry engine lays them out, and the direction of "right" and "up" when the
# face is seen from outside. Each face is drawn upright in its own plane and the
# drawing is mapped onto its tile through the texture coordinates, so that it
# appears upright and unstretched on the box, whatever the tile orientation.
T1 = 1.0 / 3.0
T2 = 2.0 / 3.0
Y = 0.38
Z = 0.61666667
FACES = [
    # name, colour, corners, right, up
    ("front", "#e0433a", [(-1, -Y, Z, 0, 0), (1, -Y, Z, T1, 0), (-1, Y, Z, 0, .5), (1, Y, Z, T1, .5)],
     (1, 0, 0), (0, 1, 0)),
    ("right", "#2ea44f", [(1, -Y, Z, 0, .5), (1, -Y, -Z, T1, .5), (1, Y, Z, 0, 1), (1, Y, -Z, T1, 1)],
     (0, 0, -1), (0, 1, 0)),
    ("back", "#8e44c9", [(1, -Y, -Z, T2, .5), (-1, -Y, -Z, 1, .5), (1, Y, -Z, T2, 1), (-1, Y, -Z, 1, 1)],
     (-1, 0, 0), (0, 1, 0)),
    ("left", "#f08c1a", [(-1, -Y, -Z, T2, 0), (-1, -Y, Z, 1, 0), (-1, Y, -Z, T2, .5), (-1, Y, Z, 1, .5)],
     (0, 0, 1), (0, 1, 0)),
    ("bottom", "#8a8f96", [(-1, -Y, -Z, T2, 0), (1, -Y, -Z, T2, .5), (-1, -Y, Z, T1, 0), (1, -Y, Z, T1, .5)],
     (1, 0, 0), (0, 0, 1)),
    ("top", "#2f6fc0", [(-1, Y, Z, T1, 1), (1, Y, Z, T1, .5), (-1, Y, -Z, T2, 1), (1, Y, -Z, T2, .5)],
     (1, 0, 0), (0, 0, -1)),
]
ATLAS_W, ATLAS_H = 1650, 1100
SCALE = 500.0  # drawing units per model unit


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def solve3(m, r):
    """Solves the 3 x 3 system m x = r (Cramer's rule)."""
    def det(a):
        return (a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1])
                - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
                + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]))
    d = det(m)
    out = []
    for col in range(3):
        mc = [row[:] for row in m]
        for i in range(3):
            mc[i][col] = r[i]
        out.append(det(mc) / d)
    return out


def face_transform(corners, right, up):
    """The SVG matrix from the face's upright drawing (x right, y down, origin at the
    top-left corner, SCALE units per model unit) to atlas pixels, and the drawing size."""
    a = [dot(c[:3], right) for c in corners]
    b = [dot(c[:3], up) for c in corners]
    a0, b1 = min(a), max(b)
    draw = [((ai - a0) * SCALE, (b1 - bi) * SCALE) for ai, bi in zip(a, b)]
    # The image is mirrored vertically on upload: v = 1 is the top row of the atlas.
    pix = [(c[3] * ATLAS_W, (1.0 - c[4]) * ATLAS_H) for c in corners]
    m = [[draw[i][0], draw[i][1], 1.0] for i in range(3)]
    ax, cx, ex = solve3(m, [pix[i][0] for i in range(3)])
    bx, dx, fx = solve3(m, [pix[i][1] for i in range(3)])
    # The fourth corner must land where the mesh puts it.
    x, y = draw[3]
    assert abs(ax * x + cx * y + ex - pix[3][0]) < 1e-3 and abs(bx * x + dx * y + fx - pix[3][1]) < 1e-3
    width = (max(a) - a0) * SCALE
    height = (b1 - min(b)) * SCALE
    return (ax, bx, cx, dx, ex, fx), width, height


def text(x, y, size, content, fill="#ffffff", anchor="middle", weight="bold"):
    return ('<text x="%g" y="%g" font-family="%s" font-weight="%s" font-size="%g" '
            'text-anchor="%s" fill="%s">%s</text>' % (x, y, FONT, weight, size, anchor, fill,
                                                      content))


def face_drawing(name, colour, w, h):
    """What each face shows, in its upright drawing of w x h units."""
    edge = ('<rect x="0" y="0" width="%g" height="%g" fill="%s"/>'
            '<rect x="14" y="14" width="%g" height="%g" rx="22" fill="none" stroke="#ffffff" '
            'stroke-opacity="0.55" stroke-width="10"/>' % (w, h, colour, w - 28, h - 28))
    cx, cy = w / 2, h / 2
    if name == "top":
        # The maker's label: the unit's name, and its X and Y axes (Z points up, out of it).
        ax, ay = w * 0.84, h * 0.30
        return edge + (
            text(w * 0.36, cy - 10, 170, "ARV") +
            text(w * 0.36, cy + 110, 70, "Quilvar  IMU", weight="normal") +
            '<g stroke="#ffffff" stroke-width="14" stroke-linecap="round">'
            '<path d="M%g %g H%g"/><path d="M%g %g V%g"/></g>' % (ax, ay, ax - 130, ax, ay, ay + 250) +
            '<path d="M%g %g l40 -26 v52 Z" fill="#ffffff"/>' % (ax - 160, ay) +
            '<path d="M%g %g l-26 -40 h52 Z" fill="#ffffff"/>' % (ax, ay + 290) +
            text(ax - 150, ay - 40, 64, "X") + text(ax + 60, ay + 260, 64, "Y") +
            '<circle cx="%g" cy="%g" r="26" fill="none" stroke="#ffffff" stroke-width="10"/>'
            '<circle cx="%g" cy="%g" r="8" fill="#ffffff"/>' % (ax, ay, ax, ay) +
            text(ax + 60, ay - 30, 64, "Z"))
    if name == "front":
        # The connector side.
        return edge + (
            '<rect x="%g" y="%g" width="340" height="150" rx="30" fill="#30363d" '
            'stroke="#ffffff" stroke-width="8"/>' % (cx - 170, cy - 75) +
            "".join('<circle cx="%g" cy="%g" r="16" fill="#d9b44a"/>' % (cx - 105 + i * 70, cy)
                    for i in range(4)) +
            text(150, cy + 40, 110, "+Y") + text(w - 170, cy + 30, 80, "FRONT"))
    if name == "bottom":
        return edge + (
            '<rect x="%g" y="%g" width="560" height="260" rx="16" fill="#f1f1f1"/>' % (cx - 280, cy - 130) +
            text(cx, cy - 50, 60, "ARV", fill="#30363d") +
            text(cx, cy + 20, 44, "S/N 0000000", fill="#30363d", weight="normal") +
            text(cx, cy + 80, 44, "BOTTOM  -Z", fill="#30363d", weight="normal"))
    labels = {"right": ("-X", "RIGHT"), "back": ("-Y", "BACK"), "left": ("+X", "LEFT")}
    axis, word = labels[name]
    return edge + text(cx, cy - 5, 150, axis) + text(cx, cy + 115, 80, word)


def png_data_uri(svg_text, width, height):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "face.png")
        render(svg_text, path, width, height)
        with open(path, "rb") as f:
            return "data:image/png;base64," + base64.b64encode(f.read()).decode("ascii")


def atlas():
    body = ['<rect width="%d" height="%d" fill="#000000"/>' % (ATLAS_W, ATLAS_H)]
    for name, colour, corners, right, up in FACES:
        (a, b, c, d, e, f), w, h = face_transform(corners, right, up)
        # Each face is first rendered upright (text lays out correctly only without
        # a stretching transform), then placed on its tile.
        w, h = int(round(w)), int(round(h))
        face = png_data_uri(svg(w, h, face_drawing(name, colour, w, h)), w, h)
        body.append('<image x="0" y="0" width="%d" height="%d" preserveAspectRatio="none" '
                    'transform="matrix(%.9g %.9g %.9g %.9g %.9g %.9g)" href="%s"/>'
                    % (w, h, a, b, c, d, e, f, face))
    return svg(ATLAS_W, ATLAS_H, "\n".join(body))


def main():
    if subprocess.run(["which", "rsvg-convert"], capture_output=True).returncode != 0:
        sys.exit("rsvg-convert is missing: apt-get install librsvg2-bin")
    os.makedirs(ICON_DIR, exist_ok=True)
    os.makedirs(TEXTURE_DIR, exist_ok=True)
    for name, drawing in ICONS.items():
        render(drawing, os.path.join(ICON_DIR, name + ".png"), 64, 64)
    render(MAIN_ICON, os.path.join(ICON_DIR, "mainWindow-icon.png"), 256, 256)
    render(atlas(), os.path.join(TEXTURE_DIR, "openGL-textures.png"), ATLAS_W, ATLAS_H)


if __name__ == "__main__":
    main()
