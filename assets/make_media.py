#!/usr/bin/env python3
"""Makes the program's sound and animation resources with the standard
library only:

  arrival.wav  the chime played when a USB drive arrives (WAVE 167):
               16-bit PCM, mono, 22050 Hz, about 0.4 s.
  scan.avi     the clip of the USB scan page (AVI 170), 160 x 40.
  working.avi  the clip of the clean-up on the repair page (AVI 183), 180 x 32.

The clips are what the Win32 animation control plays: one video stream,
no sound, uncompressed 8-bit palettised frames (BI_RGB). The control makes
the colour of the first frame's top-left pixel transparent, so the
background is one flat colour that no drawn pixel uses.

Usage: make_media.py OUTPUT_DIR
       make_media.py --frames DIR   (the clips' frames as PPM files, for review)
"""
import math
import os
import struct
import sys
import wave

# ----------------------------------------------------------------- sound

SAMPLE_RATE = 22050


def chime_samples():
    """Two bell-like notes, the second a fifth above the first."""
    length = int(SAMPLE_RATE * 0.42)
    notes = [(0.0, 1046.5), (0.11, 1568.0)]  # (start seconds, frequency)
    out = []
    for i in range(length):
        t = i / SAMPLE_RATE
        value = 0.0
        for start, freq in notes:
            u = t - start
            if u < 0:
                continue
            attack = min(1.0, u / 0.004)
            decay = math.exp(-u * 9.0)
            # A little of the octave and twelfth gives the tone a bell colour.
            tone = (math.sin(2 * math.pi * freq * u)
                    + 0.30 * math.sin(2 * math.pi * 2 * freq * u) * math.exp(-u * 12)
                    + 0.12 * math.sin(2 * math.pi * 3 * freq * u) * math.exp(-u * 18))
            value += 0.30 * attack * decay * tone
        fade_out = min(1.0, (length - i) / (SAMPLE_RATE * 0.02))
        out.append(max(-1.0, min(1.0, value * fade_out)))
    return out


def write_wave(path):
    samples = chime_samples()
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(SAMPLE_RATE)
        w.writeframes(b''.join(struct.pack('<h', int(s * 32767)) for s in samples))


# ----------------------------------------------------------- rasterising

def hex_rgb(text):
    text = text.lstrip('#')
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


class Canvas:
    """An RGB frame drawn with 4 x 4 supersampled coverage."""

    SUB = 4

    def __init__(self, width, height, background):
        self.width, self.height = width, height
        self.pixels = [list(background) for _ in range(width * height)]

    def fill(self, inside, box, colour, alpha=1.0):
        """Paints the points for which inside(x, y) holds; box bounds them."""
        x0, y0, x1, y1 = box
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.width, int(math.ceil(x1))), min(self.height, int(math.ceil(y1)))
        n = self.SUB
        offsets = [(i + 0.5) / n for i in range(n)]
        rgb = hex_rgb(colour)
        for py in range(y0, y1):
            for px in range(x0, x1):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if inside(px + ox, py + oy):
                            hits += 1
                if hits:
                    a = alpha * hits / (n * n)
                    p = self.pixels[py * self.width + px]
                    for c in range(3):
                        p[c] = p[c] * (1 - a) + rgb[c] * a

    # Shapes ---------------------------------------------------------------
    def circle(self, cx, cy, r, colour, alpha=1.0):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                  (cx - r, cy - r, cx + r, cy + r), colour, alpha)

    def ring(self, cx, cy, r, width, colour):
        inner, outer = (r - width / 2) ** 2, (r + width / 2) ** 2
        self.fill(lambda x, y: inner <= (x - cx) ** 2 + (y - cy) ** 2 <= outer,
                  (cx - r - width, cy - r - width, cx + r + width, cy + r + width), colour)

    def rect(self, x, y, w, h, colour, radius=0.0):
        def inside(px, py):
            dx = max(x + radius - px, 0, px - (x + w - radius))
            dy = max(y + radius - py, 0, py - (y + h - radius))
            return dx * dx + dy * dy <= radius * radius
        self.fill(inside, (x, y, x + w, y + h), colour)

    def line(self, x0, y0, x1, y1, width, colour):
        """A segment with round caps."""
        vx, vy = x1 - x0, y1 - y0
        length2 = vx * vx + vy * vy or 1e-9
        r2 = (width / 2) ** 2

        def inside(px, py):
            t = max(0.0, min(1.0, ((px - x0) * vx + (py - y0) * vy) / length2))
            dx, dy = px - (x0 + t * vx), py - (y0 + t * vy)
            return dx * dx + dy * dy <= r2
        pad = width / 2
        self.fill(inside, (min(x0, x1) - pad, min(y0, y1) - pad,
                           max(x0, x1) + pad, max(y0, y1) + pad), colour)

    def polygon(self, points, colour):
        def inside(px, py):
            result = False
            j = len(points) - 1
            for i in range(len(points)):
                xi, yi = points[i]
                xj, yj = points[j]
                if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
                    result = not result
                j = i
            return result
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.fill(inside, (min(xs), min(ys), max(xs), max(ys)), colour)

    def rgb_frame(self):
        return [tuple(int(round(c)) for c in p) for p in self.pixels]


