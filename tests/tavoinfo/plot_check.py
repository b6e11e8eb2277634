"""Reads a tavoinfo --plot picture back and prints what it shows, as key=value lines.

Usage: plot_check.py FILE.svg  (Python's XML parser): size=WxH of the viewBox,
         images=N embedded rasters (the spectrograms), texts=N glyph runs drawn
       plot_check.py PNG NYQUIST WAVE0 SPEC0 SPEC1 SPEC2 BAR2 [SOUND_ROW]  (PIL)
Boxes are x,y,width,height in pixels as the plot layout gives them. For a PNG:
  size=WxH; wave0_shaded, spec2_shaded: runs a-b of columns (x) in the gap
  shade on the top row of that panel; peak0_hz: frequency of the brightest
  spectrogram row of channel 0 over the unshaded columns; off_floor1,
  off_floor2: the share of channel 1 and 2 spectrogram pixels (unshaded
  columns) not of the colour bar's bottom colour; sound_ink=a-b: first and
  last dark pixel on the sound axis row; sound_runs=N: runs of them.
"""
import sys
import xml.etree.ElementTree as ET

from PIL import Image

GAP_SHADE = (204, 204, 204)
SVG = "{http://www.w3.org/2000/svg}"


def box(text):
    return [int(v) for v in text.split(",")]


def runs(xs):
    out = []
    for x in xs:
        if out and out[-1][1] == x - 1:
            out[-1][1] = x
        else:
            out.append([x, x])
    return ",".join("%d-%d" % tuple(r) for r in out)


def shaded_columns(img, b):
    x0, y0, w, _ = b
    return [x for x in range(x0, x0 + w) if img.getpixel((x, y0)) == GAP_SHADE]


def brightest_row_hz(img, b, skip, nyquist):
    x0, y0, w, h = b
    best_row, best = 0, -1.0
    for r in range(h):
        values = [sum(img.getpixel((x, y0 + r))) for x in range(x0, x0 + w) if x not in skip]
        mean = sum(values) / len(values)
        if mean > best:
            best_row, best = r, mean
    return (h - best_row - 0.5) / h * nyquist


def off_floor(img, b, skip, floor):
    x0, y0, w, h = b
    pixels = [img.getpixel((x, y)) for x in range(x0, x0 + w) if x not in skip
              for y in range(y0, y0 + h)]
    return sum(1 for p in pixels if p != floor) / len(pixels)


def svg(path):
    root = ET.parse(path).getroot()
    if root.tag != SVG + "svg":
        sys.exit("not an SVG document: " + root.tag)
    print("size=%sx%s" % tuple(root.get("viewBox").split()[2:]))
    print("images=%d" % len(root.findall(".//" + SVG + "image")))
    print("texts=%d" % sum(1 for g in root.iter(SVG + "g") if g.find(SVG + "use") is not None))


def main():
    if sys.argv[1].endswith(".svg"):
        return svg(sys.argv[1])
    img = Image.open(sys.argv[1]).convert("RGB")
    nyquist = float(sys.argv[2])
    wave0, spec0, spec1, spec2, bar2 = (box(a) for a in sys.argv[3:8])
    print("size=%dx%d" % img.size)
    skip = set(shaded_columns(img, spec0))
    print("wave0_shaded=" + runs(shaded_columns(img, wave0)))
    print("spec2_shaded=" + runs(shaded_columns(img, spec2)))
    print("peak0_hz=%.3f" % brightest_row_hz(img, spec0, skip, nyquist))
    floor = img.getpixel((bar2[0] + bar2[2] // 2, bar2[1] + bar2[3] - 1))
    print("off_floor1=%.3f" % off_floor(img, spec1, skip, floor))
    print("off_floor2=%.3f" % off_floor(img, spec2, skip, floor))
    if len(sys.argv) > 8:
        row = int(sys.argv[8])
        dark = [x for x in range(img.size[0]) if sum(img.getpixel((x, row))) < 3 * 128]
        print("sound_ink=" + ("%d-%d" % (dark[0], dark[-1]) if dark else ""))
        print("sound_runs=%d" % len(runs(dark).split(",")) if dark else "sound_runs=0")


if __name__ == "__main__":
    main()
