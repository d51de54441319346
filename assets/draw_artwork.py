#!/usr/bin/python3
"""Draw Oglon's artwork from a vector description.

Writes, next to this script:
  head.gif, head@2x.gif     the face (91x158 / 182x316, 256 colours, interlaced,
                            black ground, no transparency)
  pupil.gif, pupil@2x.gif   the pupil dot (5x6 / 10x12, 32 colours, index 22
                            transparent)
  icon.png, icon@2x.png     the head as a 32x32 / 64x64 icon
  oglon.ico                 16, 32 (256 colours) and 48 pixel icons
  hand-cursor.png           32x32 black/white pointing hand, hot spot (5, 1)
  icons/hicolor/NxN/apps/oglon.png   theme icons

Every size is rendered from the shapes below (supersampled, then reduced), never
scaled up from a smaller bitmap.  Output is byte-for-byte reproducible.  The
outline, eye sockets, pupil places and picture sizes are the program's own,
read from src/head/geometry.h.

Run:  /usr/bin/python3 assets/draw_artwork.py     (needs Pillow)
"""

import math
import os
import re
import struct

from PIL import Image, ImageChops, ImageDraw, ImageFilter

HERE = os.path.dirname(os.path.abspath(__file__))


def read_geometry(path):
    """The head's geometry from the program's header: every
    `constexpr TYPE Name { integers };` or `constexpr int Name = integer;`,
    by name, as the list of its integers."""
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"//[^\n]*", "", f.read())
    found = {}
    for name, value in re.findall(r"\bconstexpr\s[^;{=]*?\b(\w+)\s*(=[^;]*|\{[^;]*\});", text):
        found[name] = [int(n) for n in re.findall(r"-?\b\d+\b", value)]
    return found


def pairs(numbers):
    return [tuple(numbers[i:i + 2]) for i in range(0, len(numbers), 2)]


GEOMETRY = read_geometry(os.path.join(HERE, "..", "src", "head", "geometry.h"))
# The outline from the outer corner of a framed window, whose client area
# (where the picture sits) starts at OutlineClientOffset.
WINDOW_OUTLINE = pairs(GEOMETRY["OutlineVertices"])
PICTURE_OFFSET = tuple(GEOMETRY["OutlineClientOffset"])
OUTLINE = [(x - PICTURE_OFFSET[0], y - PICTURE_OFFSET[1]) for x, y in WINDOW_OUTLINE]
assert len(WINDOW_OUTLINE) == GEOMETRY["OutlineVertexCount"][0]

HEAD_SIZE = tuple(GEOMETRY["HeadPictureSize"])
# Each eye: centre x, centre y, and how far a pupil centre moves from it.
EYES = [tuple(GEOMETRY["EyeSockets"][i:i + 4]) for i in range(0, 8, 4)]
EYE_CENTRES = tuple((cx, cy) for cx, cy, _, _ in EYES)
PUPIL_SIZE = tuple(GEOMETRY["PupilPictureSize"])
PUPIL_REST = pairs(GEOMETRY["PupilRest"])   # top-left corners before the pointer moves
EYE_WHITE_RADII = (10.6, 8.6)
WHITE_MIN = 200               # eye whites are the only pixels with R, G, B >= 200
LIGHT_COLOURS = 24            # palette entries kept for the eye whites

GROUND = (0, 0, 0)
SKIN = (236, 188, 150)
SKIN_LIGHT = (247, 209, 175)
SKIN_SHADE = (206, 146, 112)
SKIN_DEEP = (176, 112, 86)
BLUSH = (236, 124, 116)
HAIR = (128, 78, 40)
HAIR_LIGHT = (178, 118, 62)
HAIR_DARK = (78, 44, 24)
LINE = (70, 40, 28)
EYE_WHITE = (253, 252, 248)
EYE_SHADOW = (222, 224, 236)
MOUTH = (112, 30, 38)
TONGUE = (222, 102, 108)
TEETH = (238, 232, 190)

