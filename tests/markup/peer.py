"""The markup tests' independent reader and writer, over python's xml.etree.

  peer.py dump FILE...            lists each file's elements (see below)
  peer.py make FOLDER COUNT SEED  writes COUNT random documents made by
                                  ElementTree into FOLDER (N.xml) and lists
                                  the trees they were made from

A listing has one line per element in document order:
depth|name|attribute=value...|data, where data is the element's text when it
has no child elements (empty otherwise), and texts are Windows-1250 bytes with
'|', '\\' and bytes outside printable ASCII written as \\xHH. Each listing is
headed by "== NAME".
"""
import random
import sys
import xml.etree.ElementTree as ET

ENCODING = "cp1250"


def esc(text):
    return "".join(chr(b) if 0x20 <= b < 0x7F and b not in b"|\\" else "\\x%02x" % b
                   for b in text.encode(ENCODING))


def listing(elem, depth=0, lines=None):
    lines = [] if lines is None else lines
    data = "" if len(elem) else (elem.text or "")
    fields = [str(depth), esc(elem.tag)] + [esc(k) + "=" + esc(v) for k, v in elem.attrib.items()] + [esc(data)]
    lines.append("|".join(fields))
    for child in elem:
        listing(child, depth + 1, lines)
    return lines


def dump(paths):
    for path in paths:
        print("== " + path)
        try:
            print("\n".join(listing(ET.parse(path).getroot())))
        except ET.ParseError as error:
            print("parse error: %s" % error)


NAMES = ["a", "b", "item", "Zone", "kamera", "x-1", "n.2", "\u017c\u00f3\u0142w"]
TEXT = ["", "", "plain", "x < y & z > w", "'quoted' \"twice\"", "\u0141\u00f3d\u017a \u0105\u0119", "&amp; stays", "]]>", " spaced "]


def random_tree(rng, depth=0):
    elem = ET.Element(rng.choice(NAMES))
    for name in rng.sample(["id", "type", "v", "\u015bcie\u017cka"], rng.randint(0, 3)):
        elem.set(name, rng.choice(TEXT))
    if depth < 4 and rng.random() < 0.6:
        for _ in range(rng.randint(1, 4)):
            elem.append(random_tree(rng, depth + 1))
    else:
        elem.text = rng.choice(TEXT) or None
    return elem


def make(folder, count, seed):
    rng = random.Random(seed)
    for n in range(1, count + 1):
        root = random_tree(rng)
        if n % 3 == 0:
            ET.indent(root)
        short = n % 2 == 0
        with open("%s/%d.xml" % (folder, n), "wb") as f:
            ET.ElementTree(root).write(f, encoding="windows-1250", xml_declaration=True, short_empty_elements=short)
        print("== %d.xml" % n)
        print("\n".join(listing(root)))


if __name__ == "__main__":
    if sys.argv[1] == "dump":
        dump(sys.argv[2:])
    else:
        make(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
