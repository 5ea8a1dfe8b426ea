"""Contact sheet of every picture at 2x, and mock-ups of the play scene and the title as the game
composes them (positions of the play and title scenes)."""
import os
import sys

import numpy as np
from PIL import Image, ImageDraw

sys.path.insert(0, os.path.dirname(__file__))
import imgio  # noqa: E402

PICS = ["titleback", "titleback2", "back", "table", "hito1", "hito2", "hito3", "hito4", "owan", "miso",
        "gohan1", "gohan2", "ready", "go", "soko", "tsubu"]


def load(root, name):
    rgb, key = imgio.read_palette_bmp(os.path.join(root, "bmp", name + ".bmp"))
    a = np.where(key, 0, 255).astype(np.uint8)
    return Image.fromarray(np.dstack([rgb, a]), "RGBA")


def checker(w, h):
    yy, xx = np.mgrid[0:h, 0:w]
    c = np.where(((xx // 8) + (yy // 8)) % 2 == 0, 200, 150).astype(np.uint8)
    return Image.fromarray(np.dstack([c, c, c]), "RGB")


def contact_sheet(root, out):
    imgs = [(n, load(root, n)) for n in PICS]
    from PIL import Image as I
    ic = I.open(os.path.join(root, "icon", "main.bmp")).convert("RGBA")
    imgs.append(("icon", ic))
    sheet_w = 1640
    x, y, row_h = 10, 10, 0
    placed = []
    for n, im in imgs:
        w, h = im.size[0] * 2, im.size[1] * 2
        if x + w > sheet_w - 10:
            x, y, row_h = 10, y + row_h + 24, 0
        placed.append((n, im, x, y))
        x += w + 14
        row_h = max(row_h, h)
    sheet = Image.new("RGB", (sheet_w, y + row_h + 34), (60, 60, 70))
    d = ImageDraw.Draw(sheet)
    for n, im, x, y in placed:
        big = im.resize((im.size[0] * 2, im.size[1] * 2), Image.NEAREST)
        bg = checker(*big.size)
        bg.paste(big, (0, 0), big)
        sheet.paste(bg, (x, y))
        d.text((x, y + big.size[1] + 4), "%s %dx%d" % (n.upper(), im.size[0], im.size[1]), fill=(255, 255, 255))
    sheet.save(out, optimize=False)


def play_mock(root, out, hito="hito1", rice=10, bowls=12, refill=False):
    scr = Image.new("RGB", (640, 480))
    scr.paste(load(root, "back").convert("RGB").resize((640, 480), Image.NEAREST), (0, 0))

    def put(name, x, y):
        im = load(root, name)
        scr.paste(im, (x, y), im)
    put("table", 120, 330)
    put(hito, 170, 30)
    if refill:
        put("owan", 410, 100)
    for (x, y) in ((300, 250), (330, 200), (280, 180)):
        put("tsubu", x, y)
    if not refill:
        put("owan", 270, 320)
    for i in range(rice):
        put("gohan1" if i == rice - 1 else "gohan2", 270, 295 - 25 * i)
    for i in range(bowls, 0, -1):
        if i <= 30:
            x, yy = 150, 430 - 12 * i
        elif i <= 60:
            x, yy = 190, 430 - 12 * (i % 31 + 1)
        else:
            x, yy = 230, 430 - 12 * (i % 61 + 1)
        put("owan", x, yy)
    put("miso", 360, 320)
    return scr


def mocks(root, outdir):
    a = play_mock(root, None, "hito1", 10, 12)
    b = play_mock(root, None, "hito4", 0, 13)
    c = play_mock(root, None, "hito3", 0, 13, refill=True)
    d = play_mock(root, None, "hito2", 0, 40)
    im = load(root, "go").resize((400, 80), Image.NEAREST)
    d.paste(im, (120, 200), im)
    sheet = Image.new("RGB", (1290, 970), (40, 40, 40))
    for k, m in enumerate((a, b, c, d)):
        sheet.paste(m, ((k % 2) * 650, (k // 2) * 490))
    sheet.save(os.path.join(outdir, "mock_play.png"), optimize=False)
    t = Image.open(os.path.join(root, "progdir", "oomori.jpg")).convert("RGB")
    assert t.size == (600, 480)
    t = t.resize((640, 480), Image.BILINEAR)
    over = Image.new("RGBA", (640, 480), (0, 0, 0, 0))
    od = ImageDraw.Draw(over)
    od.rectangle((110, 325, 529, 419), fill=(255, 255, 255, 128))
    t = Image.alpha_composite(t.convert("RGBA"), over).convert("RGB")
    td = ImageDraw.Draw(t)
    td.rectangle((110, 325, 529, 419), outline=(255, 0, 255))
    td.text((164, 336), "left click: start", fill=(33, 33, 33))
    td.text((82, 462), "notice line (white, 18 px)", fill=(255, 255, 255))
    t.save(os.path.join(outdir, "mock_title.png"), optimize=False)


def tiled(root, name):
    tile = load(root, name).convert("RGB")
    scr = Image.new("RGB", (640, 480))
    for y in range(-20, 480, 64):
        for x in range(-20, 640, 64):
            scr.paste(tile, (x, y))
    return scr


def label(d, text, x, y, size, bgr, shadow=None):
    from PIL import ImageFont
    font = ImageFont.truetype("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf", size)
    colour = (bgr & 255, (bgr >> 8) & 255, (bgr >> 16) & 255)
    if shadow:
        d.text((x + shadow[0], y + shadow[1]), text, font=font, fill=(0, 0, 0))
    d.text((x, y), text, font=font, fill=colour)


def screens(root, outdir):
    """Result and ranking screens with their texts, to judge readability over the tiles."""
    res = tiled(root, "titleback2")
    d = ImageDraw.Draw(res)
    label(d, "食べたご飯：42杯", 30, 40, 48, 0xC88C50, (3, 3))
    label(d, "摂取カロリー：105840Kcal", 30, 100, 48, 0xC88C50, (3, 3))
    label(d, "ランク：Ａ", 30, 160, 48, 0x648CB4, (3, 3))
    label(d, "1位にランクインしました", 320, 220, 24, 0x0000FF, (1, 1))
    hito = load(root, "hito1").crop((0, 0, 300, 280))
    res.paste(hito, (30, 200), hito)
    d.rectangle((300, 300, 579, 339), fill=(255, 255, 255))
    label(d, "食べまくりだよぉ", 305, 310, 18, 0)
    label(d, "左クリックでタイトルに戻るよ", 290, 430, 24, 0)
    rank = tiled(root, "titleback")
    d = ImageDraw.Draw(rank)
    label(d, "ランキング", 220, 50, 40, 0x00E6E6, (3, 3))
    for i in range(5):
        label(d, "%d位　%2d杯　%d Kcal" % (i + 1, 50 - 9 * i, (50 - 9 * i) * 2520), 30, 130 + 50 * i, 32, 0xC88C50, (2, 2))
        label(d, ["神", "Ｓ", "Ａ", "Ｂ", "-"][i], 562, 130 + 50 * i, 32, [0x6464FF, 0x00FFFF, 0xC8C864, 0xC8C864, 0xC8C864][i], (2, 2))
    label(d, "左クリックでタイトル画面に戻ります", 30, 380, 24, 0)
    ready = play_mock(root, None, "hito1", 0, 0)
    im = load(root, "ready")
    ready.paste(im, (220, 220), im)
    d = ImageDraw.Draw(ready)
    label(d, "残り 30秒", 10, 10, 32, 0xFFFFFF)
    soko = play_mock(root, None, "hito1", 0, 25)
    im = load(root, "soko")
    soko.paste(im, (220, 220), im)
    sheet = Image.new("RGB", (1290, 970), (40, 40, 40))
    for k, m in enumerate((res, rank, ready, soko)):
        sheet.paste(m, ((k % 2) * 650, (k // 2) * 490))
    sheet.save(os.path.join(outdir, "mock_screens.png"), optimize=False)


if __name__ == "__main__":
    root = sys.argv[1]
    contact_sheet(root, os.path.join(root, "contact_sheet.png"))
    mocks(root, sys.argv[2] if len(sys.argv) > 2 else "/tmp")
    screens(root, sys.argv[2] if len(sys.argv) > 2 else "/tmp")