PUPIL_RED = (150, 22, 28)
PUPIL_RED_DARK = (66, 6, 10)
PUPIL_RED_LIGHT = (196, 62, 60)
PUPIL_TRANSPARENT_INDEX = 22
PUPIL_COLOURS = 32

HICOLOR_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


# ---------------------------------------------------------------- geometry

def quad(p0, p1, p2, steps=16):
    """Points along a quadratic Bezier curve."""
    pts = []
    for i in range(steps + 1):
        t = i / steps
        a, b, c = (1 - t) ** 2, 2 * t * (1 - t), t * t
        pts.append((a * p0[0] + b * p1[0] + c * p2[0],
                    a * p0[1] + b * p1[1] + c * p2[1]))
    return pts


def curve(*pts):
    """Smooth path through quadratic segments: p0, c1, p1, c2, p2, ..."""
    out = []
    for i in range(0, len(pts) - 2, 2):
        seg = quad(pts[i], pts[i + 1], pts[i + 2])
        out.extend(seg if not out else seg[1:])
    return out


def ellipse_pts(cx, cy, rx, ry, steps=48):
    return [(cx + rx * math.cos(2 * math.pi * i / steps),
             cy + ry * math.sin(2 * math.pi * i / steps)) for i in range(steps)]


class Canvas:
    """Maps picture units to pixels of a supersampled drawing.

    A picture coordinate names a pixel centre (as Pillow does); `origin` is the
    picture point, in continuous coordinates, that lands on the output's top-left.
    """

    def __init__(self, size, scale, supersample, origin=(0.0, 0.0)):
        self.size = size
        self.scale = scale
        self.ss = supersample
        self.origin = origin
        self.hires = (size[0] * supersample, size[1] * supersample)
        self.k = scale * supersample

    def pt(self, p):
        return (((p[0] + 0.5 - self.origin[0]) * self.scale) * self.ss - 0.5,
                ((p[1] + 0.5 - self.origin[1]) * self.scale) * self.ss - 0.5)

    def pts(self, points):
        return [self.pt(p) for p in points]

    def w(self, units):
        return max(1, int(round(units * self.k)))

    def mask(self):
        return Image.new("L", self.hires, 0)

    def layer(self):
        return Image.new("RGBA", self.hires, (0, 0, 0, 0))

    def blur(self, img, units):
        return img.filter(ImageFilter.GaussianBlur(units * self.k))


def polygon_mask(cv, points):
    m = cv.mask()
    ImageDraw.Draw(m).polygon(cv.pts(points), fill=255)
    return m


def ellipse_mask(cv, cx, cy, rx, ry):
    return polygon_mask(cv, ellipse_pts(cx, cy, rx, ry, 96))


def stroke_mask(cv, points, width, closed=False):
    m = cv.mask()
    pts = cv.pts(points + points[:1] if closed else points)
    d = ImageDraw.Draw(m)
    w = cv.w(width)
    d.line(pts, fill=255, width=w, joint="curve")
    r = w / 2
    for x, y in (pts[0], pts[-1]):           # round caps
        d.ellipse((x - r, y - r, x + r, y + r), fill=255)
    return m


def paint(base, colour, mask, opacity=1.0, clip=None):
    """Composite a flat colour onto `base` through `mask` (and `clip`)."""
    if clip is not None:
        mask = ImageChops.multiply(mask, clip)
    if opacity < 1.0:
        mask = mask.point(lambda v: int(v * opacity + 0.5))
    layer = Image.new("RGBA", base.size, colour + (255,))
    layer.putalpha(mask)
    base.alpha_composite(layer)


def vertical_gradient_mask(cv, top, bottom):
    """Mask rising from 0 at picture row `top` to 255 at row `bottom`."""
    y0, y1 = cv.pt((0, top))[1], cv.pt((0, bottom))[1]
    col = Image.new("L", (1, cv.hires[1]))
    col.putdata([int(255 * min(1, max(0, (y - y0) / (y1 - y0))))
                 for y in range(cv.hires[1])])
    return col.resize(cv.hires)


