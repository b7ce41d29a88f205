"""Small, fully deterministic MIME writer for the demo mail.

The standard library's email package picks random boundaries and folds
headers differently between Python versions; the demo wants the same bytes
on every run, so messages are written by hand here. Lines end in LF, as in
a maildir.
"""

import base64
import datetime
import quopri
import struct
import zlib
from urllib.parse import quote

# Python codec for each MIME charset name used by the demo.
CODECS = {
    "us-ascii": "ascii",
    "utf-8": "utf-8",
    "iso-8859-1": "latin-1",
    "iso-8859-15": "iso8859_15",
    "iso-8859-7": "iso8859_7",
    "windows-1252": "cp1252",
    "koi8-r": "koi8_r",
    "gb2312": "gb2312",
    "iso-2022-jp": "iso2022_jp",
}

# --- text encodings -----------------------------------------------------------


def encode_text(text, charset):
    codec = CODECS[charset]
    if codec == "iso2022_jp":
        # Each line has to end back in ASCII; the codec only resets at the
        # end of its input.
        return b"\n".join(line.encode(codec) for line in text.split("\n"))
    return text.encode(codec)


def can_encode(text, charset):
    try:
        encode_text(text, charset)
        return True
    except UnicodeEncodeError:
        return False


def is_ascii(text):
    return all(32 <= ord(c) < 127 or c in "\t\n" for c in text)


def transfer_encode(data, cte):
    if cte == "base64":
        return base64.encodebytes(data)
    if cte == "quoted-printable":
        out = quopri.encodestring(data)
        return out if out.endswith(b"\n") else out + b"=\n"
    return data if data.endswith(b"\n") else data + b"\n"


def _encoded_word(text, charset, q):
    raw = encode_text(text, charset)
    if not q:
        return "=?%s?B?%s?=" % (charset.upper() if charset == "iso-2022-jp" else charset,
                                base64.b64encode(raw).decode("ascii"))
    safe = b"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!*+-/"
    enc = "".join(
        chr(b) if b in safe else "_" if b == 0x20 else "=%02X" % b for b in raw)
    return "=?%s?Q?%s?=" % (charset, enc)


def encoded_words(text, charset="utf-8", q=False, budget=66):
    """RFC 2047 words for text, each short enough for a folded line."""
    words, chunk = [], ""
    for ch in text:
        cand = chunk + ch
        if chunk and len(_encoded_word(cand, charset, q)) > budget:
            words.append(_encoded_word(chunk, charset, q))
            chunk = ch
        else:
            chunk = cand
    if chunk:
        words.append(_encoded_word(chunk, charset, q))
    return words


def header_text(text, charset="utf-8", q=False):
    """An unstructured header value: plain where it can be, RFC 2047 where not.

    Leading and trailing plain words (such as "Re:") stay readable, as real
    clients write them; everything from the first to the last word that
    needs encoding becomes encoded words.
    """
    if is_ascii(text):
        return fold_words(text.split(" "))
    if not can_encode(text, charset):
        charset = "utf-8"
    words = text.split(" ")
    odd = [i for i, w in enumerate(words) if not is_ascii(w)]
    first, last = odd[0], odd[-1]
    tokens = words[:first]
    tokens += encoded_words(" ".join(words[first:last + 1]), charset, q)
    tokens += words[last + 1:]
    return fold_words(tokens)


def fold_words(tokens, width=72):
    lines, line = [], ""
    for t in tokens:
        if line and len(line) + 1 + len(t) > width:
            lines.append(line)
            line = t
        else:
            line = t if not line else line + " " + t
    lines.append(line)
    return "\n ".join(lines)


_SPECIALS = set('()<>[]:;@\\,."')


def address(name, email, charset="utf-8"):
    if not name:
        return email
    if not is_ascii(name):
        cs = charset if can_encode(name, charset) else "utf-8"
        return " ".join(encoded_words(name, cs)) + " <%s>" % email
    if any(c in _SPECIALS for c in name):
        return '"%s" <%s>' % (name.replace("\\", "\\\\").replace('"', '\\"'), email)
    return "%s <%s>" % (name, email)


def format_date(when, offset_minutes):
    tz = datetime.timezone(datetime.timedelta(minutes=offset_minutes))
    local = when.astimezone(tz)
    days = ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]
    months = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
    sign = "+" if offset_minutes >= 0 else "-"
    off = abs(offset_minutes)
    return "%s, %02d %s %d %02d:%02d:%02d %s%02d%02d" % (
        days[local.weekday()], local.day, months[local.month - 1], local.year,
        local.hour, local.minute, local.second, sign, off // 60, off % 60)


# --- entities -----------------------------------------------------------------

_TOKEN = set("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!#$&+-.^_`|~")


def param(name, value):
    if value and all(c in _TOKEN for c in value):
        return "%s=%s" % (name, value)
    return '%s="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"'))


