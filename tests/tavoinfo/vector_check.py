"""Reads a tavoinfo --plot vector picture back with the clients people use.

Usage: vector_check.py FILE.svg|FILE.pdf
Prints key=value lines:
  size=WxH     SVG: the viewBox (Python's XML parser); PDF: pdfinfo's page size
  pages=N      PDF only, from pdfinfo
  images=N     SVG only: embedded raster images (the three spectrograms)
  texts=N      SVG only: glyph runs drawn (titles, ticks and labels)
"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"


def svg(path):
    root = ET.parse(path).getroot()
    if root.tag != SVG + "svg":
        sys.exit("not an SVG document: " + root.tag)
    _, _, w, h = root.get("viewBox").split()
    print("size=%sx%s" % (w, h))
    print("images=%d" % len(root.findall(".//" + SVG + "image")))
    print("texts=%d" % sum(1 for g in root.iter(SVG + "g") if g.find(SVG + "use") is not None))


def pdf(path):
    info = subprocess.run(["pdfinfo", path], check=True, capture_output=True, text=True).stdout
    pages = re.search(r"^Pages:\s+(\d+)", info, re.M).group(1)
    w, h = re.search(r"^Page size:\s+([\d.]+) x ([\d.]+) pts", info, re.M).groups()
    print("size=%dx%d" % (round(float(w)), round(float(h))))
    print("pages=" + pages)


def main():
    path = sys.argv[1]
    svg(path) if path.lower().endswith(".svg") else pdf(path)


if __name__ == "__main__":
    main()