# ---------------------------------------------------------------- the face

HAIR_SHAPE = [(-6, -6), (96, -6), (96, 60)] + curve(
    (88, 60), (84, 50), (83, 46), (81, 40), (77, 44), (74, 36), (67, 41),
    (62, 33), (55, 40), (50, 32), (44, 39), (37, 32), (30, 41), (24, 35),
    (18, 45), (13, 40), (10, 50), (7, 54), (5, 62)) + [(-6, 64)]

HAIR_STRANDS = [
    curve((46, 4), (38, 16), (37, 30)),
    curve((46, 4), (54, 18), (55, 33)),
    curve((40, 6), (26, 14), (24, 29)),
    curve((52, 6), (66, 14), (68, 32)),
    curve((30, 9), (16, 20), (15, 36)),
    curve((62, 9), (77, 20), (79, 34)),
    curve((22, 13), (9, 28), (8, 48)),
    curve((70, 13), (84, 28), (83, 46)),
]

MOUTH_TOP = curve((29, 119), (46, 126), (63, 119))
MOUTH_BOTTOM = curve((63, 119), (58, 137), (46, 138), (34, 137), (29, 119))


def draw_skin(img, cv, head):
    paint(img, SKIN, head)
    rim = ImageChops.invert(cv.blur(head, 7))
    paint(img, SKIN_SHADE, rim, 0.9, clip=head)
    paint(img, SKIN_SHADE, vertical_gradient_mask(cv, 112, 158), 0.35, clip=head)
    for cx, cy, rx, ry in ((46, 58, 20, 9), (20, 100, 8, 6), (72, 100, 8, 6)):
        paint(img, SKIN_LIGHT, cv.blur(ellipse_mask(cv, cx, cy, rx, ry), 4),
              0.8, clip=head)
    chin = cv.blur(ellipse_mask(cv, 46, 148, 8, 3), 2)
    paint(img, SKIN_LIGHT, chin, 0.6, clip=head)


EARS = (  # (region beyond the cheek line, cheek line, inner fold)
    ([(-6, 62), (6, 63)] + curve((6, 63), (9, 86), (8, 109)) + [(-6, 110)],
     curve((6, 64), (9, 86), (8, 108)),
     curve((6, 74), (1, 86), (5, 100))),
    ([(96, 62), (83, 63)] + curve((83, 63), (81, 86), (83, 109)) + [(96, 110)],
     curve((83, 64), (81, 86), (83, 108)),
     curve((84, 74), (89, 86), (85, 100))),
)


def draw_ears(img, cv, head):
    for region, cheek, fold in EARS:
        ear = ImageChops.multiply(cv.blur(polygon_mask(cv, region), 0.8), head)
        paint(img, SKIN_SHADE, ear, 0.8)
        paint(img, SKIN_DEEP, cv.blur(stroke_mask(cv, fold, 1.4), 0.4), 0.9, clip=ear)
        paint(img, SKIN_DEEP, stroke_mask(cv, cheek[:5], 0.9), 0.8, clip=head)
        paint(img, SKIN_DEEP, stroke_mask(cv, cheek[-5:], 0.9), 0.8, clip=head)


def draw_hair(img, cv, head):
    hair = ImageChops.multiply(polygon_mask(cv, HAIR_SHAPE), head)
    shadow = cv.blur(hair.transform(hair.size, Image.AFFINE,
                                    (1, 0, 0, 0, 1, -2.5 * cv.k)), 2)
    paint(img, SKIN_DEEP, shadow, 0.55, clip=head)
    paint(img, HAIR, hair)
    edge = ImageChops.invert(cv.blur(hair, 3))
    paint(img, HAIR_DARK, edge, 0.9, clip=hair)
    shine = stroke_mask(cv, curve((18, 22), (46, 2), (74, 22)), 5)
    paint(img, HAIR_LIGHT, cv.blur(shine, 2.2), 0.85, clip=hair)
    for strand in HAIR_STRANDS:
        paint(img, HAIR_DARK, stroke_mask(cv, strand, 0.9), 0.7, clip=hair)
    paint(img, HAIR_DARK, stroke_mask(cv, HAIR_SHAPE[3:-1], 0.9), 0.9, clip=head)