def filename_params(key, filename, style):
    """The file-name parameter in one of the forms real mail uses.

    2231:   key*=UTF-8''percent-encoded (split into key*0*, key*1* when long)
    2047:   key="=?UTF-8?B?...?="    (not standard, but what many clients send)
    latin1: key*=iso-8859-1''...
    plain:  key="name"
    """
    if style == "plain" or is_ascii(filename):
        return [param(key, filename)]
    if style == "2047":
        return ['%s="%s"' % (key, " ".join(encoded_words(filename, "utf-8", budget=200)))]
    charset, codec = ("iso-8859-1", "latin-1") if style == "latin1" else ("utf-8", "utf-8")
    encoded = quote(filename.encode(codec), safe="")
    if len(encoded) <= 60:
        return ["%s*=%s''%s" % (key, charset, encoded)]
    pieces, rest = [], encoded
    while rest:
        cut = min(48, len(rest))
        # Never split a %XX escape.
        while cut < len(rest) and "%" in rest[cut - 2:cut]:
            cut -= 1
        pieces.append(rest[:cut])
        rest = rest[cut:]
    out = []
    for i, piece in enumerate(pieces):
        prefix = "%s''" % charset if i == 0 else ""
        out.append("%s*%d*=%s%s" % (key, i, prefix, piece))
    return out


class Leaf:
    def __init__(self, ctype, data, cte, params=(), headers=()):
        self.ctype, self.data, self.cte = ctype, data, cte
        self.params, self.headers = list(params), list(headers)


class Multi:
    def __init__(self, subtype, parts, params=()):
        self.ctype = "multipart/" + subtype
        self.parts, self.params = parts, list(params)


def text(body, charset="utf-8", cte="quoted-printable", subtype="plain", extra_params=()):
    if not body.endswith("\n"):
        body += "\n"
    if not can_encode(body, charset):
        charset = "utf-8"
    if is_ascii(body) and cte in ("quoted-printable", "8bit"):
        cte = "7bit"
    if charset == "iso-2022-jp":
        cte = "7bit"
    return Leaf("text/" + subtype, encode_text(body, charset), cte,
                [param("charset", charset)] + list(extra_params))


def attachment(data, ctype, filename, style="2231", inline=False, cid=None, cte="base64"):
    headers = []
    if cid:
        headers.append(("Content-ID", "<%s>" % cid))
    disp = "inline" if inline else "attachment"
    headers.append(("Content-Disposition",
                    ";\n ".join([disp] + filename_params("filename", filename, style))))
    name_style = "2047" if style == "2231" else style
    return Leaf(ctype, data, cte, filename_params("name", filename, name_style), headers)


class Boundaries:
    def __init__(self, seed):
        self.seed, self.n = seed, 0

    def next(self):
        self.n += 1
        return "=_pst_%s_%02d" % (self.seed, self.n)


def render_entity(entity, boundaries):
    lines = []
    if isinstance(entity, Multi):
        boundary = boundaries.next()
        lines.append("Content-Type: " + ";\n ".join(
            [entity.ctype] + entity.params + [param("boundary", boundary)]))
        out = "\n".join(lines).encode("ascii") + b"\n\nThis is a multi-part message in MIME format.\n"
        for part in entity.parts:
            out += b"\n--" + boundary.encode("ascii") + b"\n" + render_entity(part, boundaries)
        out += b"\n--" + boundary.encode("ascii") + b"--\n"
        return out
    lines.append("Content-Type: " + ";\n ".join([entity.ctype] + entity.params))
    lines.append("Content-Transfer-Encoding: " + entity.cte)
    for name, value in entity.headers:
        lines.append("%s: %s" % (name, value))
    body = transfer_encode(entity.data, entity.cte)
    return "\n".join(lines).encode("ascii") + b"\n\n" + body.rstrip(b"\n")


def render_message(headers, entity, boundary_seed):
    head = "".join("%s: %s\n" % (k, v) for k, v in headers if v is not None)
    head += "MIME-Version: 1.0\n"
    body = render_entity(entity, Boundaries(boundary_seed))
    return head.encode("ascii") + body + b"\n"


# --- binary attachments ------------------------------------------------------


def png(width, height, pixel):
    """An RGB PNG; pixel(x, y) returns (r, g, b)."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(pixel(x, y))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def _pdf_string(text):
    out = []
    for b in text.encode("cp1252", "replace"):
        c = chr(b)
        if c in "()\\":
            out.append("\\" + c)
        elif 32 <= b < 127:
            out.append(c)
        else:
            out.append("\\%03o" % b)
    return "(" + "".join(out) + ")"


def pdf(title, lines):
    """A one-page PDF with a title and lines of text (Western European)."""
    ops = ["BT", "/F2 16 Tf", "56 780 Td", _pdf_string(title) + " Tj", "/F1 10.5 Tf", "0 -30 Td"]
    for line in lines:
        ops.append(_pdf_string(line) + " Tj")
        ops.append("0 -15 Td")
    ops.append("ET")
    stream = "\n".join(ops).encode("ascii")
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
        b"/Resources << /Font << /F1 4 0 R /F2 5 0 R >> >> /Contents 6 0 R >>",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
        b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream",
        b"<< /Title " + _pdf_string(title).encode("ascii") + b" /Producer (Postern demo) >>",
    ]
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for i, obj in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % i + obj + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += b"trailer\n<< /Size %d /Root 1 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, len(objects), xref)
    return bytes(out)
