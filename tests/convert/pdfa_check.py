"""The clauses of PDF/A-2b that apply to the converter's PDFs, read through qpdf's JSON:
  pdfa_check.py FILE.pdf [TITLE AUTHOR]
Exits non-zero naming the first clause broken. What it does not check is listed in the README."""
import base64
import json
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

path = sys.argv[1]
doc = json.loads(subprocess.run(["qpdf", "--json-output", "--json-stream-data=inline",
                                 "--decode-level=generalized", path],
                                capture_output=True, check=True).stdout)["qpdf"]
header, objects = doc[0], doc[1]
raw = open(path, "rb").read()


def fail(clause):
    sys.exit(f"{path}: {clause}")


def obj(ref):
    return objects["obj:" + ref] if isinstance(ref, str) and ref.endswith(" R") else None


def value(ref):
    o = obj(ref)
    return ref if o is None else o.get("value", o.get("stream", {}).get("dict"))


def data(ref):
    return base64.b64decode(obj(ref)["stream"]["data"])


def text(s):
    if isinstance(s, str) and s.startswith("u:"):
        return s[2:]
    return s


# 6.1.2: the header's version, and bytes above 127 in the comment after it.
if not re.match(rb"%PDF-1\.[4-7]\n%[\x80-\xff]{4}", raw):
    fail("6.1.2 the header")
trailer = objects["trailer"]["value"]
# 6.1.3: an ID in the trailer, no encryption.
if "/ID" not in trailer or "/Encrypt" in trailer:
    fail("6.1.3 the trailer's ID, no encryption")
catalog = value(trailer["/Root"])
# 6.6.2: XMP metadata, unfiltered, naming part 2 conformance B.
meta_ref = catalog.get("/Metadata")
meta = obj(meta_ref) if meta_ref else None
if not meta or "/Filter" in meta["stream"]["dict"] or meta["stream"]["dict"].get("/Subtype") != "/XML":
    fail("6.6.2.1 the catalog's metadata stream, unfiltered")
xmp_bytes = data(meta_ref)
if not xmp_bytes.startswith(b"<?xpacket begin=") or b'<?xpacket end="w"?>' not in xmp_bytes:
    fail("6.6.2.1 the XMP packet's wrapper")
ns = {"rdf": "http://www.w3.org/1999/02/22-rdf-syntax-ns#",
      "pdfaid": "http://www.aiim.org/pdfa/ns/id/", "dc": "http://purl.org/dc/elements/1.1/",
      "xmp": "http://ns.adobe.com/xap/1.0/", "pdf": "http://ns.adobe.com/pdf/1.3/",
      "pdfaSchema": "http://www.aiim.org/pdfa/ns/schema#"}
xmp = ET.fromstring(xmp_bytes[xmp_bytes.index(b"<x:xmpmeta"):xmp_bytes.index(b"<?xpacket end")])
if xmp.findtext(".//pdfaid:part", namespaces=ns) != "2" or \
        xmp.findtext(".//pdfaid:conformance", namespaces=ns) != "B":
    fail("6.6.4 pdfaid:part 2, conformance B")
# 6.6.2.3: every property outside the predefined schemas has its schema described.
known = set(ns.values()) | {"http://www.aiim.org/pdfa/ns/extension/",
                            "http://www.aiim.org/pdfa/ns/property#", "adobe:ns:meta/"}
described = {e.text for e in xmp.iter("{%s}namespaceURI" % ns["pdfaSchema"])}
for e in xmp.iter():
    uri = e.tag[1:].split("}")[0] if e.tag.startswith("{") else ""
    if uri and uri not in known and uri not in described:
        fail(f"6.6.2.3 a property of {uri} without its extension schema")
# 6.6.3: the information dictionary and the XMP say the same.
info = value(trailer["/Info"]) if "/Info" in trailer else {}
pairs = {"/Title": ".//dc:title//rdf:li", "/Author": ".//dc:creator//rdf:li",
         "/Subject": ".//dc:description//rdf:li", "/Creator": ".//xmp:CreatorTool",
         "/Producer": ".//pdf:Producer"}