def draw_brows(img, cv):
    for brow in (curve((15, 67), (24, 59), (36, 64)),
                 curve((56, 64), (68, 59), (77, 67))):
        paint(img, HAIR_DARK, stroke_mask(cv, brow, 2.4))


def draw_eyes(img, cv):
    rx, ry = EYE_WHITE_RADII
    for cx, cy in EYE_CENTRES:
        paint(img, LINE, ellipse_mask(cv, cx, cy, rx + 1.2, ry + 1.2))
        white = ellipse_mask(cv, cx, cy, rx, ry)
        paint(img, EYE_WHITE, white)
        shade = ImageChops.invert(vertical_gradient_mask(cv, cy - ry, cy - ry + 6))
        paint(img, EYE_SHADOW, shade, 1.0, clip=white)
        lid = [(cx - rx - 1.5, cy - 0.5)] + curve(
            (cx - rx - 0.6, cy - 2), (cx - rx + 1, cy - ry - 1.2),
            (cx, cy - ry - 1.2), (cx + rx - 1, cy - ry - 1.2),
            (cx + rx + 0.6, cy - 2))
        lid.append((cx + rx + 1.5, cy - 0.5))
        paint(img, LINE, stroke_mask(cv, lid, 1.6))
        outer = 1 if cx > HEAD_SIZE[0] / 2 else -1
        for dy in (-3.5, -1.2):
            lash = [(cx + outer * (rx + 0.3), cy + dy - 1),
                    (cx + outer * (rx + 2.6), cy + dy - 2.4)]
            paint(img, LINE, stroke_mask(cv, lash, 1.0))


def draw_nose(img, cv, head):
    shadow = cv.blur(polygon_mask(cv, curve((49, 84), (52, 96), (53, 104),
                                            (46, 110), (40, 104))), 2)
    paint(img, SKIN_SHADE, shadow, 0.8, clip=head)
    ball = ellipse_mask(cv, 46, 101, 6.5, 5)
    paint(img, SKIN_LIGHT, cv.blur(ball, 1.2), 0.9)
    paint(img, SKIN_DEEP, stroke_mask(cv, curve((39.5, 101), (39, 106), (43, 106)), 1.0), 0.9)
    paint(img, SKIN_DEEP, stroke_mask(cv, curve((52.5, 101), (53, 106), (49, 106)), 1.0), 0.9)
    for nx in (43.5, 48.5):
        paint(img, SKIN_DEEP, ellipse_mask(cv, nx, 105.3, 1.4, 0.9), 0.9)
    paint(img, SKIN_LIGHT, cv.blur(ellipse_mask(cv, 47.5, 99, 1.6, 1.2), 0.6))


def draw_mouth(img, cv):
    mouth = polygon_mask(cv, MOUTH_TOP + MOUTH_BOTTOM[1:])
    paint(img, MOUTH, mouth)
    paint(img, TONGUE, ellipse_mask(cv, 46, 139, 10, 5.5), 1.0, clip=mouth)
    teeth = polygon_mask(cv, MOUTH_TOP + curve((63, 119), (46, 133), (29, 119))[1:])
    paint(img, TEETH, teeth, 1.0, clip=mouth)
    paint(img, LINE, stroke_mask(cv, MOUTH_TOP + MOUTH_BOTTOM[1:], 1.3, closed=True))
    for dimple in (curve((26, 116), (27.5, 120), (30, 122)),
                   curve((66, 116), (64.5, 120), (62, 122))):
        paint(img, SKIN_DEEP, stroke_mask(cv, dimple, 1.0), 0.9)
    lip = cv.blur(polygon_mask(cv, curve((37, 140), (46, 146), (55, 140))), 1)
    paint(img, SKIN_DEEP, lip, 0.35)