# ----------------------------------------------------------------- scenes

# The flat background that the animation control turns transparent. It is
# close to the button face, so edges blended with it look smooth either way.
BACKGROUND = hex_rgb('#F0F0F0')


def document(canvas, x, y, lit):
    """A small page with a folded corner; lit pages have been examined."""
    border = '#43A047' if lit else '#90A4AE'
    canvas.polygon([(x, y), (x + 11, y), (x + 16, y + 5), (x + 16, y + 21), (x, y + 21)], border)
    canvas.polygon([(x + 1.5, y + 1.5), (x + 10.3, y + 1.5), (x + 14.5, y + 5.7),
                    (x + 14.5, y + 19.5), (x + 1.5, y + 19.5)], '#FAFAFA')
    canvas.polygon([(x + 10.5, y + 0.5), (x + 15.5, y + 5.5), (x + 10.5, y + 5.5)], border)
    line = '#A5D6A7' if lit else '#CFD8DC'
    for i in range(3):
        canvas.rect(x + 3.5, y + 9 + i * 3.5, 9 - (i % 2) * 3, 1.6, line)


def scan_frame(index, count):
    """A magnifier sweeps to and fro over a row of files on a USB stick."""
    width, height = 160, 40
    canvas = Canvas(width, height, BACKGROUND)
    # The USB stick on the left.
    canvas.rect(3, 15, 8, 10, '#B0BEC5', 1)
    canvas.rect(10, 10, 18, 20, '#00897B', 3)
    canvas.rect(14, 22, 10, 2.5, '#FAFAFA', 1)
    # The row of files.
    phase = index / count
    lens_x = 44 + 98 * (1 - math.cos(2 * math.pi * phase)) / 2   # first to last file
    for i in range(6):
        x = 36 + i * 19.5
        document(canvas, x, 9.5, abs((x + 8) - lens_x) < 9)
    # The magnifier on top.
    lx, ly, r = lens_x, 17.0, 9.0
    canvas.line(lx + 6.5, ly + 6.5, lx + 13, ly + 13.5, 5, '#E65100')
    canvas.circle(lx, ly, r, '#FFE0B2', 0.55)
    canvas.ring(lx, ly, r, 3.4, '#FB8C00')
    return width, height, canvas.rgb_frame()


def gear_polygon(cx, cy, angle, teeth=8, outer=12.0, inner=9.0):
    points = []
    steps = teeth * 4
    for k in range(steps):
        a = angle + 2 * math.pi * k / steps
        radius = outer if k % 4 in (1, 2) else inner
        points.append((cx + radius * math.cos(a), cy + radius * math.sin(a)))
    return points


def working_frame(index, count):
    """A turning gear and a light running along a row of dots."""
    width, height = 180, 32
    canvas = Canvas(width, height, BACKGROUND)
    # Eight teeth: turning by one tooth pitch over the loop repeats exactly.
    angle = (2 * math.pi / 8) * index / count
    canvas.polygon(gear_polygon(16, 16, angle), '#1E88E5')
    canvas.circle(16, 16, 4.2, '#FAFAFA')
    canvas.polygon(gear_polygon(36, 11, -angle * 8 / 6 + 0.3, teeth=6, outer=7.5, inner=5.5),
                   '#64B5F6')
    canvas.circle(36, 11, 2.4, '#FAFAFA')
    dots = 8
    head = index / count * dots
    for i in range(dots):
        x = 60 + i * 15
        distance = (head - i) % dots
        glow = max(0.0, 1.0 - distance / 3.0)
        base = hex_rgb('#CFD8DC')
        lit = hex_rgb('#43A047')
        colour = '#%02X%02X%02X' % tuple(int(base[c] + (lit[c] - base[c]) * glow) for c in range(3))
        canvas.circle(x, 16, 4.0 + 1.5 * glow, colour)
    return width, height, canvas.rgb_frame()


# ------------------------------------------------------------ palettising

