"""Picture output for the game's resources: palette BMP writers, the 32-bit icon writer and the
quantisation that keeps the transparent colour (pure green) apart from every other colour."""
import struct

import numpy as np
from PIL import Image

KEY = (0, 255, 0)


def near_green(rgb):
    """Colours a 16-bit surface could confuse with the key, or that read as a green fringe."""
    r, g, b = (int(v) for v in rgb)
    return r + (255 - g) + b < 120


def flatten(surface_rgba, backdrop=None, threshold=0.5):
    """Turns a premultiplied RGBA array (float 0..1, HxWx4) into (rgb uint8, opaque mask).

    Pixels at least `threshold` opaque keep their colour, their soft edge mixed into `backdrop`
    (the colour the sprite will sit on) or, without a backdrop, un-premultiplied into a hard edge.
    The rest become transparent."""
    a = surface_rgba[..., 3:4]
    pre = surface_rgba[..., :3]
    mask = a[..., 0] >= threshold
    if backdrop is None:
        rgb = np.where(a > 0, pre / np.maximum(a, 1e-6), 0.0)
    else:
        bg = np.array(backdrop, dtype=np.float64).reshape(1, 1, 3) / 255.0
        rgb = pre + (1.0 - a) * bg
    rgb = np.clip(np.rint(rgb * 255.0), 0, 255).astype(np.uint8)
    return rgb, mask


def _push_off_key(rgb):
    """Moves any opaque colour that is near the key to a safe neighbour (darker, less saturated)."""
    out = rgb.copy()
    flat = out.reshape(-1, 3).astype(np.int32)
    bad = (flat[:, 0] + (255 - flat[:, 1]) + flat[:, 2]) < 140
    flat[bad, 1] = np.minimum(flat[bad, 1], 150)
    flat[bad, 0] = np.maximum(flat[bad, 0], 40)
    flat[bad, 2] = np.maximum(flat[bad, 2], 30)
    return flat.reshape(out.shape).astype(np.uint8)


def quantize(rgb, mask, colors):
    """Returns (indices HxW uint8, palette list of (r,g,b)) with index 0 = the key for transparent
    pixels and at most colors-1 further entries for the opaque ones."""
    rgb = _push_off_key(rgb)
    h, w, _ = rgb.shape
    opaque = rgb[mask]
    if len(opaque) == 0:
        return np.zeros((h, w), np.uint8), [KEY]
    uniq = np.unique(opaque.reshape(-1, 3), axis=0)
    if len(uniq) <= colors - 1:
        pal = [tuple(int(v) for v in c) for c in uniq]
        lut = {c: i + 1 for i, c in enumerate(pal)}
        idx = np.zeros((h, w), np.uint8)
        ys, xs = np.nonzero(mask)
        for y, x in zip(ys, xs):
            idx[y, x] = lut[tuple(int(v) for v in rgb[y, x])]
        return idx, [KEY] + pal
    # Median cut over the opaque pixels only, so the key never takes part in the palette.
    strip = Image.fromarray(opaque.reshape(1, -1, 3), "RGB")
    q = strip.quantize(colors=colors - 1, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal_flat = q.getpalette()[: 3 * (colors - 1)]
    pal = [tuple(pal_flat[i:i + 3]) for i in range(0, len(pal_flat), 3)]
    # Map every opaque pixel to its nearest palette entry.
    P = np.array(pal, dtype=np.int32)
    px = opaque.astype(np.int32)
    best = np.zeros(len(px), np.int64)
    bestd = np.full(len(px), 1 << 30, np.int64)
    for i, c in enumerate(P):
        d = ((px - c) ** 2).sum(axis=1)
        better = d < bestd
        best[better] = i
        bestd[better] = d[better]
    idx = np.zeros((h, w), np.uint8)
    idx[mask] = (best + 1).astype(np.uint8)
    return idx, [KEY] + pal


def check_palette(pal):
    for i, c in enumerate(pal):
        if i == 0:
            assert tuple(c) == KEY
        else:
            assert tuple(c) != KEY and not near_green(c), (i, c)


def write_palette_bmp(path, idx, pal, bpp):
    """Bottom-up BI_RGB BMP with a 40-byte info header and a full palette (2^bpp entries)."""
    check_palette(pal)
    h, w = idx.shape
    n = 1 << bpp
    assert len(pal) <= n and int(idx.max()) < len(pal)
    pal = list(pal) + [(0, 0, 0)] * (n - len(pal))
    stride = ((w * bpp + 31) // 32) * 4
    rows = []
    for y in range(h - 1, -1, -1):
        row = idx[y]
        if bpp == 8:
            data = bytes(row.tolist())
        elif bpp == 4:
            vals = row.tolist() + ([0] if w % 2 else [])
            data = bytes((vals[i] << 4) | vals[i + 1] for i in range(0, len(vals), 2))
        else:
            raise ValueError(bpp)
        rows.append(data + b"\0" * (stride - len(data)))
    pixels = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in pal)
    off = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(pixels), 2835, 2835, n, 0)
    head = struct.pack("<2sIHHI", b"BM", off + len(pixels), 0, 0, off)
    with open(path, "wb") as f:
        f.write(head + info + palette + pixels)


def write_v5_bmp(path, rgba):
    """32-bit bottom-up BMP with a BITMAPV5HEADER and BI_BITFIELDS masks, straight alpha."""
    h, w, _ = rgba.shape
    rows = []
    for y in range(h - 1, -1, -1):
        r = rgba[y]
        bgra = np.stack([r[:, 2], r[:, 1], r[:, 0], r[:, 3]], axis=1).astype(np.uint8)
        rows.append(bgra.tobytes())
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 124, w, h, 1, 32, 3, len(pixels), 2835, 2835, 0, 0)
    info += struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    info += struct.pack("<I", 0x73524742)  # LCS_sRGB
    info += b"\0" * 36  # endpoints
    info += struct.pack("<III", 0, 0, 0)  # gamma
    info += struct.pack("<IIII", 4, 0, 0, 0)  # LCS_GM_IMAGES, no profile
    assert len(info) == 124
    off = 14 + len(info)
    head = struct.pack("<2sIHHI", b"BM", off + len(pixels), 0, 0, off)
    with open(path, "wb") as f:
        f.write(head + info + pixels)


def read_palette_bmp(path):
    """Reads back what write_palette_bmp wrote, as an RGB array plus a transparency mask."""
    with open(path, "rb") as f:
        d = f.read()
    off = struct.unpack_from("<I", d, 10)[0]
    w, h = struct.unpack_from("<ii", d, 18)
    bpp = struct.unpack_from("<H", d, 28)[0]
    n = 1 << bpp
    pal = [(d[54 + 4 * i + 2], d[54 + 4 * i + 1], d[54 + 4 * i]) for i in range(n)]
    stride = ((w * bpp + 31) // 32) * 4
    out = np.zeros((h, w, 3), np.uint8)
    for y in range(h):
        row = d[off + (h - 1 - y) * stride: off + (h - y) * stride]
        for x in range(w):
            if bpp == 8:
                i = row[x]
            else:
                i = (row[x // 2] >> (4 if x % 2 == 0 else 0)) & 15
            out[y, x] = pal[i]
    key = np.all(out == np.array(KEY, np.uint8), axis=2)
    return out, key