def draw_blush(img, cv, head):
    for cx in (15, 77):
        paint(img, BLUSH, cv.blur(ellipse_mask(cv, cx, 108, 7, 4), 2.5), 0.45, clip=head)


def draw_pupils(img, cv):
    """Pupils looking ahead; the program moves its own, so only icons get these."""
    for cx, cy in EYE_CENTRES:
        dot = ellipse_mask(cv, cx, cy - 0.5, 2.6, 2.6)
        paint(img, PUPIL_RED, dot)
        paint(img, PUPIL_RED_LIGHT, ellipse_mask(cv, cx - 0.8, cy - 1.4, 0.9, 0.8), 0.9)


def draw_head(cv, pupils=False):
    """The whole head on a transparent supersampled canvas."""
    img = cv.layer()
    head = polygon_mask(cv, OUTLINE)
    draw_skin(img, cv, head)
    draw_ears(img, cv, head)
    draw_blush(img, cv, head)
    draw_nose(img, cv, head)
    draw_mouth(img, cv)
    draw_brows(img, cv)
    draw_eyes(img, cv)
    if pupils:
        draw_pupils(img, cv)
    draw_hair(img, cv, head)
    paint(img, LINE, stroke_mask(cv, OUTLINE, 1.1, closed=True), 1.0, clip=head)
    return img


# ---------------------------------------------------------------- head pictures

def render_head(scale, supersample=4):
    """RGB head picture at `scale` with exact polygon silhouette on black."""
    size = (HEAD_SIZE[0] * scale, HEAD_SIZE[1] * scale)
    # Scaled vertices (x * scale, y * scale) name pixel centres too.
    shift = 0.5 - 0.5 / scale
    cv = Canvas(size, scale, supersample, (shift, shift))
    hires = draw_head(cv)
    flat = Image.new("RGBA", cv.hires, LINE + (255,))
    flat.alpha_composite(hires)
    rgb = flat.convert("RGB").reduce(supersample)
    silhouette = Image.new("L", size, 0)
    ImageDraw.Draw(silhouette).polygon([(x * scale, y * scale) for x, y in OUTLINE],
                                       fill=255)
    return rgb, silhouette