for key, xpath in pairs.items():
    if text(info.get(key)) != xmp.findtext(xpath, namespaces=ns):
        fail(f"6.6.3 {key} is {info.get(key)!r} in the information, not as in the XMP")
created, xmp_created = text(info.get("/CreationDate")), xmp.findtext(".//xmp:CreateDate", namespaces=ns)
if (created is None) != (xmp_created is None) or (
        created and re.sub(r"\D", "", xmp_created) != re.sub(r"\D", "", created)):
    fail("6.6.3 the creation dates differ")
if len(sys.argv) > 3 and (text(info.get("/Title")), text(info.get("/Author"))) != tuple(sys.argv[2:4]):
    fail(f"the title and author are {info.get('/Title')!r}, {info.get('/Author')!r}")
# 6.2.3: an output intent with an embedded RGB profile (the images are RGB, grey or indexed).
intents = [value(i) for i in value(catalog.get("/OutputIntents", []))]
pdfa = [i for i in intents if i.get("/S") == "/GTS_PDFA1"]
if len(pdfa) != 1 or "/DestOutputProfile" not in pdfa[0]:
    fail("6.2.3 one PDF/A output intent with its profile")
profile = data(pdfa[0]["/DestOutputProfile"])
if profile[36:40] != b"acsp" or profile[16:20] != b"RGB " or \
        value(pdfa[0]["/DestOutputProfile"]).get("/N") != 3:
    fail("6.2.3 the profile is an ICC RGB profile of 3 components")
for key, o in objects.items():
    d = o.get("value") if "value" in o else o.get("stream", {}).get("dict")
    if not isinstance(d, dict):
        continue
    filters = d.get("/Filter", [])
    filters = filters if isinstance(filters, list) else [filters]
    # 6.1.7: no LZW; 6.2.8: images not interpolated, no alternates; 6.2.4.3: no CMYK without
    # its intent; 6.4: no transparency group or soft mask; 6.6.1: no JavaScript or actions.
    if "/LZWDecode" in filters:
        fail(f"6.1.7 LZW in {key}")
    if d.get("/Interpolate") is True or "/Alternates" in d or "/OPI" in d:
        fail(f"6.2.8 an image's Interpolate, Alternates or OPI in {key}")
    if d.get("/ColorSpace") == "/DeviceCMYK":
        fail(f"6.2.4.3 DeviceCMYK in {key}")
    if "/SMask" in d or "/Group" in d:
        fail(f"6.4 transparency in {key}")
    if "/JS" in d or "/AA" in d or d.get("/S") == "/JavaScript":
        fail(f"6.6.1 an action in {key}")
    # 6.2.11.4: every font embedded, its widths those of its glyphs.
    if d.get("/Type") == "/Font" and d.get("/Subtype") == "/CIDFontType2":
        fd = value(d["/FontDescriptor"])
        if "/FontFile2" not in fd or "/CIDToGIDMap" not in d:
            fail(f"6.2.11.4 a font without its program or glyph map in {key}")
        ttf = data(fd["/FontFile2"])
        tables = {ttf[12 + 16 * i:16 + 16 * i]: struct.unpack(">II", ttf[20 + 16 * i:28 + 16 * i])
                  for i in range(struct.unpack(">H", ttf[4:6])[0])}
        units = struct.unpack(">H", ttf[tables[b"head"][0] + 18:tables[b"head"][0] + 20])[0]
        hmtx = tables[b"hmtx"][0]
        advances = [struct.unpack(">H", ttf[hmtx + 4 * g:hmtx + 4 * g + 2])[0] for g in (0, 1)]
        gids = set(struct.unpack(f">{len(data(d['/CIDToGIDMap'])) // 2}H", data(d["/CIDToGIDMap"]))[1:])
        if gids != {1} or round(advances[1] * 1000 / units) != d.get("/DW") or "/W" in d:
            fail(f"6.2.11.5 the widths of {key} are not its glyphs'")
    elif d.get("/Type") == "/Font" and d.get("/Subtype") not in ("/Type0",):
        fail(f"6.2.11.4 a font other than the embedded glyphless one in {key}")
print("PDF/A-2b clauses hold")