def median_cut(colours, boxes_wanted):
    """colours: {rgb: count}. Returns up to boxes_wanted representative colours."""
    boxes = [list(colours.items())]
    while len(boxes) < boxes_wanted:
        best, best_range, best_channel = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for c in range(3):
                values = [rgb[c] for rgb, _ in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_channel = i, spread, c
        if best is None or best_range == 0:
            break
        box = sorted(boxes.pop(best), key=lambda item: item[0][best_channel])
        total = sum(n for _, n in box)
        running, cut = 0, 1
        for k, (_, n) in enumerate(box):
            running += n
            if running >= total / 2:
                cut = max(1, min(len(box) - 1, k + 1))
                break
        boxes += [box[:cut], box[cut:]]
    result = []
    for box in boxes:
        total = sum(n for _, n in box)
        result.append(tuple(int(round(sum(rgb[c] * n for rgb, n in box) / total)) for c in range(3)))
    return result


def palettise(frames):
    """Entry 0 is the background; the other 255 entries fit the pictures."""
    histogram = {}
    for frame in frames:
        for rgb in frame:
            if rgb != BACKGROUND:
                histogram[rgb] = histogram.get(rgb, 0) + 1
    palette = [BACKGROUND] + [c for c in median_cut(histogram, 255) if c != BACKGROUND]
    palette += [(0, 0, 0)] * (256 - len(palette))
    nearest = {BACKGROUND: 0}
    for rgb in histogram:
        nearest[rgb] = min(range(1, 256), key=lambda i: sum((rgb[c] - palette[i][c]) ** 2 for c in range(3)))
    return palette, [bytes(nearest[rgb] for rgb in frame) for frame in frames]


# ------------------------------------------------------------------- AVI

def chunk(fourcc, payload):
    data = fourcc + struct.pack('<I', len(payload)) + payload
    return data + (b'\0' if len(payload) % 2 else b'')


def riff_list(kind, fourcc, payload):
    return kind + struct.pack('<I', len(payload) + 4) + fourcc + payload


def write_avi(path, width, height, palette, indexed, fps):
    stride = (width + 3) & ~3
    frame_size = stride * height
    images = []
    for pixels in indexed:
        rows = [pixels[y * width:(y + 1) * width] + b'\0' * (stride - width)
                for y in range(height)]
        images.append(b''.join(reversed(rows)))  # DIBs are stored bottom-up

    count = len(images)
    usec_per_frame = int(1000000 / fps)
    avih = struct.pack('<14I', usec_per_frame, frame_size * fps, 0,
                       0x10,            # AVIF_HASINDEX
                       count, 0, 1, frame_size, width, height, 0, 0, 0, 0)
    strh = (b'vids' + b'DIB ' +
            struct.pack('<IHHIIIIIIII', 0, 0, 0, 0, 1, fps, 0, count, frame_size,
                        0xFFFFFFFF, 0) +
            struct.pack('<4h', 0, 0, width, height))
    strf = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0, frame_size,
                       0, 0, 256, 0)
    strf += b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    hdrl = riff_list(b'LIST', b'hdrl',
                     chunk(b'avih', avih) +
                     riff_list(b'LIST', b'strl', chunk(b'strh', strh) + chunk(b'strf', strf)))

    movi_payload = b''
    index = b''
    for image in images:
        offset = 4 + len(movi_payload)   # from the 'movi' four-character code
        movi_payload += chunk(b'00db', image)
        index += b'00db' + struct.pack('<III', 0x10, offset, len(image))  # AVIIF_KEYFRAME
    movi = riff_list(b'LIST', b'movi', movi_payload)
    body = hdrl + movi + chunk(b'idx1', index)
    with open(path, 'wb') as f:
        f.write(riff_list(b'RIFF', b'AVI ', body))


def render_clip(draw, count):
    frames = []
    width = height = 0
    for i in range(count):
        width, height, pixels = draw(i, count)
        frames.append(pixels)
    palette, indexed = palettise(frames)
    return width, height, palette, indexed


CLIPS = [('scan', scan_frame, 20, 10), ('working', working_frame, 16, 12)]


def write_frames(folder):
    """Each frame as the control will show it: through the palette."""
    for name, draw, count, _ in CLIPS:
        width, height, palette, indexed = render_clip(draw, count)
        for i, pixels in enumerate(indexed):
            with open(os.path.join(folder, '%s-%02d.ppm' % (name, i)), 'wb') as f:
                f.write(b'P6 %d %d 255\n' % (width, height))
                f.write(b''.join(bytes(palette[p]) for p in pixels))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == '--frames':
        write_frames(sys.argv[2])
        return
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    write_wave(os.path.join(out, 'arrival.wav'))
    print('  arrival.wav')
    for name, draw, count, fps in CLIPS:
        width, height, palette, indexed = render_clip(draw, count)
        write_avi(os.path.join(out, name + '.avi'), width, height, palette, indexed, fps)
        print('  %s.avi' % name)


if __name__ == '__main__':
    main()