def median_cut(pixels, count):
    sample = Image.new("RGB", (len(pixels), 1))
    sample.putdata(pixels)
    colours = sample.quantize(count, method=Image.Quantize.MEDIANCUT,
                              dither=Image.Dither.NONE).getpalette()[:count * 3]
    return colours + colours[-3:] * (count - len(colours) // 3)


def map_to(rgb, colours, first):
    """Indices into `colours`, which will sit at palette index `first` onwards."""
    unused = [0, 255, 0]                    # pure green: never nearest to a face
    lookup = Image.new("P", (1, 1))
    lookup.putpalette(unused * first + colours + unused * (256 - first - len(colours) // 3))
    return rgb.quantize(palette=lookup, dither=Image.Dither.NONE)


def quantize_head(rgb, silhouette):
    """256 colours: the head's, then the eye whites' own, then black for the ground.

    Eye whites get their own entries so no skin or teeth colour is averaged
    into the "all channels >= WHITE_MIN" range that marks them.
    """
    light = Image.new("L", rgb.size)
    light.putdata([255 if m and min(p) >= WHITE_MIN else 0
                   for p, m in zip(rgb.getdata(), silhouette.getdata())])
    pixels = list(zip(rgb.getdata(), silhouette.getdata(), light.getdata()))
    assert all(p != GROUND for p, m, _ in pixels if m)
    whites = median_cut([p for p, m, w in pixels if w], LIGHT_COLOURS)
    others = median_cut([p for p, m, w in pixels if m and not w], 255 - LIGHT_COLOURS)
    picture = map_to(rgb, others, 0)
    picture.paste(map_to(rgb, whites, 255 - LIGHT_COLOURS), mask=light)
    picture.paste(255, mask=ImageChops.invert(silhouette))
    picture.putpalette(others + whites + list(GROUND))
    return picture


def pupil_positions(scale):
    """Every top-left a pupil can take: at rest, and for a fine sweep of directions."""
    out = {(x * scale, y * scale) for x, y in PUPIL_REST}
    dirs = [(0.0, 0.0)] + [(math.cos(math.radians(a / 4)), math.sin(math.radians(a / 4)))
                           for a in range(360 * 4)]
    for cx, cy, reach_x, reach_y in EYES:
        for ux, uy in dirs:
            left = (cx + reach_x * ux - PUPIL_SIZE[0] / 2) * scale
            top = (cy + reach_y * uy - PUPIL_SIZE[1] / 2) * scale
            for rnd in (math.floor, lambda v: math.floor(v + 0.5)):
                out.add((rnd(left), rnd(top)))
    return out


def check_head(picture, scale):
    rgb = picture.convert("RGB")
    silhouette = Image.new("L", picture.size, 0)
    ImageDraw.Draw(silhouette).polygon([(x * scale, y * scale) for x, y in OUTLINE],
                                       fill=255)
    for i, (p, m) in enumerate(zip(rgb.getdata(), silhouette.getdata())):
        assert (p == GROUND) == (m == 0), divmod(i, picture.width)
    reach = scale  # vertex within this many pixels of the head's edge
    for vx, vy in OUTLINE:
        near = [rgb.getpixel((x, y))
                for x in range(vx * scale - reach, vx * scale + reach + 1)
                for y in range(vy * scale - reach, vy * scale + reach + 1)
                if 0 <= x < picture.width and 0 <= y < picture.height]
        assert GROUND in near and any(p != GROUND for p in near), (vx, vy)
    need = {(l + dx, t + dy) for l, t in pupil_positions(scale)
            for dx in range(PUPIL_SIZE[0] * scale) for dy in range(PUPIL_SIZE[1] * scale)}
    for p in need:
        assert min(rgb.getpixel(p)) >= WHITE_MIN, p
    eyes = eye_boxes(picture.size, scale)
    for i, (p, e) in enumerate(zip(rgb.getdata(), eyes.getdata())):
        assert min(p) < WHITE_MIN or e, divmod(i, picture.width)


def eye_boxes(size, scale):
    """Generous boxes around the eyes, for telling eye whites from skin."""
    m = Image.new("L", size, 0)
    rx, ry = EYE_WHITE_RADII
    for cx, cy in EYE_CENTRES:
        ImageDraw.Draw(m).rectangle(((cx - rx - 1) * scale, (cy - ry - 1) * scale,
                                     (cx + rx + 2) * scale, (cy + ry + 2) * scale),
                                    fill=255)
    return m


def save_gif(img, name, colours, **params):
    """GIF89a with the palette kept whole (`colours` entries)."""
    img.info["version"] = b"89a"
    path = os.path.join(HERE, name)
    img.save(path, "GIF", optimize=False, **params)
    with open(path, "rb") as f:
        header = f.read(13)
    assert header[:6] == b"GIF89a"
    assert header[10] & 0x80 and 2 << (header[10] & 7) == colours, name


# ---------------------------------------------------------------- pupil

def pupil_palette():
    """A ramp of dark reds, with white in the transparent slot."""
    ramp = []
    for i in range(PUPIL_COLOURS - 1):
        t = i / (PUPIL_COLOURS - 2)
        ramp.append(tuple(int(round(a + (b - a) * t))
                          for a, b in zip(PUPIL_RED_DARK, PUPIL_RED_LIGHT)))
    ramp.insert(PUPIL_TRANSPARENT_INDEX, (255, 255, 255))
    return ramp


def render_pupil(scale, supersample=16):
    """A shaded dot, thresholded to whole pixels in the 32-colour palette."""
    size = (PUPIL_SIZE[0] * scale, PUPIL_SIZE[1] * scale)
    cv = Canvas(size, scale, supersample)
    dot = ellipse_mask(cv, 2, 2, 2.6, 2.6)
    img = cv.layer()
    paint(img, PUPIL_RED, dot)
    paint(img, PUPIL_RED_DARK, ImageChops.invert(cv.blur(dot, 0.9)), 0.9, clip=dot)
    paint(img, PUPIL_RED_LIGHT, cv.blur(ellipse_mask(cv, 1.5, 1.4, 0.9, 0.7), 0.4), 0.9,
          clip=dot)
    small = img.reduce(supersample)
    palette = pupil_palette()
    out = Image.new("P", size, PUPIL_TRANSPARENT_INDEX)
    for y in range(size[1]):
        for x in range(size[0]):
            r, g, b, a = small.getpixel((x, y))
            if a >= 128:
                out.putpixel((x, y), nearest(palette, (r, g, b)))
    out.putpalette([c for rgb in palette for c in rgb])
    return out


def nearest(palette, colour):
    best = min((sum((a - b) ** 2 for a, b in zip(p, colour)), i)
               for i, p in enumerate(palette) if i != PUPIL_TRANSPARENT_INDEX)
    return best[1]


def check_pupil(img, scale):
    w, h = img.size
    for y in range(h):
        for x in range(w):
            clear = img.getpixel((x, y)) == PUPIL_TRANSPARENT_INDEX
            corner = x in (0, w - 1) and y in (0, h - 1 - scale)
            if y >= h - scale or corner:
                assert clear, (x, y)
            if scale == 1 and not (y >= h - 1 or corner):
                assert not clear, (x, y)


# ---------------------------------------------------------------- icons

HEAD_TOP, HEAD_BOTTOM = 1, 156             # continuous extent of the outline
HEAD_MID_X = (1 + 90) / 2


def render_icon(n):
    """RGBA n x n icon: the head fitted to the height, centred across."""
    scale = n / (HEAD_BOTTOM - HEAD_TOP)
    ss = max(4, math.ceil(6 / scale))
    origin = (HEAD_MID_X - n / 2 / scale, HEAD_TOP)
    cv = Canvas((n, n), scale, ss, origin)
    return draw_head(cv, pupils=True).reduce(ss)


def palette_icon(rgba):
    """At most 256 colours, with per-entry transparency."""
    return rgba.quantize(256, method=Image.Quantize.FASTOCTREE, dither=Image.Dither.NONE)


def save_png(img, *parts):
    path = os.path.join(HERE, *parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.save(path, "PNG", optimize=False)


def dib(img):
    """Icon bitmap: BITMAPINFOHEADER, pixels bottom-up, then the AND mask."""
    w, h = img.size
    if img.mode == "P":
        rgba = img.convert("RGBA")
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 8, 0, 0, 0, 0, 256, 0)
        pal = img.getpalette()[:768]
        pal += [0] * (768 - len(pal))
        table = b"".join(bytes((pal[i + 2], pal[i + 1], pal[i], 0)) for i in range(0, 768, 3))
        rows = [bytes(img.getpixel((x, y)) for x in range(w)) for y in range(h)]
        pixels = b"".join(r + b"\0" * (-len(r) % 4) for r in reversed(rows))
    else:
        rgba = img
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        table = b""
        pixels = b"".join(bytes((b, g, r, a)) for y in reversed(range(h))
                          for r, g, b, a in (rgba.getpixel((x, y)) for x in range(w)))
    mask_rows = []
    for y in reversed(range(h)):
        bits = bytearray((w + 31) // 32 * 4)
        for x in range(w):
            if rgba.getpixel((x, y))[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(bytes(bits))
    return header + table + pixels + b"".join(mask_rows)


def write_ico(images, name):
    blobs = [dib(im) for im in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for im, blob in zip(images, blobs):
        w, h = im.size
        bits, colours = (8, 0) if im.mode == "P" else (32, 0)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, colours, 0, 1, bits,
                           len(blob), offset)
        offset += len(blob)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out + b"".join(blobs))


# ---------------------------------------------------------------- cursor

def capsule(p0, p1, r, steps=12):
    """Outline of a stroke from p0 to p1 with round ends of radius r."""
    ang = math.atan2(p1[1] - p0[1], p1[0] - p0[0])
    pts = []
    for (cx, cy), start in ((p1, ang - math.pi / 2), (p0, ang + math.pi / 2)):
        pts += [(cx + r * math.cos(start + math.pi * i / steps),
                 cy + r * math.sin(start + math.pi * i / steps)) for i in range(steps + 1)]
    return pts


# Pointing hand in pixel units (x covers pixel column [x, x+1)).
HAND_FINGERS = [  # (x centre, top of the round tip, radius); index finger first
    (6, 1, 2), (9, 8, 2), (12, 9, 2), (14.8, 10.7, 1.8)]
HAND_PALM = [(4, 15), (16.6, 13), (16.6, 22), (14.5, 26.5), (6.5, 26.5), (4, 23)]
HAND_THUMB = ((5.5, 20), (1.9, 15), 1.9)
HAND_CUFF = [(6, 26.5), (15, 26.5), (15, 30.5), (6, 30.5)]
HAND_CREASES = [((7, 8), (7, 15)), ((10, 10), (10, 15)), ((13, 11), (13, 15)),
                ((7, 26), (14, 26))]    # between the fingers, then the cuff seam


def hand_shape(cv):
    parts = [capsule((x, top + r), (x, 20), r) for x, top, r in HAND_FINGERS]
    parts += [HAND_PALM, capsule(*HAND_THUMB), HAND_CUFF]
    m = cv.mask()
    for part in parts:
        m = ImageChops.lighter(m, polygon_mask(cv, part))
    return m


def render_cursor():
    """Coverage-thresholded hand: black rim and creases, white inside."""
    ss = 8
    cv = Canvas((32, 32), 1, ss, (0.5, 0.5))      # unit x covers pixel [x, x+1)
    shape = hand_shape(cv).reduce(ss).point(lambda v: 255 if v >= 128 else 0)
    inside = shape              # offset() wraps, but the hand keeps off the far edges
    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
        inside = ImageChops.darker(inside, ImageChops.offset(shape, dx, dy))
    img = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    img.paste((0, 0, 0, 255), mask=shape)
    img.paste((255, 255, 255, 255), mask=inside)
    d = ImageDraw.Draw(img)
    for crease in HAND_CREASES:
        d.line(crease, fill=(0, 0, 0, 255))
    return img


def check_cursor(img):
    col = [img.getpixel((5, y))[3] for y in range(32)]
    assert col[0] == 0 and col[1] == 255
    assert all(img.getpixel((x, 0))[3] == 0 for x in range(32))
    assert set(img.getdata()) <= {(0, 0, 0, 0), (0, 0, 0, 255), (255, 255, 255, 255)}


# ---------------------------------------------------------------- main

def main():
    for scale, name in ((1, "head.gif"), (2, "head@2x.gif")):
        picture = quantize_head(*render_head(scale))
        check_head(picture, scale)
        save_gif(picture, name, 256, interlace=True)

    for scale, name in ((1, "pupil.gif"), (2, "pupil@2x.gif")):
        pupil = render_pupil(scale)
        check_pupil(pupil, scale)
        save_gif(pupil, name, PUPIL_COLOURS, transparency=PUPIL_TRANSPARENT_INDEX)

    icons = {n: render_icon(n) for n in sorted(set(HICOLOR_SIZES) | {16, 32, 48, 64})}
    save_png(palette_icon(icons[32]), "icon.png")
    save_png(palette_icon(icons[64]), "icon@2x.png")
    write_ico([icons[16], palette_icon(icons[32]), icons[48]], "oglon.ico")
    for n in HICOLOR_SIZES:
        save_png(icons[n], "icons", "hicolor", f"{n}x{n}", "apps", "oglon.png")

    cursor = render_cursor()
    check_cursor(cursor)
    save_png(cursor, "hand-cursor.png")


if __name__ == "__main__":
    main()
