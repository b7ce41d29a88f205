#!/usr/bin/env python3
"""Writes the demo's mail: the same bytes on every run.

    make-demo-mail.py [--corpus DIR] OUT

Two mailboxes: alice@example.test ("Work": a platform team, partners abroad,
build mail, newsletters) and bob@example.test ("Home": family, travel,
receipts, newsletters), about 300 messages over the 60 days before a fixed
day. OUT gets one .eml file per message under OUT/<user>/<folder>/ and
OUT/index.tsv, one line per message in delivery order:

    USER <TAB> FOLDER <TAB> FILE (relative to OUT) <TAB> FLAGS (Seen,Flagged,Answered or -)

Each file's modification time is its message's date, so a delivery that
keeps file times gives the messages matching arrival times. With --corpus,
up to 30 messages of the shared real-world MIME corpus (chosen by name, not
by chance) go to alice's Archive/Corpus as they are.

Python standard library only; no network; no clock; no randomness that is
not seeded here.
"""

import sys

sys.dont_write_bytecode = True  # run from a checkout: leave no caches beside it

import argparse  # noqa: E402
import datetime  # noqa: E402
import hashlib  # noqa: E402
import html  # noqa: E402
import json  # noqa: E402
import os  # noqa: E402
import random  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mimekit as mk  # noqa: E402

UTC = datetime.timezone.utc
# "Today" in the demo: 09:00 in Hamburg on a Tuesday.
ANCHOR = datetime.datetime(2026, 12, 1, 8, 0, tzinfo=UTC)
DAYS = 60
CORPUS_COUNT = 30
UNREAD_PER_INBOX = 12

# --- time ---------------------------------------------------------------------

# Summer time ends on 25 October 2026 in Europe, on 1 November in New York.
EU_SWITCH = datetime.datetime(2026, 10, 25, 1, 0, tzinfo=UTC)
US_SWITCH = datetime.datetime(2026, 11, 1, 6, 0, tzinfo=UTC)


def zone_offset(zone, when):
    summer_eu = when < EU_SWITCH
    return {
        "berlin": 120 if summer_eu else 60,
        "lisbon": 60 if summer_eu else 0,
        "athens": 180 if summer_eu else 120,
        "moscow": 180,
        "tokyo": 540,
        "shanghai": 480,
        "newyork": -240 if when < US_SWITCH else -300,
        "utc": 0,
    }[zone]


def at(days_ago, hhmm, zone="berlin"):
    """The moment days_ago days before the anchor at hhmm local time in zone."""
    day = ANCHOR.date() - datetime.timedelta(days=days_ago)
    hour, minute = (int(x) for x in hhmm.split(":"))
    naive = datetime.datetime(day.year, day.month, day.day, hour, minute, tzinfo=UTC)
    # The offset of the day before the switch is good enough to pick the zone's time.
    guess = naive - datetime.timedelta(minutes=zone_offset(zone, naive))
    return naive - datetime.timedelta(minutes=zone_offset(zone, guess))


# --- people -------------------------------------------------------------------


class Person:
    def __init__(self, name, email, zone="berlin", lang="en", charset="utf-8",
                 cte="quoted-printable", html=False, sig="", reply="Re: ", q=False):
        self.name, self.email, self.zone, self.lang = name, email, zone, lang
        self.charset, self.cte, self.html, self.sig = charset, cte, html, sig
        self.reply, self.q = reply, q

    def header(self):
        return mk.address(self.name, self.email, self.charset)


def P(*args, **kwargs):
    return Person(*args, **kwargs)


ALICE = P("Alice Berger", "alice@example.test", lang="en", html=True,
          sig="Alice Berger\nTeam Plattform · Nordlicht Systems\n+49 40 5550 1234")
BOB = P("Bob Martin", "bob@example.test", lang="en",
        sig="Bob")

# Work
JONAS = P("Jonas Weber", "jonas.weber@example.test", lang="de",
          sig="Jonas Weber\nBackend · Nordlicht Systems")
PRIYA = P("Priya Raman", "priya.raman@example.test", lang="en", cte="7bit",
          sig="Priya\nQA · Nordlicht Systems")
MARCO = P("Marco Rossi", "marco.rossi@example.test", lang="en", html=True,
          sig="Marco Rossi — Product Design")
SOPHIE = P("Sophie Laurent", "sophie.laurent@example.test", lang="fr", html=True,
           sig="Sophie Laurent\nResponsable produit · Nordlicht Systems, Lyon")
TOBIAS = P("Tobias Schröder", "tobias.schroeder@example.test", lang="de",
           charset="iso-8859-15", reply="AW: ", q=True,
           sig="Tobias Schröder\nLeitung Plattform · Nordlicht Systems GmbH\nSpeicherstadt 12, 20457 Hamburg")
KENJI = P("渡辺 健二", "k.watanabe@sakura-soft.example", zone="tokyo", lang="ja",
          charset="iso-2022-jp", cte="7bit", sig="渡辺 健二\n株式会社さくらソフト 開発部")
LUCIA = P("Lucía Fernández", "lucia.fernandez@mercado-sol.example", lang="es",
          charset="iso-8859-1", sig="Lucía Fernández\nMercado del Sol S.L. · Compras\nSevilla")
DMITRI = P("Дмитрий Волков", "d.volkov@volna.example", zone="moscow", lang="ru",
           charset="koi8-r", cte="8bit", sig="Дмитрий Волков\nООО «Волна»")
ELENI = P("Ελένη Παπαδοπούλου", "eleni@aigaio-data.example", zone="athens", lang="el",
          charset="iso-8859-7", sig="Ελένη Παπαδοπούλου\nAigaio Data, Αθήνα")
LIWEI = P("李伟", "li.wei@hongqiao-elec.example", zone="shanghai", lang="zh",
          charset="gb2312", cte="base64", sig="李伟\n虹桥电子有限公司 销售部")
BUILD = P("Build-Server", "ci@builds.example.test", cte="7bit")
SERVICEDESK = P("IT-Servicedesk", "servicedesk@example.test", lang="de")
PERSONAL = P("Personalabteilung", "personal@example.test", lang="de")
BACKEND_WEEKLY = P("Backend Weekly", "news@backend-weekly.example", zone="newyork")
DEVDAYS = P("DevDays Hamburg", "team@devdays-hamburg.example", lang="de")
FIRMENREISEN = P("Firmenreisen Nord", "buchung@firmenreisen.example", lang="de")
MUELLER = P("Katrin Müller", "k.mueller@mueller-soehne.example", lang="de",
            sig="Katrin Müller\nMüller & Söhne IT-Dienstleistungen KG")
LEGAL = P("Henrik Olsen", "henrik.olsen@example.test", lang="en", sig="Henrik Olsen\nLegal")

# Home
CLARA = P("Clara Dubois", "clara.dubois@courriel.example", lang="fr", html=True, sig="Clara")
MAE = P("Helena Martins", "helena.martins@correio.example", zone="lisbon", lang="pt",
        sig="Beijinhos,\nMãe")
ANA = P("Ana Martins", "ana.martins@correio.example", zone="lisbon", lang="pt", html=True,
        sig="Ana")
PAULO = P("Paulo Martins", "paulo.martins@correio.example", zone="lisbon", lang="pt",
          charset="iso-8859-1", sig="Tio Paulo")
OLGA = P("Ольга Смирнова", "olga.smirnova@pochta.example", zone="moscow", lang="ru",
         cte="base64", sig="Ольга")
WANG = P("王芳", "wang.fang@youjian.example", zone="shanghai", lang="zh", cte="base64",
         sig="王芳")
YANNIS = P("Γιάννης Κωνσταντίνου", "info@villa-elia.example", zone="athens", lang="el",
           sig="Γιάννης Κωνσταντίνου\nVilla Elia, Χανιά")
RYOKAN = P("旅館 さくら", "yoyaku@ryokan-sakura.example", zone="tokyo", lang="ja",
           charset="iso-2022-jp", cte="7bit")
CARMEN = P("Carmen Ruiz", "reservas@cortijo-alba.example", lang="es",
           sig="Carmen Ruiz\nCortijo Alba · Ronda (Málaga)")
MARAIS = P("Hôtel du Marais", "reservation@hotel-marais.example", lang="fr", html=True,
           sig="La réception\nHôtel du Marais · 12 rue des Archives · 75004 Paris")
RAIL = P("TransEuropa Rail", "tickets@transeuropa-rail.example")
SKYLARK = P("SkyLark Air", "no-reply@skylark-air.example")
MUSEE = P("Musée des Arts Nouveaux", "billetterie@musee-arts-nouveaux.example", lang="fr")
GARTEN = P("Gartenfreunde Eimsbüttel", "rundbrief@gartenfreunde.example", lang="de")
BAECKEREI = P("Bäckerei Sonnenschein", "angebote@baeckerei-sonnenschein.example", lang="de")
BIBLIOTHEK = P("Stadtbibliothek Hamburg-Nord", "ausleihe@stadtbibliothek.example", lang="de")
TRAIL = P("Trail Runners Hamburg", "hello@trailrunners-hh.example")
KIOSK = P("Kiosk Online-Shop", "bestellung@kiosk-shop.example", lang="de")
STADTWERKE = P("Stadtwerke Nord", "kundenservice@stadtwerke-nord.example", lang="de")
FUNKNETZ = P("Funknetz Mobil", "rechnung@funknetz.example", lang="de")
HAFENBANK = P("Hafenbank", "service@hafenbank.example", lang="de")
KRUEGER = P("Hausverwaltung Krüger", "info@hv-krueger.example", lang="de",
            sig="Mit freundlichen Grüßen\nUwe Krüger\nHausverwaltung Krüger")
PRAXIS = P("Praxis Dr. Yılmaz", "termine@praxis-yilmaz.example", lang="de")
JAKOB = P("Jakob Hansen", "jakob.hansen@example.test", lang="de", sig="Jakob")

# --- messages -----------------------------------------------------------------


class Item:
    def __init__(self, user, folder, when, raw, sender, subject, text, flags):
        self.user, self.folder, self.when, self.raw = user, folder, when, raw
        self.sender, self.subject, self.text = sender, subject, text
        self.flags = set(flags)
        self.seen = None  # None: decided later (recent inbox mail stays unread)
        self.msgid = None


ITEMS = []
_ids = {}


def message_id(sender, when, subject):
    domain = sender.email.split("@", 1)[1]
    key = "%s|%s|%s" % (sender.email, when.isoformat(), subject)
    _ids[key] = _ids.get(key, 0) + 1
    digest = hashlib.sha1(("%s|%d" % (key, _ids[key])).encode("utf-8")).hexdigest()
    return "<%s.%s@%s>" % (when.strftime("%Y%m%d%H%M%S"), digest[:12], domain)


def add(user, folder, sender, to, subject, when, entity, cc=(), flags=(), seen=None,
        in_reply_to=None, references=(), extra=(), text_for_quote=""):
    msgid = message_id(sender, when, subject)
    headers = [
        ("From", sender.header()),
        ("To", ",\n ".join(p.header() if isinstance(p, Person) else p for p in to)),
        ("Cc", ",\n ".join(p.header() for p in cc) if cc else None),
        ("Subject", mk.header_text(subject, sender.charset, sender.q)),
        ("Date", mk.format_date(when, zone_offset(sender.zone, when))),
        ("Message-ID", msgid),
        ("In-Reply-To", in_reply_to),
        ("References", mk.fold_words(list(references)) if references else None),
    ]
    if sender.lang != "en":
        headers.append(("Content-Language", sender.lang))
    headers += list(extra)
    raw = mk.render_message(headers, entity, hashlib.sha1(msgid.encode()).hexdigest()[:16])
    item = Item(user, folder, when, raw, sender, subject, text_for_quote, flags)
    item.msgid = msgid
    item.seen = seen
    ITEMS.append(item)
    return item


def html_from_text(text, lang):
    """What a mail program sends as the HTML half of a plain message."""
    blocks, quote, para = [], [], []

    def flush_para():
        if para:
            blocks.append("<p>" + "<br>\n".join(html.escape(x) for x in para) + "</p>")
            para.clear()

    def flush_quote():
        if quote:
            inner = html_from_text("\n".join(q[1:].lstrip(" ") if q.startswith(">") else q
                                             for q in quote), lang)
            blocks.append('<blockquote style="margin:0 0 0 .8ex;border-left:2px solid #ccc;'
                          'padding-left:1ex">' + inner + "</blockquote>")
            quote.clear()

    for line in text.split("\n"):
        if line.startswith(">"):
            flush_para()
            quote.append(line)
            continue
        flush_quote()
        if line.strip():
            para.append(line)
        else:
            flush_para()
    flush_para()
    flush_quote()
    return "\n".join(blocks)


def body_entity(sender, text, attachments=(), force_html=False):
    plain = mk.text(text, sender.charset, sender.cte)
    if sender.html or force_html:
        page = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">'
                '</head>\n<body style="font-family:Calibri,Arial,sans-serif;font-size:11pt">\n'
                + html_from_text(text, sender.lang) + "\n</body></html>\n")
        entity = mk.Multi("alternative", [plain, mk.text(page, "utf-8", "quoted-printable", "html")])
    else:
        entity = plain
    if attachments:
        entity = mk.Multi("mixed", [entity] + list(attachments))
    return entity


MONTHS = {
    "de": ["Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September",
           "Oktober", "November", "Dezember"],
    "fr": ["janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre",
           "octobre", "novembre", "décembre"],
    "es": ["enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre",
           "octubre", "noviembre", "diciembre"],
    "pt": ["janeiro", "fevereiro", "março", "abril", "maio", "junho", "julho", "agosto",
           "setembro", "outubro", "novembro", "dezembro"],
}


def attribution(lang, when, zone, name):
    local = when.astimezone(datetime.timezone(datetime.timedelta(minutes=zone_offset(zone, when))))
    hm = "%02d:%02d" % (local.hour, local.minute)
    if lang == "de":
        return "Am %d.%d.%d um %s schrieb %s:" % (local.day, local.month, local.year, hm, name)
    if lang == "fr":
        return "Le %d %s %d à %s, %s a écrit :" % (local.day, MONTHS["fr"][local.month - 1],
                                                   local.year, hm, name)
    if lang == "es":
        return "El %d de %s de %d, a las %s, %s escribió:" % (
            local.day, MONTHS["es"][local.month - 1], local.year, hm, name)
    if lang == "pt":
        return "Em %d de %s de %d, às %s, %s escreveu:" % (
            local.day, MONTHS["pt"][local.month - 1], local.year, hm, name)
    if lang == "ru":
        return "%02d.%02d.%d %s, %s пишет:" % (local.day, local.month, local.year, hm, name)
    if lang == "el":
        return "Στις %d/%d/%d %s, ο/η %s έγραψε:" % (local.day, local.month, local.year, hm, name)
    if lang == "zh":
        return "在 %d年%d月%d日 %s，%s 写道：" % (local.year, local.month, local.day, hm, name)
    if lang == "ja":
        return "%d年%d月%d日 %s %s:" % (local.year, local.month, local.day, hm, name)
    return "On %s, %s wrote:" % (local.strftime("%a, %d %b %Y at ") + hm, name)


def quote_of(item, lang, zone):
    lines = item.text.rstrip("\n").split("\n")
    if "-- " in lines:
        lines = lines[:lines.index("-- ")]
    while lines and not lines[-1].strip():
        lines.pop()
    quoted = "\n".join("> " + line if line else ">" for line in lines)
    return "\n\n" + attribution(lang, item.when, zone, item.sender.name) + "\n" + quoted + "\n"


def with_sig(person, text):
    text = text.strip("\n") + "\n"
    return text + ("\n-- \n" + person.sig + "\n" if person.sig else "")


def thread(user, owner, subject, steps, folder="INBOX", to=None, cc=()):
    """A conversation: each step answers the one before it.

    A step is a dict: p (sender), t (moment), text, and optionally att
    (attachments), folder, flag (flagged), seen, quote (False: no quote),
    lang (of the attribution line), to, cc.
    """
    prev = None
    ids = []
    first_to = list(to or [owner])
    people = [steps[0]["p"]] + first_to + list(cc)
    for i, s in enumerate(steps):
        sender = s["p"]
        if i == 0:
            to_list, cc_list = s.get("to", first_to), s.get("cc", list(cc))
            subj = subject
        else:
            to_list = s.get("to", [prev.sender])
            cc_list = s.get("cc", [p for p in dedupe(people) if p is not sender and p not in to_list])
            subj = subject if subject.startswith(("Re: ", "AW: ")) else sender.reply + subject
        body = with_sig(sender, s["text"])
        full = body
        if prev is not None and s.get("quote", True):
            # Answer and signature above the quote, as most programs write it.
            full = body.rstrip("\n") + quote_of(prev, s.get("lang", sender.lang), sender.zone)
        target = "Sent" if sender is owner else s.get("folder", folder)
        item = add(user, target, sender, to_list, subj, s["t"], body_entity(sender, full, s.get("att", ())),
                   cc=cc_list, flags=["Flagged"] if s.get("flag") else [],
                   seen=True if sender is owner else s.get("seen"),
                   in_reply_to=ids[-1] if ids else None, references=list(ids),
                   text_for_quote=body)
        if sender is owner and prev is not None and prev.user == user:
            prev.flags.add("Answered")
            prev.seen = True
        ids.append(item.msgid)
        people += [p for p in to_list + cc_list if isinstance(p, Person)]
        prev = item
    return prev


def dedupe(people):
    out = []
    for p in people:
        if isinstance(p, Person) and all(p is not q for q in out):
            out.append(p)
    return out


# --- images and documents -----------------------------------------------------

_image_cache = {}


def _mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def hexrgb(s):
    return tuple(int(s[i:i + 2], 16) for i in (1, 3, 5))


def banner(key, width, height, left, right, accent):
    """A newsletter header: a gradient, a round logo mark and soft stripes."""
    if key in _image_cache:
        return _image_cache[key]
    c1, c2, c3 = hexrgb(left), hexrgb(right), hexrgb(accent)
    cx, cy, r = height * 0.75, height / 2, height * 0.32

    def pixel(x, y):
        base = _mix(c1, c2, x / (width - 1))
        d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
        if d < r:
            return c3 if d < r - 4 else (255, 255, 255)
        if (x + 2 * y) % 46 < 3 and x > width * 0.55:
            return _mix(base, (255, 255, 255), 0.18)
        if height * 0.40 < y < height * 0.46 and height * 1.3 < x < width * 0.5:
            return (255, 255, 255)
        if height * 0.56 < y < height * 0.60 and height * 1.3 < x < width * 0.38:
            return _mix(base, (255, 255, 255), 0.6)
        return base

    _image_cache[key] = mk.png(width, height, pixel)
    return _image_cache[key]


def picture(key, width, height, sky_top, sky_bottom, ground, sun, hills=3):
    """A small landscape, standing in for a photograph or an article image."""
    if key in _image_cache:
        return _image_cache[key]
    top, bottom, grd, sn = hexrgb(sky_top), hexrgb(sky_bottom), hexrgb(ground), hexrgb(sun)
    rng = random.Random(key)
    waves = [(rng.uniform(0.4, 0.75), rng.uniform(0.02, 0.06), rng.uniform(1.5, 4.0),
              rng.uniform(0, 6.28)) for _ in range(hills)]
    sx, sy, sr = width * rng.uniform(0.2, 0.8), height * rng.uniform(0.15, 0.35), height * 0.09

    import math

    def pixel(x, y):
        for i, (level, amp, freq, phase) in enumerate(waves):
            h = height * (level + amp * math.sin(freq * x / width * 6.28 + phase) + i * 0.08)
            if y > h:
                return _mix(grd, (0, 0, 0), min(0.5, i * 0.15 + (y - h) / height * 0.4))
        if (x - sx) ** 2 + (y - sy) ** 2 < sr * sr:
            return sn
        return _mix(top, bottom, y / height)

    _image_cache[key] = mk.png(width, height, pixel)
    return _image_cache[key]


def bar_chart(key, values, color):
    if key in _image_cache:
        return _image_cache[key]
    width, height = 360, 200
    col = hexrgb(color)
    n = len(values)
    slot = (width - 40) / n
    top = max(values)

    def pixel(x, y):
        if y == height - 20 or x == 30:
            return (90, 90, 90)
        if x > 30 and y < height - 20:
            i = int((x - 34) // slot)
            if 0 <= i < n and (x - 34) % slot < slot * 0.7:
                h = values[i] / top * (height - 40)
                if y > height - 20 - h:
                    return col
            if y % 40 == 0:
                return (225, 225, 225)
        return (255, 255, 255)

    _image_cache[key] = mk.png(width, height, pixel)
    return _image_cache[key]


def pdf_att(filename, title, lines, style="2231"):
    return mk.attachment(mk.pdf(title, lines), "application/pdf", filename, style)


def text_att(filename, body, ctype="text/plain", style="2231", charset="utf-8"):
    leaf = mk.attachment(mk.encode_text(body, charset), ctype, filename, style,
                         cte="quoted-printable" if charset != "utf-8" or not mk.is_ascii(body)
                         else "7bit")
    leaf.params.insert(0, mk.param("charset", charset))
    return leaf


def png_att(filename, data, style="2231", inline=False, cid=None):
    return mk.attachment(data, "image/png", filename, style, inline=inline, cid=cid)


# --- series: newsletters, receipts, notifications -----------------------------


def newsletter(user, sender, when, subject, title, intro, articles, palette, series,
               folder="INBOX", lang="en", more="Read more", footer="", seen=None):
    """An HTML newsletter with its images inside the message (cid: links)."""
    domain = sender.email.split("@", 1)[1]
    stamp = when.strftime("%Y%m%d")
    banner_cid = "banner.%s@%s" % (stamp, domain)
    parts = [banner(series, 600, 120, palette[0], palette[1], palette[2])]
    cids = [banner_cid]
    rows = []
    plain = [title, "=" * len(title), "", intro, ""]
    for i, (heading, para, url) in enumerate(articles):
        cid = "art%d.%s@%s" % (i + 1, stamp, domain)
        img_key = "%s-thumb-%d" % (series, (hash_index(heading) % 6))
        img = picture(img_key, 120, 90, palette[3], palette[4], palette[5], "#ffd866")
        parts.append(img)
        cids.append(cid)
        rows.append(
            '<tr><td style="padding:0 24px 20px 24px">'
            '<img src="cid:%s" width="120" height="90" alt="" align="left" '
            'style="margin:0 16px 4px 0;border-radius:4px">'
            '<h2 style="margin:0 0 6px 0;font-size:18px;color:#1d2733">%s</h2>'
            '<p style="margin:0 0 6px 0;font-size:14px;line-height:1.5;color:#3a4552">%s</p>'
            '<a href="%s" style="color:%s;font-size:14px">%s &rarr;</a></td></tr>'
            % (cid, html.escape(heading), html.escape(para), url, palette[0], html.escape(more)))
        plain += [heading, "-" * len(heading), para, url, ""]
    plain += ["--", footer or "You receive this because you subscribed at %s." % domain,
              "Unsubscribe: https://%s/unsubscribe" % domain]
    page = (
        '<!DOCTYPE html>\n<html lang="%s"><head><meta charset="utf-8"><title>%s</title></head>\n'
        '<body style="margin:0;padding:0;background:#eef1f4;font-family:Segoe UI,Arial,sans-serif">\n'
        '<table role="presentation" width="100%%" cellpadding="0" cellspacing="0"><tr><td align="center">\n'
        '<table role="presentation" width="600" cellpadding="0" cellspacing="0" '
        'style="background:#ffffff;margin:16px 0">\n'
        '<tr><td><img src="cid:%s" width="600" height="120" alt="%s" style="display:block"></td></tr>\n'
        '<tr><td style="padding:24px"><h1 style="margin:0 0 10px 0;font-size:24px;color:#1d2733">%s</h1>'
        '<p style="margin:0;font-size:15px;line-height:1.5;color:#3a4552">%s</p></td></tr>\n%s\n'
        '<tr><td style="padding:16px 24px;background:#f6f7f9;font-size:12px;color:#7a8591">%s<br>'
        '<a href="https://%s/unsubscribe" style="color:#7a8591">Unsubscribe</a></td></tr>\n'
        '</table></td></tr></table>\n</body></html>\n'
        % (lang, html.escape(title), banner_cid, html.escape(sender.name), html.escape(title),
           html.escape(intro), "\n".join(rows),
           html.escape(footer or "You receive this because you subscribed at %s." % domain), domain))
    related = [mk.text(page, "utf-8", "quoted-printable", "html")]
    for i, (data, cid) in enumerate(zip(parts, cids)):
        name = "banner.png" if i == 0 else "article-%d.png" % i
        related.append(png_att(name, data, "plain", inline=True, cid=cid))
    entity = mk.Multi("alternative", [
        mk.text("\n".join(plain), "utf-8", "quoted-printable"),
        mk.Multi("related", related, [mk.param("type", "text/html")]),
    ])
    extra = [("List-Unsubscribe", "<https://%s/unsubscribe>" % domain),
             ("List-Id", mk.address(sender.name, "news." + domain)),
             ("Precedence", "bulk")]
    return add(user, folder, sender, [USERS[user]], subject, when, entity, extra=extra, seen=seen)


def hash_index(text):
    return int(hashlib.sha1(text.encode("utf-8")).hexdigest()[:8], 16)


def receipt(user, sender, when, subject, greeting, rows, total, pdf_name, pdf_title,
            folder="INBOX", note="", lang="de", seen=None, flags=()):
    """An order or bill: a plain and an HTML table, and the PDF beside it."""
    plain = [greeting, ""]
    if note:
        plain += [note, ""]
    for item, price in rows:
        plain.append("  %-44s %10s" % (item, price))
    plain += ["  " + "-" * 55, "  %-44s %10s" % ("Summe" if lang == "de" else "Total", total), ""]
    table = "".join('<tr><td style="padding:4px 12px 4px 0">%s</td>'
                    '<td style="padding:4px 0;text-align:right">%s</td></tr>'
                    % (html.escape(a), html.escape(b)) for a, b in rows)
    page = ('<html><body style="font-family:Arial,sans-serif;font-size:14px;color:#222">'
            '<p>%s</p>%s<table style="border-collapse:collapse">%s'
            '<tr><td style="padding:8px 12px 0 0;border-top:1px solid #999"><b>%s</b></td>'
            '<td style="padding:8px 0 0 0;border-top:1px solid #999;text-align:right"><b>%s</b></td></tr>'
            '</table></body></html>\n'
            % (html.escape(greeting), "<p>%s</p>" % html.escape(note) if note else "", table,
               "Summe" if lang == "de" else "Total", html.escape(total)))
    pdf_lines = [greeting, ""] + ["%s    %s" % r for r in rows] + ["", "Summe: " + total]
    entity = mk.Multi("mixed", [
        mk.Multi("alternative", [mk.text("\n".join(plain), "utf-8", "quoted-printable"),
                                 mk.text(page, "utf-8", "quoted-printable", "html")]),
        pdf_att(pdf_name, pdf_title, pdf_lines),
    ])
    return add(user, folder, sender, [USERS[user]], subject, when, entity, seen=seen, flags=flags)


def notice(user, sender, when, subject, body, folder="INBOX", att=(), seen=None, flags=(),
           to=None, extra=()):
    return add(user, folder, sender, to or [USERS[user]], subject, when,
               body_entity(sender, with_sig(sender, body) if sender.sig else body, att),
               seen=seen, flags=flags, extra=extra, text_for_quote=body)


def invitation(user, organizer, when, title, start, minutes, location, attendees, body):
    """A meeting request: text and a text/calendar part, as calendar programs send them."""
    end = start + datetime.timedelta(minutes=minutes)
    uid = hashlib.sha1(("%s|%s" % (title, start.isoformat())).encode()).hexdigest()[:20]

    def ics_time(t):
        return t.strftime("%Y%m%dT%H%M%SZ")

    lines = ["BEGIN:VCALENDAR", "PRODID:-//Nordlicht Systems//Kalender//DE", "VERSION:2.0",
             "METHOD:REQUEST", "BEGIN:VEVENT", "UID:%s@example.test" % uid,
             "DTSTAMP:%s" % ics_time(when), "DTSTART:%s" % ics_time(start),
             "DTEND:%s" % ics_time(end), "SUMMARY:%s" % title, "LOCATION:%s" % location,
             "ORGANIZER;CN=%s:mailto:%s" % (organizer.name, organizer.email)]
    for a in attendees:
        lines.append("ATTENDEE;CN=%s;ROLE=REQ-PARTICIPANT;PARTSTAT=NEEDS-ACTION;RSVP=TRUE:mailto:%s"
                     % (a.name, a.email))
    lines += ["END:VEVENT", "END:VCALENDAR", ""]
    ics = "\r\n".join(lines)
    local = start.astimezone(datetime.timezone(datetime.timedelta(minutes=zone_offset("berlin", start))))
    text = "%s\n\nWann: %s, %s–%s\nWo: %s\n\n%s\n" % (
        title, local.strftime("%d.%m.%Y"), local.strftime("%H:%M"),
        (local + datetime.timedelta(minutes=minutes)).strftime("%H:%M"), location, body)
    cal = mk.Leaf("text/calendar", ics.encode("utf-8"), "quoted-printable",
                  [mk.param("charset", "utf-8"), "method=REQUEST"])
    entity = mk.Multi("mixed", [
        mk.Multi("alternative", [mk.text(text, "utf-8"), cal]),
        mk.attachment(ics.encode("utf-8"), "application/ics", "invite.ics", "plain"),
    ])
    return add(user, "INBOX", organizer, attendees, "Einladung: " + title, when, entity)


USERS = {"alice": ALICE, "bob": BOB}


# --- alice: work ----------------------------------------------------------------


def work():
    u, me = "alice", ALICE

    thread(u, me, "Release 4.2: Zeitplan", [
        dict(p=JONAS, t=at(12, "09:14"), text="""Hallo Alice,

für Release 4.2 schlage ich folgenden Zeitplan vor:

- Feature-Freeze: Mittwoch, 25. November
- Release Candidate 1: Freitag, 27. November
- Freigabe: Donnerstag, 3. Dezember

Offen sind noch zwei Punkte: die Migration der Ordner-Indizes (Ticket PLAT-1182) und
der Absturz beim Wiederverbinden nach dem Ruhezustand (PLAT-1190). Beides sollte bis zum
Freeze erledigt sein.

Passt das für dich? Dann trage ich es so im Wiki ein.

Grüße
Jonas"""),
        dict(p=me, t=at(12, "10:02"), lang="de", text="""Hallo Jonas,

passt gut. Bitte plane für den RC1 einen halben Tag Puffer ein; Priya braucht für den
Lasttest mit 50.000 Nachrichten pro Ordner etwa vier Stunden.

Danke!
Alice"""),
        dict(p=TOBIAS, t=at(11, "16:45"), text="""Hallo zusammen,

einverstanden. Für die Freigabe am 3.12. brauche ich bis Mittwochabend eine kurze
Zusammenfassung der Änderungen für den Kundennewsletter.

Grüße
Tobias"""),
        dict(p=JONAS, t=at(1, "17:32"), flag=True, text="""Kurzes Update: PLAT-1182 ist gemergt, PLAT-1190 hängt noch am Review.
Der RC1 ist gebaut und liegt im internen Kanal.

Jonas"""),
    ], to=[ALICE], cc=[PRIYA, TOBIAS])

    flaky_log = "\n".join(
        "2026-11-%02d 03:%02d:%02d.%03d sync_engine_tests [%s] %s" % (
            27, 12 + i // 7, (i * 13) % 60, (i * 137) % 1000,
            "FAIL" if i in (17, 31) else "ok",
            "IdleReconnect.ResumesAfterSleep: expected 1 EXISTS, got 0" if i in (17, 31)
            else "case %d passed" % (i + 1))
        for i in range(40)) + "\n"
    thread(u, me, "Flaky test: IdleReconnect.ResumesAfterSleep", [
        dict(p=PRIYA, t=at(4, "08:51"), att=[text_att("sync_engine_tests-2026-11-27.log", flaky_log,
                                                       style="plain")],
             text="""Hi Alice, hi Jonas,

IdleReconnect.ResumesAfterSleep failed twice in last night's run (2 out of 40), both
times on the Windows agents. The log is attached; the interesting lines are the two
FAIL entries around 03:14 and 03:16.

My guess is a race between the reconnect timer and the first NOOP. Can one of you
take a look before the RC?

Priya"""),
        dict(p=JONAS, t=at(4, "10:20"), text="""I can reproduce it when I suspend the VM for less than 30 seconds: the
socket still looks alive, so we never re-issue IDLE. I'll add a check of the last
server response time.

Jonas"""),
        dict(p=me, t=at(4, "10:41"), text="""Thanks both! Jonas, please add a test with a fake clock for this, so we
don't rely on the agents' timing.

Alice"""),
        dict(p=PRIYA, t=at(2, "14:05"), text="""The fix is in and the test ran 500 times without a failure. Closing the
ticket.

Priya"""),
    ], to=[ALICE, JONAS])

    mock1 = picture("mock-list", 320, 200, "#20252c", "#2b323b", "#3a4452", "#5b9cf0", hills=2)
    mock2 = picture("mock-reading", 320, 200, "#f4f1ea", "#e8e2d4", "#c9bfa9", "#e07a5f", hills=2)
    marco_html = (
        '<html><body style="font-family:Segoe UI,Arial,sans-serif;font-size:14px">'
        "<p>Hi Alice,</p><p>here are the first mockups for the new message list. Two variants:"
        " the dark one with denser rows (56&nbsp;px) and the light one with a larger preview.</p>"
        '<p><img src="cid:mock-dark@example.test" width="320" height="200" alt="Dark variant">'
        '&nbsp;<img src="cid:mock-light@example.test" width="320" height="200" alt="Light variant"></p>'
        "<p>I'd love your feedback before Thursday's design review.</p>"
        "<p>Marco</p></body></html>\n")
    marco_text = """Hi Alice,

here are the first mockups for the new message list. Two variants: the dark one with
denser rows (56 px) and the light one with a larger preview.

I'd love your feedback before Thursday's design review.

Marco
"""
    first = add(u, "INBOX", MARCO, [ALICE], "New message list – first mockups", at(9, "15:30"),
                mk.Multi("alternative", [
                    mk.text(marco_text),
                    mk.Multi("related", [
                        mk.text(marco_html, "utf-8", "quoted-printable", "html"),
                        png_att("mockup-dark.png", mock1, "plain", inline=True,
                                cid="mock-dark@example.test"),
                        png_att("mockup-light.png", mock2, "plain", inline=True,
                                cid="mock-light@example.test"),
                    ], [mk.param("type", "text/html")]),
                ]), text_for_quote=marco_text)
    first.flags.add("Answered")
    reply_text = with_sig(me, """Hi Marco,

the dark variant is great. Two things: the unread dot could be a little larger, and
please keep the date right-aligned on the first line, people scan for it.

Alice""")
    r1 = add(u, "Sent", me, [MARCO], "Re: New message list – first mockups", at(9, "17:02"),
             body_entity(me, reply_text.rstrip("\n") + quote_of(first, "en", "berlin")),
             seen=True, in_reply_to=first.msgid, references=[first.msgid], text_for_quote=reply_text)
    marco2 = with_sig(MARCO, """Done, updated version attached. I also tried a 1 px separator instead of
the alternating background — see the second image.

Marco""")
    add(u, "INBOX", MARCO, [ALICE], "Re: New message list – first mockups", at(8, "11:12"),
        body_entity(MARCO, marco2.rstrip("\n") + quote_of(r1, "en", "berlin"), [
            png_att("Liste – dunkel v2.png", picture("mock-list-2", 320, 200, "#1c2128", "#262c34",
                                                     "#3a4452", "#7fb2f5", hills=2)),
            png_att("Liste – Trennlinie.png", picture("mock-list-3", 320, 200, "#1c2128", "#262c34",
                                                      "#4a5462", "#7fb2f5", hills=3)),
        ]), in_reply_to=r1.msgid, references=[first.msgid, r1.msgid], text_for_quote=marco2)

    thread(u, me, "Séminaire d'équipe à Lyon – programme", [
        dict(p=SOPHIE, t=at(15, "11:05"),
             att=[pdf_att("Programme du séminaire – Lyon.pdf", "Séminaire d'équipe – Lyon, 9 et 10 décembre", [
                 "Mercredi 9 décembre", "10:00  Accueil à l'hôtel, café",
                 "10:30  Bilan de l'année (Tobias)", "12:30  Déjeuner à la brasserie « Le Nord »",
                 "14:00  Atelier : la nouvelle liste des messages", "19:30  Dîner dans le Vieux Lyon",
                 "", "Jeudi 10 décembre", "09:00  Rétrospective", "11:00  Feuille de route 2027",
                 "13:00  Fin du séminaire"])],
             text="""Bonjour à tous,

voici le programme du séminaire d'équipe à Lyon, les 9 et 10 décembre. Nous
commencerons mercredi à 10 h à l'hôtel, puis déjeuner à la brasserie « Le Nord ».
Jeudi matin : rétrospective, puis la feuille de route 2027.

Merci de me confirmer votre présence d'ici vendredi, et de me dire si vous avez des
contraintes alimentaires.

Bien à vous,
Sophie"""),
        dict(p=me, t=at(15, "13:40"), lang="fr", text="""Bonjour Sophie,

merci pour le programme ! Je serai là les deux jours. J'arrive mercredi vers 9 h 30
par le train de nuit.

Bonne journée,
Alice"""),
        dict(p=SOPHIE, t=at(14, "09:12"), text="""Parfait, merci Alice ! Je t'ai réservé une chambre à l'hôtel Bellecour
pour la nuit du 9 au 10.

Sophie"""),
        dict(p=JONAS, t=at(14, "10:30"), lang="fr", text="""Bonjour Sophie,

ich bin auch dabei, allerdings erst ab 12 Uhr – mein Zug kommt um 11:48 an.
Vegetarisch, bitte.

Jonas"""),
    ], to=[ALICE, JONAS, PRIYA, MARCO], cc=[TOBIAS])

    thread(u, me, "打ち合わせの日程について", [
        dict(p=KENJI, t=at(6, "16:20", "tokyo"), text="""アリスさん

いつもお世話になっております。さくらソフトの渡辺です。

来週の打ち合わせですが、12月3日（木）の午後はいかがでしょうか。
東京時間の17時（ハンブルク時間の9時）を考えております。

資料は前日までにお送りします。
よろしくお願いいたします。

渡辺"""),
        dict(p=me, t=at(6, "10:05"), lang="en", text="""Dear Watanabe-san,

thank you for your message. Thursday, 3 December at 17:00 Tokyo time (9:00 in
Hamburg) suits us well. Jonas Weber from our backend team will join as well.

Best regards,
Alice Berger"""),
        dict(p=KENJI, t=at(5, "11:02", "tokyo"), flag=True, text="""アリスさん

ご確認ありがとうございます。
では、12月3日（木）17時（日本時間）でお願いいたします。
会議のリンクは追ってお送りします。

ジョナスさんにもよろしくお伝えください。

渡辺"""),
    ])

    thread(u, me, "Pedido de licencias 2027", [
        dict(p=LUCIA, t=at(20, "12:40"), text="""Hola Alice:

te escribo para confirmar nuestro pedido de licencias para 2027. Necesitaríamos
40 puestos más para la oficina de Sevilla, a partir de enero.

¿Podrías enviarnos el presupuesto actualizado? Si es posible, antes del viernes.

Un saludo,
Lucía"""),
        dict(p=me, t=at(19, "09:30"), lang="es", text="""Hola Lucía:

¡gracias! Te envío el presupuesto mañana. Para 40 puestos adicionales se aplica
el descuento por volumen del 12 %.

Saludos,
Alice"""),
        dict(p=LUCIA, t=at(17, "10:15"),
             att=[pdf_att("Pedido firmado – Mercado del Sol.pdf", "Pedido de licencias 2027",
                          ["Cliente: Mercado del Sol S.L.", "Puestos adicionales: 40",
                           "Inicio: 1 de enero de 2027", "Descuento por volumen: 12 %",
                           "", "Firmado: Lucía Fernández, Compras"])],
             text="""Hola Alice:

adjunto el pedido firmado. ¡Muchas gracias por la rapidez!

Un saludo,
Lucía"""),
    ])

    thread(u, me, "Счёт за ноябрь", [
        dict(p=DMITRI, t=at(2, "11:30", "moscow"),
             att=[pdf_att("Счёт_2026-11.pdf", "Invoice 2026-11 / Volna LLC",
                          ["Synchronisation engine, November 2026", "64 hours x 85.00 EUR",
                           "Total: 5,440.00 EUR"])],
             text="""Здравствуйте, Алиса!

Отправляю счёт за работы в ноябре: 64 часа по проекту синхронизации, как
договаривались. Подробности во вложении.

Если нужно что-то исправить, напишите, пожалуйста.

С уважением,
Дмитрий"""),
    ])

    thread(u, me, "Συνάντηση στην Αθήνα", [
        dict(p=ELENI, t=at(25, "13:10", "athens"), text="""Αγαπητή Alice,

σας ευχαριστούμε για την πρόσκληση. Θα χαρούμε να σας υποδεχτούμε στα γραφεία μας
στην Αθήνα στις 14 Ιανουαρίου. Θα σας στείλουμε την ατζέντα μέχρι το τέλος της
εβδομάδας.

Με εκτίμηση,
Ελένη"""),
        dict(p=me, t=at(25, "15:02"), lang="en", text="""Dear Eleni,

wonderful, thank you! Jonas and I will fly in on the evening of 13 January.

Kind regards,
Alice"""),
        dict(p=ELENI, t=at(22, "10:44", "athens"),
             att=[pdf_att("Ατζέντα 14-01.pdf", "Agenda, 14 January 2027, Athens",
                          ["09:30  Welcome", "10:00  Data exchange formats", "12:30  Lunch",
                           "14:00  Roadmap 2027", "16:00  End"])],
             text="""Αγαπητή Alice,

στο συνημμένο θα βρείτε την ατζέντα της συνάντησης.

Με εκτίμηση,
Ελένη"""),
    ], folder="Archive")

    thread(u, me, "样品发货通知", [
        dict(p=LIWEI, t=at(3, "15:30", "shanghai"),
             att=[pdf_att("装箱单_HQ-2026-1187.pdf", "Packing list HQ-2026-1187",
                          ["20 x test device NL-7, firmware 2.4", "Shipped from Shenzhen, 28 Nov 2026",
                           "Expected in Hamburg: 4 Dec 2026"], style="2047")],
             text="""Alice您好，

贵公司订购的二十台测试样机已于今天从深圳发出，预计十二月四日到达汉堡。
装箱单请见附件。如有任何问题，请随时与我联系。

祝好！
李伟"""),
        dict(p=me, t=at(3, "09:12"), text="""Dear Li Wei,

thank you for the quick shipment! We will confirm once the devices have arrived.

Best regards,
Alice"""),
    ])

    thread(u, me, "Quartalsbericht Q3 – Entwurf", [
        dict(p=TOBIAS, t=at(34, "17:20"),
             att=[pdf_att("Übersicht Q3 2026.pdf", "Quartalsbericht Q3 2026 – Team Plattform", [
                 "Umsatz wiederkehrend: +8 % gegenüber Q2", "Neue Firmenkunden: 14",
                 "Verfügbarkeit Synchronisationsdienst: 99,97 %", "Offene Fehler (kritisch): 2",
                 "", "Schwerpunkte Q4: Release 4.2, Migration der Indizes, Lyon-Workshop"]),
                  png_att("Grafik – Tickets je Monat.png",
                          bar_chart("q3-chart", [42, 37, 51, 33, 29, 24], "#3c78d8"))],
             text="""Hallo Alice,

anbei der Entwurf des Quartalsberichts. Kannst du bis Freitag den Abschnitt zur
Verfügbarkeit prüfen? Die Zahlen für September sind noch vorläufig.

Danke und Grüße
Tobias"""),
        dict(p=me, t=at(33, "11:25"), lang="de", text="""Hallo Tobias,

die Verfügbarkeit im September war 99,95 %, nicht 99,97 % – wegen der Wartung am
19.9. Der Rest passt.

Viele Grüße
Alice"""),
        dict(p=TOBIAS, t=at(33, "14:02"), text="""Danke, ist korrigiert. Ich schicke die finale Fassung an die
Geschäftsführung.

Tobias"""),
    ], folder="Projekte/Übersicht 2026")

    thread(u, me, "Urlaubsplanung Dezember", [
        dict(p=TOBIAS, t=at(27, "09:00"), text="""Hallo zusammen,

bitte tragt eure Urlaubstage zwischen dem 21.12. und dem 4.1. bis Ende nächster
Woche in den Teamkalender ein. Wir brauchen an jedem Werktag mindestens eine
Person mit Bereitschaft.

Grüße
Tobias"""),
        dict(p=PRIYA, t=at(27, "09:40"), text="""I'm off from 21 December to 1 January, back on 4 January.
I can take on-call on 2 and 3 January if that helps."""),
        dict(p=JONAS, t=at(27, "10:05"), text="""Ich nehme die Bereitschaft vom 28. bis 30.12., dafür bin ich vom
21. bis 24.12. weg."""),
        dict(p=me, t=at(26, "08:30"), lang="de", text="""Ich bin vom 23.12. bis 3.1. im Urlaub und übernehme die
Bereitschaft am 21. und 22.12. Damit fehlt uns nur noch der 31.12.

Alice"""),
    ], to=[ALICE, JONAS, PRIYA, MARCO], folder="Archive")

    thread(u, me, "Code review: IDLE reconnect with a fake clock", [
        dict(p=JONAS, t=at(3, "16:40"), text="""Hi Alice,

could you review the change for the IDLE reconnect? It adds a clock interface
to the watcher so the test can jump over the 29 minutes instead of waiting.
It's about 300 lines, most of them in the tests.

Thanks,
Jonas"""),
        dict(p=me, t=at(2, "09:15"), text="""Looks good, two small comments in the review. Please also run the
Windows suite once more before merging.

Alice"""),
        dict(p=JONAS, t=at(2, "13:50"), text="""Both comments addressed, Windows suite green. Merged."""),
    ])

    thread(u, me, "Lunch on Friday? 🍕", [
        dict(p=PRIYA, t=at(5, "11:50"), text="""Anyone up for the new Neapolitan place at the Speicherstadt on
Friday? They open at 12."""),
        dict(p=MARCO, t=at(5, "12:04"), text="""Sì! Count me in."""),
        dict(p=me, t=at(5, "12:30"), text="""Yes, but I have a call at 13:30 – let's go at 12 sharp."""),
    ], to=[ALICE, MARCO, JONAS])

    thread(u, me, "Angebot Nr. 2026-311 – Wartung der Testgeräte", [
        dict(p=MUELLER, t=at(30, "10:10"),
             att=[pdf_att("Angebot 2026-311 – Müller & Söhne.pdf", "Angebot Nr. 2026-311", [
                 "Wartung von 40 Testgeräten, Laufzeit 12 Monate", "Vor-Ort-Service innerhalb von 48 h",
                 "Preis pro Monat: 1.180,00 EUR zzgl. MwSt.", "Gültig bis 31.12.2026"])],
             text="""Sehr geehrte Frau Berger,

vielen Dank für Ihre Anfrage. Anbei erhalten Sie unser Angebot für die Wartung
Ihrer 40 Testgeräte. Bei Fragen stehe ich Ihnen gern zur Verfügung.

Mit freundlichen Grüßen
Katrin Müller"""),
        dict(p=me, t=at(29, "14:20"), lang="de", text="""Sehr geehrte Frau Müller,

vielen Dank. Können Sie uns ein Angebot mit 24 Monaten Laufzeit machen?

Mit freundlichen Grüßen
Alice Berger"""),
        dict(p=MUELLER, t=at(27, "09:05"),
             att=[pdf_att("Angebot 2026-311a – 24 Monate.pdf", "Angebot Nr. 2026-311a", [
                 "Wartung von 40 Testgeräten, Laufzeit 24 Monate",
                 "Preis pro Monat: 1.090,00 EUR zzgl. MwSt."])],
             text="""Sehr geehrte Frau Berger,

gern – anbei die Variante mit 24 Monaten Laufzeit.

Mit freundlichen Grüßen
Katrin Müller"""),
    ], folder="Projekte/Angebote & Verträge")

    thread(u, me, "Rahmenvertrag Sakura Soft – Entwurf v3", [
        dict(p=LEGAL, t=at(18, "15:15"),
             att=[pdf_att("Rahmenvertrag_Sakura-Soft_Entwurf_v3.pdf", "Framework agreement – draft 3",
                          ["§ 1 Subject of the agreement", "§ 2 Term: 24 months",
                           "§ 3 Confidentiality", "§ 4 Liability", "§ 5 Governing law: Germany"]),
                  text_att("Änderungen gegenüber v2.txt",
                           "§ 2: term shortened from 36 to 24 months\n§ 4: liability cap raised to 250,000 EUR\n",
                           style="latin1")],
             text="""Hi Alice,

attached is draft 3 of the framework agreement with Sakura Soft, plus a short list
of what changed since v2. Could you check the technical annex (§ 1) before I send
it to Watanabe-san?

Henrik"""),
        dict(p=me, t=at(17, "10:40"), text="""Hi Henrik,

§ 1 is fine. Please add that updates are delivered at least quarterly.

Alice"""),
        dict(p=LEGAL, t=at(16, "09:20"), flag=True, text="""Added. I'll send it out today; signature expected next week."""),
    ], folder="Projekte/Angebote & Verträge")

    # Weekly status reports, the project folder's backbone.
    status_items = [
        ("Index-Migration", "Suche", "Lasttest 50.000 Nachrichten"),
        ("IDLE-Wiederverbindung", "Ordnerliste", "Windows-Installer"),
        ("Anhänge mit Umlauten", "Konversationsansicht", "Performance Ordnerwechsel"),
        ("Release 4.1.3", "Signaturen", "Barrierefreiheit"),
        ("Kalender-Einladungen", "Offline-Modus", "Synchronisation Entwürfe"),
        ("Release 4.2 RC1", "Dokumentation", "Lyon-Workshop"),
        ("Freigabe 4.2", "Kundennewsletter", "Roadmap 2027"),
        ("Fehlerbehebung nach RC1", "Übersetzungen", "Telemetrie"),
    ]
    for i, (a, b, c) in enumerate(status_items):
        week = 41 + i
        when = at(58 - i * 7, "16:30")
        notice(u, JONAS if i % 2 else TOBIAS, when, "Statusbericht Plattform – KW %d" % week, """Hallo zusammen,

der Stand dieser Woche (KW %d):

Erledigt
  * %s
  * Kleinere Fehlerbehebungen (%d Tickets)

In Arbeit
  * %s

Nächste Woche
  * %s

Risiken: keine neuen.

Grüße""" % (week, a, 3 + (i * 5) % 7, b, c), folder="Projekte/Übersicht 2026",
               to=[ALICE, JONAS, PRIYA, MARCO, SOPHIE], seen=False if i == len(status_items) - 1 else None)
    notice(u, TOBIAS, at(40, "12:00"), "Roadmap 2027 – erste Fassung", """Hallo Alice,

anbei die erste Fassung der Roadmap für 2027. Wir sprechen in Lyon darüber.

Tobias""", folder="Projekte/Übersicht 2026",
           att=[pdf_att("Roadmap 2027 – Überblick.pdf", "Roadmap 2027", [
               "Q1: Suche über alle Konten, verschlüsselte Nachrichten (Pilot)",
               "Q2: Kalender, gemeinsame Ordner", "Q3: Mobilversion (Beta)",
               "Q4: Regeln und Filter auf dem Server"])])

    # Build mail: every couple of days, most of it green.
    rng = random.Random("build-mail")
    for i in range(22):
        days = 58 - i * 2.6
        d = int(days)
        minute = rng.randrange(0, 60)
        number = 1841 + i * 3
        failed = i in (4, 9, 15, 20)
        branch = rng.choice(["main", "main", "release/4.2", "feature/list-redesign"])
        when = at(d, "%02d:%02d" % (3 if i % 2 else 14, minute))
        subject = "[plattform/backend] Build #%d %s: %s" % (
            number, "fehlgeschlagen" if failed else "erfolgreich", branch)
        body = """Build #%d auf %s: %s

Dauer: %d min %02d s
Tests: %d bestanden, %d fehlgeschlagen, %d übersprungen
Commit: %s

https://builds.example.test/plattform/backend/%d
""" % (number, branch, "FEHLGESCHLAGEN" if failed else "erfolgreich", rng.randrange(11, 19),
            rng.randrange(60), 2400 + i * 7, 2 if failed else 0, 12, hashlib.sha1(str(number).encode()).hexdigest()[:10],
            number)
        if failed:
            body += "\nFehlgeschlagen:\n  sync_engine_tests: IdleReconnect.ResumesAfterSleep\n  list_model_tests: Grouping.KeepsOrderAcrossFolders\n"
        folder = "Archive" if d > 35 else ("Trash" if i in (6, 7) else "INBOX")
        notice(u, BUILD, when, subject, body, folder=folder,
               extra=[("X-Build-Status", "failed" if failed else "success")])

    # Newsletters with pictures.
    weekly = [
        ("Backend Weekly #141: Zero-copy parsing in practice",
         [("Zero-copy parsing in practice", "How three teams cut allocations in their protocol parsers by 80 %.",
           "https://backend-weekly.example/141/zero-copy"),
          ("A gentle guide to backpressure", "Queues, bounded buffers and what to do when the consumer is slow.",
           "https://backend-weekly.example/141/backpressure")]),
        ("Backend Weekly #142: The case for boring databases",
         [("The case for boring databases", "Why a single well-tuned instance beats a cluster more often than you think.",
           "https://backend-weekly.example/142/boring"),
          ("Timeouts everywhere", "A checklist for every network call in your service.",
           "https://backend-weekly.example/142/timeouts")]),
        ("Backend Weekly #143: Testing with real servers",
         [("Testing with real servers", "Spinning up mail, DNS and HTTP servers in a temporary folder per test run.",
           "https://backend-weekly.example/143/real-servers"),
          ("Flaky tests are bugs", "A field guide to the usual suspects: clocks, ordering and shared state.",
           "https://backend-weekly.example/143/flaky")]),
        ("Backend Weekly #144: Unicode in file names",
         [("Unicode in file names", "NFC, NFD and why your attachment called “Übersicht.pdf” broke on one machine.",
           "https://backend-weekly.example/144/unicode"),
          ("Structured logging, revisited", "Fields, not sentences — and how to keep logs readable anyway.",
           "https://backend-weekly.example/144/logging")]),
        ("Backend Weekly #145: Push without polling",
         [("Push without polling", "Long-lived connections, keepalives and reconnecting after sleep.",
           "https://backend-weekly.example/145/push"),
          ("The cost of a round trip", "Latency budgets for chatty protocols.",
           "https://backend-weekly.example/145/round-trips")]),
        ("Backend Weekly #146: Caches that forget",
         [("Caches that forget", "Eviction policies explained with a bakery.",
           "https://backend-weekly.example/146/caches"),
          ("Reading RFCs for fun and profit", "A short tour through the mail standards.",
           "https://backend-weekly.example/146/rfcs")]),
        ("Backend Weekly #147: Less code, fewer bugs",
         [("Less code, fewer bugs", "Deleting features as a performance strategy.",
           "https://backend-weekly.example/147/less-code"),
          ("Fuzzing parsers in CI", "Ten minutes a night found 14 crashes in a year.",
           "https://backend-weekly.example/147/fuzzing")]),
        ("Backend Weekly #148: Year in review",
         [("Our year in review", "The most-read articles of 2026 and what's coming next.",
           "https://backend-weekly.example/148/review"),
          ("Holiday reading list", "Twelve long reads for the quiet days.",
           "https://backend-weekly.example/148/reading")]),
    ]
    palette = ("#3b5bdb", "#15aabf", "#ffd43b", "#a5d8ff", "#e7f5ff", "#2f9e44")
    for i, (subject, articles) in enumerate(weekly):
        when = at(53 - i * 7, "14:05", "berlin")
        folder = "Trash" if i == 1 else "INBOX"
        newsletter(u, BACKEND_WEEKLY, when, subject, subject.split(": ", 1)[1],
                   "This week: %s, and more." % articles[0][0].lower(), articles, palette,
                   "backend-weekly", folder=folder)
    newsletter(u, DEVDAYS, at(44, "10:00"), "DevDays Hamburg 2027: Frühbucher-Tickets bis 30. November",
               "DevDays Hamburg 2027", "Zwei Tage, drei Bühnen, 60 Vorträge – am 18. und 19. März 2027 "
               "in der Speicherstadt. Frühbucher sparen 30 %.",
               [("Das Programm ist online", "Von verteilten Systemen bis Barrierefreiheit: die ersten 40 Vorträge.",
                 "https://devdays-hamburg.example/programm"),
                ("Call for Papers verlängert", "Einreichungen sind noch bis zum 15. Dezember möglich.",
                 "https://devdays-hamburg.example/cfp")],
               ("#c2255c", "#f76707", "#ffffff", "#ffe3e3", "#fff4e6", "#e8590c"), "devdays",
               lang="de", more="Mehr erfahren",
               footer="DevDays Hamburg UG, Am Sandtorkai 1, 20457 Hamburg")
    newsletter(u, DEVDAYS, at(1, "10:00"), "Letzte Chance: Frühbucherpreis nur noch heute",
               "Nur noch heute: 30 % sparen", "Der Frühbucherpreis für die DevDays Hamburg 2027 endet um Mitternacht.",
               [("Workshops am Vortag", "Acht ganztägige Workshops, von Rust bis Observability.",
                 "https://devdays-hamburg.example/workshops")],
               ("#c2255c", "#f76707", "#ffffff", "#ffe3e3", "#fff4e6", "#e8590c"), "devdays",
               lang="de", more="Mehr erfahren",
               footer="DevDays Hamburg UG, Am Sandtorkai 1, 20457 Hamburg")

    # Meeting requests.
    meetings = [
        (22, "Sprint-Review 47", at(19, "14:00"), 60, "Raum Elbe (3. OG)"),
        (15, "Design-Review: neue Nachrichtenliste", at(10, "10:00"), 90, "Raum Alster"),
        (8, "Sprint-Review 49", at(5, "14:00"), 60, "Raum Elbe (3. OG)"),
        (1, "Abstimmung Sakura Soft (Video)", at(-2, "09:00"), 60, "Videokonferenz"),
    ]
    for days, title, start, minutes, room in meetings:
        invitation(u, TOBIAS, at(days, "08:15"), title, start, minutes, room, [ALICE, JONAS, PRIYA, MARCO],
                   "Bitte kurz zu- oder absagen. Agenda folgt im Wiki.")

    notice(u, SERVICEDESK, at(21, "12:00"), "Wartungsfenster am Samstag, 14.11., 08:00–12:00 Uhr", """Liebe Kolleginnen und Kollegen,

am Samstag, dem 14. November, aktualisieren wir zwischen 08:00 und 12:00 Uhr die
Server im Rechenzentrum. In dieser Zeit sind VPN, Wiki und Ticketsystem nicht
erreichbar. E-Mail ist nicht betroffen.

Ihr IT-Servicedesk""")
    notice(u, SERVICEDESK, at(10, "09:30"), "Neue VPN-Konfiguration ab 1. Dezember", """Liebe Kolleginnen und Kollegen,

ab dem 1. Dezember gilt eine neue VPN-Konfiguration. Die Anleitung für Windows und
macOS finden Sie im Anhang. Bitte richten Sie den Zugang bis Ende November ein.

Ihr IT-Servicedesk""", att=[pdf_att("VPN-Anleitung (Windows & macOS).pdf", "VPN – Einrichtung", [
        "1. Neues Profil herunterladen: https://vpn.example.test/profil",
        "2. Profil importieren und alte Verbindung löschen",
        "3. Anmelden mit Benutzername und Einmalcode"])], flags=["Flagged"])
    notice(u, PERSONAL, at(7, "13:00"), "Ihre Entgeltabrechnung November 2026", """Sehr geehrte Frau Berger,

Ihre Entgeltabrechnung für November 2026 liegt im Anhang bei (passwortgeschützt,
wie gewohnt).

Mit freundlichen Grüßen
Ihre Personalabteilung""", att=[pdf_att("Entgeltabrechnung_11-2026.pdf", "Entgeltabrechnung November 2026",
                                        ["Dieses Dokument ist vertraulich."])])
    notice(u, PERSONAL, at(16, "11:00"), "Einladung zur Weihnachtsfeier am 11. Dezember 🎄", """Liebe Kolleginnen und Kollegen,

wir laden euch herzlich zur Weihnachtsfeier am Freitag, dem 11. Dezember, ab 18 Uhr
in die Kantine ein. Für Essen, Getränke und Musik ist gesorgt.

Bitte meldet euch bis zum 4. Dezember über das Intranet an.

Eure Personalabteilung""")

    booking = FIRMENREISEN
    receipt(u, booking, at(13, "15:40"), "Buchungsbestätigung: Hamburg – Lyon, 8.–10. Dezember",
            "Sehr geehrte Frau Berger, Ihre Reise ist gebucht.",
            [("Nachtzug Hamburg Hbf – Lyon Part-Dieu, 8.12., Liegewagen", "189,00 EUR"),
             ("Hotel Bellecour, 1 Nacht (9.–10.12.)", "via Sophie Laurent"),
             ("TGV Lyon Part-Dieu – Hamburg Hbf, 10.12., 14:04", "149,00 EUR")],
            "338,00 EUR", "Fahrkarte_Hamburg–Lyon_8.12.pdf", "Ihre Fahrkarte", folder="INBOX",
            note="Bitte führen Sie die Fahrkarte ausgedruckt oder digital mit.")
    receipt(u, booking, at(39, "11:20"), "Buchungsbestätigung: Hamburg – München, 22.–23. Oktober",
            "Sehr geehrte Frau Berger, Ihre Reise ist gebucht.",
            [("ICE Hamburg – München, 22.10., 07:01", "119,90 EUR"),
             ("Hotel am Sendlinger Tor, 1 Nacht", "142,00 EUR"),
             ("ICE München – Hamburg, 23.10., 17:28", "119,90 EUR")],
            "381,80 EUR", "Reiseunterlagen_München.pdf", "Reiseunterlagen", folder="Archive")

    # Older correspondence, filed away.
    older = [
        (JONAS, 57, "Onboarding neuer Kollegen im November",
         "Hallo Alice,\n\nich habe die Onboarding-Checkliste aktualisiert – die neuen Zugänge für\nBuild-Server und Wiki sind jetzt drin.\n\nJonas"),
        (PRIYA, 55, "Test plan for 4.2",
         "Hi Alice,\n\nhere's the first version of the 4.2 test plan. The big new item is the load\ntest with 50,000 messages per folder.\n\nPriya"),
        (MARCO, 52, "Icons for the folder rail",
         "Hi Alice,\n\nthe new folder icons are in the design library. Archive and Trash got\nclearer shapes; the rest only small tweaks.\n\nMarco"),
        (SOPHIE, 49, "Retour client : recherche dans tous les dossiers",
         "Bonjour Alice,\n\nplusieurs clients demandent une recherche dans tous les dossiers à la fois.\nPeut-on en parler lors du prochain point produit ?\n\nSophie"),
        (TOBIAS, 47, "Budget 2027 – Planungsrunde",
         "Hallo Alice,\n\ndie Budgetplanung für 2027 beginnt. Bitte schick mir bis zum 30.10. eine grobe\nSchätzung für Personal und Infrastruktur.\n\nTobias"),
        (JONAS, 45, "Postmortem: Ausfall Synchronisation am 19.10.",
         "Hallo zusammen,\n\nanbei das Postmortem zum Ausfall vom 19.10. Ursache war ein abgelaufenes\nZertifikat im internen Proxy; die Überwachung prüft jetzt 30 Tage im Voraus.\n\nJonas"),
        (PRIYA, 43, "Accessibility audit results",
         "Hi Alice,\n\nthe accessibility audit is done: 11 findings, 2 of them serious (focus order\nin the compose window, contrast of the unread badge).\n\nPriya"),
        (MARCO, 41, "User interviews – summary",
         "Hi Alice,\n\nsummary of the six user interviews: people love the keyboard shortcuts and\nwant conversation view to be the default.\n\nMarco"),
        (LIWEI, 38, "关于测试样机的报价",
         "Alice您好，\n\n附件是二十台测试样机的报价，有效期至十一月底。\n\n祝好！\n李伟"),
        (KENJI, 36, "ご挨拶",
         "アリスさん\n\n先日はお打ち合わせのお時間をいただき、ありがとうございました。\n今後ともよろしくお願いいたします。\n\n渡辺"),
        (DMITRI, 35, "Счёт за октябрь",
         "Здравствуйте, Алиса!\n\nОтправляю счёт за октябрь. Спасибо за сотрудничество!\n\nДмитрий"),
        (LUCIA, 33, "Formación para el equipo de Sevilla",
         "Hola Alice:\n\n¿sería posible organizar una formación en línea para el equipo de Sevilla\nen enero? Serían unas doce personas.\n\nUn saludo,\nLucía"),
    ]
    for sender, days, subject, body in older:
        notice(u, sender, at(days, "10:%02d" % (days % 60)), subject, body, folder="Archive")

    # The bin and the junk folder.
    notice(u, P("Webinar Team", "events@cloudcast.example"), at(24, "16:00"),
           "Reminder: “Scaling IMAP to a million users” starts in 1 hour",
           "Join us in one hour: https://cloudcast.example/webinar/imap-scale\n", folder="Trash")
    notice(u, P("Paketdienst", "info@paket-status.example", lang="de"), at(12, "07:40"),
           "Ihre Sendung wurde zugestellt", "Ihre Sendung 00340434161094024123 wurde heute um 07:32 Uhr zugestellt.\n",
           folder="Trash")
    notice(u, P("Kantine", "kantine@example.test", lang="de"), at(6, "10:00"),
           "Speiseplan KW 49", """Montag: Linsensuppe, Gemüsecurry
Dienstag: Labskaus, Käsespätzle
Mittwoch: Fischfrikadellen, Ofengemüse
Donnerstag: Grünkohl, Kürbisrisotto
Freitag: Backfisch, Pasta mit Pesto
""", folder="Trash")
    for days, sender, subject, body in [
        (19, P("Konto-Service", "security@konto-sicher.example", lang="de"),
         "Ihr Konto wurde vorübergehend gesperrt",
         "Bitte bestätigen Sie Ihre Daten innerhalb von 24 Stunden: http://konto-sicher.example/login\n"),
        (11, P("Lottery Department", "winner@mega-prize.example"), "You have won 1.000.000 EUR!!!",
         "Congratulations! Reply with your bank details to claim your prize.\n"),
        (4, P("Crypto Alerts", "alerts@coin-boom.example"), "This coin will 100x before Christmas 🚀",
         "Don't miss out. Buy now at http://coin-boom.example\n"),
    ]:
        notice(u, sender, at(days, "03:33"), subject, body, folder="Junk", seen=False)


# --- bob: home ------------------------------------------------------------------


def home():
    u, me = "bob", BOB

    thread(u, me, "Paris in December?", [
        dict(p=CLARA, t=at(31, "20:15"), text="""Hey you,

what do you think about a long weekend in Paris before Christmas? My cousin has
her vernissage on 12 December, and we could see the lights on the Champs-Élysées.

I found a small hotel in the Marais that still has rooms.

Bisous,
Clara"""),
        dict(p=me, t=at(31, "21:02"), text="""Yes, let's do it! Friday 11 to Monday 14? I'll look at trains tomorrow.

Bob"""),
        dict(p=CLARA, t=at(30, "07:45"), text="""Parfait ! I booked the hotel, the confirmation should reach you too.
Can you take care of the train and the museum tickets?"""),
        dict(p=me, t=at(29, "19:30"), text="""Train booked (TransEuropa, 11 Dec 07:46 from Hamburg, back on the 14th).
Tickets for the Musée des Arts Nouveaux on Saturday at 10:00 too."""),
        dict(p=CLARA, t=at(2, "22:10"), flag=True, text="""Only ten days left! 🎄 Don't forget your warm coat – it's supposed to
snow in Paris next week. And please print the museum tickets, the app never works.

Clara"""),
    ])

    thread(u, me, "Réservation n° HM-48213 – confirmation", [
        dict(p=MARAIS, t=at(30, "09:12"),
             att=[pdf_att("Confirmation de réservation HM-48213.pdf", "Hôtel du Marais – Confirmation", [
                 "Réservation n° HM-48213", "Arrivée : vendredi 11 décembre 2026, à partir de 15 h",
                 "Départ : lundi 14 décembre 2026, avant 11 h", "Chambre double supérieure, petit-déjeuner inclus",
                 "Total : 627,00 EUR (taxe de séjour incluse)"])],
             text="""Madame, Monsieur,

nous avons le plaisir de vous confirmer votre réservation du 11 au 14 décembre 2026
(3 nuits, chambre double supérieure, petit-déjeuner inclus).

Vous trouverez la confirmation en pièce jointe. N'hésitez pas à nous contacter pour
toute demande particulière.

Au plaisir de vous accueillir,"""),
        dict(p=me, t=at(29, "18:40"), lang="fr", text="""Bonjour,

merci beaucoup ! Nous arriverons vers 13 h 30 : serait-il possible de déposer nos
bagages avant l'enregistrement ?

Cordialement,
Bob Martin"""),
        dict(p=MARAIS, t=at(28, "10:05"), text="""Bonjour Monsieur Martin,

bien sûr, notre bagagerie est ouverte à partir de 8 h. Nous vous souhaitons un
excellent séjour à Paris.

Bien cordialement,"""),
    ], folder="Reisen/Île-de-France", to=[BOB], cc=[CLARA])

    receipt(u, RAIL, at(29, "19:22"), "Your e-tickets: Hamburg – Paris, 11 Dec 2026",
            "Dear Bob Martin, thank you for travelling with TransEuropa Rail.",
            [("11 Dec, Hamburg Hbf 07:46 – Paris Nord 16:25, 2 adults", "178.00 EUR"),
             ("14 Dec, Paris Nord 11:25 – Hamburg Hbf 20:14, 2 adults", "178.00 EUR"),
             ("Seat reservations", "12.00 EUR")],
            "368.00 EUR", "E-Tickets Hamburg–Paris.pdf", "TransEuropa Rail – E-Tickets",
            folder="Reisen/Île-de-France", lang="en", flags=["Flagged"])
    receipt(u, MUSEE, at(29, "20:05"), "Vos billets – Musée des Arts Nouveaux, samedi 12 décembre",
            "Bonjour, merci pour votre achat. Vos billets sont en pièce jointe.",
            [("Billet plein tarif, samedi 12/12, créneau 10 h 00", "2 × 16,00 EUR"),
             ("Audioguide", "2 × 5,00 EUR")],
            "42,00 EUR", "Billets – Musée des Arts Nouveaux – 12.12.2026.pdf", "Billets électroniques",
            folder="Reisen/Île-de-France", lang="fr",
            note="Présentez ce billet à l'entrée, imprimé ou sur votre téléphone.")
    notice(u, P("Marché de Noël", "bonjour@marche-noel-paris.example", lang="fr", html=True), at(9, "11:00"),
           "Le programme des marchés de Noël à Paris",
           """Bonjour,

les marchés de Noël ouvrent cette semaine : Tuileries, La Défense, Saint-Germain-des-Prés
et, nouveauté cette année, un petit marché dans la cour de l'Hôtel de Ville.

Horaires : tous les jours de 11 h à 21 h, jusqu'au 3 janvier.

À bientôt !""", folder="Reisen/Île-de-France")
    notice(u, CLARA, at(8, "21:30"), "Liste pour Paris",
           """- adaptateur ? (non, même prise)
- billets du musée imprimés
- cadeau pour la vernissage de Léa
- chaussures de marche
- livre pour le train""", folder="Reisen/Île-de-France")

    thread(u, me, "Natal em Lisboa", [
        dict(p=MAE, t=at(24, "19:40"), text="""Querido Bob,

já compraste os bilhetes para o Natal? A tua irmã chega no dia 22 e o tio Paulo
também vem jantar na consoada. Vou fazer bacalhau com grão, como sempre.

A Clara vem contigo? Diz-me para eu preparar o quarto."""),
        dict(p=me, t=at(24, "21:15"), lang="pt", text="""Olá mãe,

sim, chegamos os dois no dia 23 à tarde, voo das 14h10. A Clara está muito contente
por conhecer a família toda!

Beijinhos,
Bob"""),
        dict(p=MAE, t=at(23, "09:05"), text="""Que bom! Vou buscar-vos ao aeroporto. A Ana disse que traz as fotos do
batizado para vermos todos juntos."""),
        dict(p=PAULO, t=at(22, "18:20"), lang="pt", text="""Olá sobrinho,

então este ano temos casa cheia! Eu levo o vinho do Douro e as filhoses.

Um abraço,"""),
        dict(p=MAE, t=at(0, "07:30"), seen=False, text="""Bom dia, filho! Já tenho a árvore montada. Manda-me a hora exata do voo
para eu não me enganar, por favor."""),
    ], folder="Família", cc=[ANA, PAULO])

    photos = [
        ("Batizado – igreja.png", picture("photo-church", 480, 320, "#8ec5fc", "#e0c3fc", "#7a6a58", "#fff6d5")),
        ("Praia da Nazaré.png", picture("photo-beach", 480, 320, "#4facfe", "#c2e9fb", "#e6c79c", "#fffbe0", hills=2)),
        ("Almoço em família.png", picture("photo-garden", 480, 320, "#a1c4fd", "#c2e9fb", "#5a8f3c", "#ffe08a")),
    ]
    thread(u, me, "Fotos do batizado 📷", [
        dict(p=ANA, t=at(20, "21:45"), att=[png_att(n, d) for n, d in photos], text="""Olá mano,

aqui vão algumas fotos do batizado da Inês. A da praia foi no dia seguinte, estava
um tempo fantástico!

Tenho mais umas cinquenta, levo-as no Natal."""),
        dict(p=me, t=at(20, "22:30"), lang="pt", text="""Que lindas! A Inês está enorme. Obrigado, mana!

Bob"""),
        dict(p=ANA, t=at(1, "20:10"), text="""Bob, a mãe quer saber se vocês comem polvo. Não te esqueças de responder,
ela já perguntou três vezes 😄"""),
    ], folder="Família")
    notice(u, MAE, at(41, "18:00"), "Receita do arroz doce", """Querido Bob,

como prometido, aqui está a receita da avó:

- 1 chávena de arroz carolino
- 1 litro de leite
- casca de um limão e um pau de canela
- 200 g de açúcar
- 3 gemas

Coze o arroz em água, junta o leite aos poucos, depois o açúcar e por fim as gemas
fora do lume. Canela por cima, claro!""", folder="Família")
    notice(u, ANA, at(12, "13:20"), "Contacto da Inês para o Natal", """Olá Bob,

aqui fica o contacto do Rui, caso precisem de boleia do aeroporto.""",
           folder="Família", att=[text_att("Rui Carvalho.vcf",
                                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Rui Carvalho\r\nN:Carvalho;Rui;;;\r\n"
                                            "TEL;TYPE=CELL:+351 91 555 0142\r\nEMAIL:rui.carvalho@correio.example\r\n"
                                            "END:VCARD\r\n", "text/vcard", style="plain")])
    notice(u, PAULO, at(6, "17:45"), "Jogo de sábado", """Olá Bob,

viste o jogo de sábado? Que golo no último minuto! Quando vieres no Natal vamos
ver o jogo de dia 27 juntos.

Abraço,""", folder="Família")

    thread(u, me, "Урок в четверг", [
        dict(p=OLGA, t=at(9, "18:30", "moscow"), text="""Привет, Боб!

Наш урок в четверг в силе? Я подготовила новый текст про Петербург и несколько
упражнений на глаголы движения.

До встречи!"""),
        dict(p=me, t=at(9, "17:10"), lang="en", text="""Привет, Ольга! Yes, Thursday at 19:00 your time works. Спасибо!

Bob"""),
        dict(p=OLGA, t=at(1, "19:05", "moscow"),
             att=[pdf_att("Упражнения – глаголы движения.pdf", "Exercises: verbs of motion",
                          ["1. idti / khodit", "2. ekhat / ezdit", "3. letet / letat"])],
             text="""Боб, вот упражнения после урока. Ты молодец, прогресс очень заметен!

Домашнее задание: прочитать текст и ответить на вопросы."""),
    ])

    thread(u, me, "好久不见！", [
        dict(p=WANG, t=at(16, "20:00", "shanghai"), text="""Bob，你好！

好久不见！我下个月要去汉堡出差，十二月十六日到十九日。你有时间一起吃饭吗？
我很想尝尝你说的那家鱼餐厅。

王芳"""),
        dict(p=me, t=at(16, "14:30"), lang="en", text="""Fang, 你好! Great news – dinner on the 17th? I'll book the fish
restaurant at the harbour.

Bob"""),
        dict(p=WANG, t=at(15, "09:10", "shanghai"), text="""太好了！十七号晚上见。谢谢你！"""),
    ])

    thread(u, me, "Κράτηση Οκτώβριος – Villa Elia", [
        dict(p=YANNIS, t=at(59, "10:20", "athens"), text="""Αγαπητέ Bob,

σας επιβεβαιώνουμε την κράτηση για το διαμέρισμα «Ελιά» από 3 έως 10 Οκτωβρίου.
Θα σας περιμένουμε στο αεροδρόμιο των Χανίων.

Καλό ταξίδι!"""),
        dict(p=me, t=at(59, "19:45"), lang="en", text="""Dear Yannis, ευχαριστώ πολύ! We land at 16:20 on 3 October.

Bob"""),
        dict(p=YANNIS, t=at(50, "12:00", "athens"), text="""Αγαπητέ Bob,

ελπίζουμε να περάσατε υπέροχα. Θα χαρούμε να σας ξαναδούμε του χρόνου!"""),
    ], folder="Archive")

    thread(u, me, "Reserva Cortijo Alba – confirmación", [
        dict(p=CARMEN, t=at(46, "11:30"), text="""Estimado Bob:

le confirmamos la reserva de la casita «El Olivo» del 20 al 27 de marzo de 2027,
para dos personas. El importe de la señal es de 150 €.

Un cordial saludo,"""),
        dict(p=me, t=at(45, "20:10"), lang="es", text="""Hola Carmen:

¡muchas gracias! Ya he hecho la transferencia de la señal. ¿Se puede llegar en
tren desde Málaga?

Saludos,
Bob"""),
        dict(p=CARMEN, t=at(44, "09:40"),
             att=[pdf_att("Cómo llegar – Cortijo Alba.pdf", "Cómo llegar al Cortijo Alba", [
                 "Tren Málaga – Ronda: 2 h, cuatro al día", "Desde la estación de Ronda: 10 min en taxi",
                 "Le recogemos con gusto si nos avisa antes."])],
             text="""Estimado Bob:

sí, hay tren de Málaga a Ronda. Le adjunto una pequeña guía; si nos avisa, le
recogemos en la estación.

Un cordial saludo,"""),
        dict(p=CARMEN, t=at(4, "10:00"), seen=False, flag=True, text="""Estimado Bob:

le escribimos para recordarle que el pago restante (490 €) vence el 15 de enero.

Un cordial saludo,"""),
    ], folder="Reisen/Andalucía")
    receipt(u, SKYLARK, at(45, "21:00"), "Booking confirmed: HAM → AGP, 20 March 2027",
            "Dear Mr Martin, your flights are confirmed. Booking reference: SKL7Q2.",
            [("SL 4411 Hamburg – Málaga, 20 Mar 2027, 09:35", "2 × 129.00 EUR"),
             ("SL 4412 Málaga – Hamburg, 27 Mar 2027, 13:50", "2 × 119.00 EUR"),
             ("Checked bag 23 kg", "2 × 35.00 EUR")],
            "566.00 EUR", "E-ticket SKL7Q2.pdf", "SkyLark Air – E-ticket", folder="Reisen/Andalucía",
            lang="en")
    receipt(u, SKYLARK, at(26, "08:00"), "Booking confirmed: HAM → LIS, 23 December 2026",
            "Dear Mr Martin, your flights are confirmed. Booking reference: SKM3X8.",
            [("SL 2202 Hamburg – Lisbon, 23 Dec 2026, 14:10", "2 × 149.00 EUR"),
             ("SL 2203 Lisbon – Hamburg, 29 Dec 2026, 12:25", "2 × 159.00 EUR")],
            "616.00 EUR", "E-ticket SKM3X8.pdf", "SkyLark Air – E-ticket", lang="en", flags=["Flagged"])

    ryokan_text = """ボブ・マーティン様

この度は旅館さくらをご予約いただき、誠にありがとうございます。
以下の内容でご予約を承りました。

ご宿泊日：2027年4月3日から2泊
お部屋：和室（庭園側）
ご夕食：会席料理
チェックイン：15時から

京都駅からは送迎バスをご利用いただけます。
皆様のお越しを心よりお待ちしております。

旅館さくら 予約係"""
    notice(u, RYOKAN, at(11, "14:00", "tokyo"), "ご予約確認（旅館さくら）", ryokan_text,
           att=[pdf_att("Booking confirmation – Ryokan Sakura.pdf", "Ryokan Sakura – Booking", [
               "Guest: Bob Martin", "Check-in: 3 April 2027, from 15:00", "2 nights, Japanese-style room",
               "Dinner: kaiseki"])])

    thread(u, me, "Heizungsablesung am 14. November", [
        dict(p=KRUEGER, t=at(23, "10:00"), text="""Sehr geehrte Mieterinnen und Mieter,

am Samstag, dem 14. November, werden zwischen 8 und 12 Uhr die Heizkostenverteiler
abgelesen. Bitte ermöglichen Sie den Zugang zu allen Räumen.

Falls Sie nicht zu Hause sind, hinterlegen Sie bitte einen Schlüssel bei Ihren
Nachbarn und teilen Sie uns dies mit."""),
        dict(p=me, t=at(23, "18:30"), lang="de", text="""Guten Tag Herr Krüger,

ich bin am 14.11. nicht da; der Schlüssel liegt bei Familie Yıldız im 2. OG.

Viele Grüße
Bob Martin"""),
        dict(p=KRUEGER, t=at(22, "09:15"), text="""Vielen Dank, Herr Martin, wir haben es notiert."""),
    ], folder="Archive")

    thread(u, me, "Sunday long run: Elbe trail 🏃", [
        dict(p=TRAIL, t=at(7, "18:00"), text="""Hi runners,

this Sunday we're doing the Elbe trail from Övelgönne to Wittenbergen: 18 km,
easy pace, coffee and cake at the end. Meeting point 9:00 at the Övelgönne ferry
pier.

Reply if you're coming so we know how much cake to order!

The Trail Runners Hamburg crew"""),
        dict(p=me, t=at(7, "19:10"), text="""Count me in, plus one (my colleague Jakob)."""),
        dict(p=JAKOB, t=at(1, "08:30"), lang="de", to=[BOB], cc=[],
             att=[text_att("Strecke Elbe-Trail.gpx",
                           '<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="demo">\n'
                           '<trk><name>Elbe-Trail</name><trkseg>\n'
                           + "".join('<trkpt lat="%.5f" lon="%.5f"/>\n' % (53.5446 + i * 0.0012,
                                                                           9.9180 - i * 0.0085)
                                     for i in range(24))
                           + "</trkseg></trk>\n</gpx>\n", "application/gpx+xml", style="plain")],
             text="""Moin Bob,

danke fürs Mitnehmen am Sonntag, war super! Anbei die Strecke als GPX, falls du
sie nochmal laufen willst.

Jakob"""),
    ], to=[BOB])

    # Newsletters with pictures.
    garden = [
        ("Gartenfreunde-Rundbrief Oktober: Blumenzwiebeln setzen",
         [("Jetzt Tulpen und Narzissen setzen", "Bis zum ersten Frost ist Zeit – so tief gehören die Zwiebeln in die Erde.",
           "https://gartenfreunde.example/zwiebeln"),
          ("Herbstfest am Vereinsheim", "Kürbissuppe, Apfelkuchen und Pflanzentausch am 17. Oktober.",
           "https://gartenfreunde.example/herbstfest")]),
        ("Gartenfreunde-Rundbrief: Laub richtig nutzen",
         [("Laub ist kein Abfall", "Als Mulch schützt es Beete und Igel gleichermaßen.",
           "https://gartenfreunde.example/laub"),
          ("Obstbaumschnitt-Kurs", "Am 21. November zeigt Herr Özdemir den Winterschnitt.",
           "https://gartenfreunde.example/schnitt")]),
        ("Gartenfreunde-Rundbrief November: Winterquartiere",
         [("Kübelpflanzen überwintern", "Hell, kühl, aber frostfrei: die drei Regeln für Oleander & Co.",
           "https://gartenfreunde.example/ueberwintern"),
          ("Vogelhäuschen bauen", "Bauanleitung und Holz gibt es im Vereinsheim.",
           "https://gartenfreunde.example/vogelhaus")]),
        ("Gartenfreunde-Rundbrief: Adventsbasar am 5. Dezember",
         [("Adventsbasar im Vereinsheim", "Kränze, Marmeladen und Glühwein – der Erlös geht an die Schulgärten.",
           "https://gartenfreunde.example/basar"),
          ("Jahreshauptversammlung", "Einladung und Tagesordnung für den 16. Januar.",
           "https://gartenfreunde.example/versammlung")]),
        ("Gartenfreunde-Rundbrief: Saatgut-Tauschbörse",
         [("Saatgut tauschen statt kaufen", "Alte Tomatensorten, Bohnen und Blumen – bring mit, was du übrig hast.",
           "https://gartenfreunde.example/saatgut"),
          ("Gartenkalender 2027", "Der neue Vereinskalender mit Mondphasen ist da.",
           "https://gartenfreunde.example/kalender")]),
    ]
    garden_palette = ("#2b8a3e", "#94d82d", "#fff3bf", "#d3f9d8", "#f4fce3", "#5c940d")
    for i, (subject, articles) in enumerate(garden):
        newsletter(u, GARTEN, at(57 - i * 12, "18:00"), subject, subject.split(": ", 1)[1],
                   "Liebe Gartenfreundinnen und Gartenfreunde, hier die Neuigkeiten aus dem Verein.",
                   articles, garden_palette, "garten", lang="de", more="Weiterlesen",
                   footer="Gartenfreunde Eimsbüttel e. V., Vereinsheim am Kaifu-Ufer",
                   folder="Archive" if i < 2 else "INBOX")
    bakery_palette = ("#e8590c", "#fcc419", "#fff9db", "#fff4e6", "#ffe8cc", "#d9480f")
    for i, (subject, title, intro, articles) in enumerate([
        ("Diese Woche frisch: Zwetschgenkuchen 🍰", "Zwetschgenkuchen ist zurück",
         "Solange die Zwetschgen reichen: jeden Tag frisch aus dem Ofen.",
         [("Zwetschgenkuchen mit Streuseln", "Das Stück für 2,80 €, das Blech auf Vorbestellung.",
           "https://baeckerei-sonnenschein.example/zwetschgen")]),
        ("Neu: Dinkel-Sauerteigbrot", "Unser neues Dinkel-Sauerteigbrot",
         "48 Stunden Teigführung, nur Mehl, Wasser und Salz.",
         [("Dinkel-Sauerteig", "Jeden Dienstag, Donnerstag und Samstag ab 7 Uhr.",
           "https://baeckerei-sonnenschein.example/dinkel"),
          ("Backkurs im Januar", "Sauerteig selbst ansetzen – noch vier Plätze frei.",
           "https://baeckerei-sonnenschein.example/kurs")]),
        ("Stollen-Vorbestellung bis 30. November", "Unser Butterstollen",
         "Nach dem Rezept von Oma Grete – jetzt vorbestellen und am 1. Advent abholen.",
         [("Butterstollen, 750 g", "19,50 €, mit Marzipan 21,50 €.",
           "https://baeckerei-sonnenschein.example/stollen")]),
        ("Adventsangebot: Plätzchenteller", "Plätzchen für den Advent",
         "Vanillekipferl, Zimtsterne und Spitzbuben – gemischt auf dem Teller.",
         [("Plätzchenteller, 500 g", "12,90 € – auch als Geschenk verpackt.",
           "https://baeckerei-sonnenschein.example/plaetzchen"),
          ("Öffnungszeiten im Dezember", "Sonntags im Advent von 8 bis 12 Uhr geöffnet.",
           "https://baeckerei-sonnenschein.example/zeiten")]),
    ]):
        newsletter(u, BAECKEREI, at(50 - i * 14 if i < 3 else 0, "06:30"), subject, title, intro,
                   articles, bakery_palette, "baeckerei", lang="de", more="Zum Angebot",
                   footer="Bäckerei Sonnenschein, Osterstraße 88, 20259 Hamburg",
                   folder="Trash" if i == 0 else "INBOX")
    trail_palette = ("#1864ab", "#4dabf7", "#ffffff", "#d0ebff", "#e7f5ff", "#364fc7")
    for i, (subject, articles) in enumerate([
        ("Trail Runners Hamburg – October newsletter",
         [("Results from the Harz ultra", "Three of us finished the 60 km – congratulations!",
           "https://trailrunners-hh.example/harz"),
          ("Headlamp season", "Our tips for running safely in the dark.",
           "https://trailrunners-hh.example/headlamps")]),
        ("Trail Runners Hamburg – November newsletter",
         [("Winter training plan", "Three runs a week, one of them long and slow.",
           "https://trailrunners-hh.example/winter"),
          ("New club shirts", "Orders are open until 10 December.",
           "https://trailrunners-hh.example/shirts")]),
    ]):
        newsletter(u, TRAIL, at(48 - i * 30, "12:00"), subject, subject.split(" – ", 1)[1].capitalize(),
                   "Hi runners! Here's what's new in the club.", articles, trail_palette, "trail",
                   folder="Archive" if i == 0 else "INBOX")

    for days, subject, body in [
        (54, "Ihre Vormerkung liegt zur Abholung bereit",
         "Guten Tag,\n\ndas vorgemerkte Medium „Die Vermessung der Welt“ liegt bis zum 12.10. für Sie bereit.\n"),
        (33, "Erinnerung: Leihfrist endet in 3 Tagen",
         "Guten Tag,\n\ndie Leihfrist für folgende Medien endet am 31.10.:\n\n  * Kochen mit Gemüse aus dem Garten\n  * Lonely Planet: Andalusien\n\nSie können die Medien online verlängern.\n"),
        (13, "Ihre Vormerkung liegt zur Abholung bereit",
         "Guten Tag,\n\ndas vorgemerkte Medium „Paris – Ein Stadtführer für Entdecker“ liegt bis zum 25.11. für Sie bereit.\n"),
        (0, "Erinnerung: Leihfrist endet in 3 Tagen",
         "Guten Tag,\n\ndie Leihfrist für folgendes Medium endet am 4.12.:\n\n  * Paris – Ein Stadtführer für Entdecker\n\nSie können das Medium online verlängern.\n"),
    ]:
        notice(u, BIBLIOTHEK, at(days, "06:05"), subject, body + "\nIhre Stadtbibliothek Hamburg-Nord\n",
               folder="Archive" if days > 40 else "INBOX")

    orders = [
        (52, "88412", [("Wanderrucksack 28 l, petrol", "79,90 EUR"), ("Trinkflasche 0,75 l", "14,95 EUR")], "94,85 EUR"),
        (37, "90117", [("Stirnlampe 400 lm", "39,90 EUR"), ("Laufhandschuhe Gr. L", "24,90 EUR")], "64,80 EUR"),
        (21, "93350", [("Reiseadapter-Set", "19,99 EUR"), ("Powerbank 10.000 mAh", "29,99 EUR")], "49,98 EUR"),
        (3, "97002", [("Wollmütze „Elbe“", "24,00 EUR"), ("Thermoskanne 1 l", "34,90 EUR"),
                      ("Geschenkpapier, 3 Rollen", "7,50 EUR")], "66,40 EUR"),
    ]
    for days, number, rows, total in orders:
        receipt(u, KIOSK, at(days, "20:12"), "Ihre Bestellung %s ist unterwegs 📦" % number,
                "Hallo Bob, vielen Dank für Ihre Bestellung %s." % number, rows, total,
                "Rechnung_%s.pdf" % number, "Rechnung Nr. %s" % number,
                folder="Archive" if days > 40 else "INBOX",
                note="Voraussichtliche Zustellung in 1–2 Werktagen.")
    for days, month in [(55, "Oktober"), (25, "November")]:
        receipt(u, STADTWERKE, at(days, "09:00"), "Ihre Abschlagsrechnung %s 2026" % month,
                "Guten Tag Herr Martin, anbei Ihre Abschlagsrechnung für %s." % month,
                [("Strom, Abschlag", "58,00 EUR"), ("Gas, Abschlag", "71,00 EUR")], "129,00 EUR",
                "Abschlagsrechnung_%s_2026.pdf" % month, "Abschlagsrechnung %s 2026" % month,
                folder="Archive" if days > 40 else "INBOX",
                note="Der Betrag wird am 15. vom Konto abgebucht.")
        receipt(u, FUNKNETZ, at(days - 2, "05:00"), "Ihre Mobilfunkrechnung für %s" % month,
                "Hallo Bob Martin, Ihre Rechnung ist da.",
                [("Tarif Funknetz M (20 GB)", "19,99 EUR"), ("Roaming EU", "0,00 EUR")], "19,99 EUR",
                "Mobilfunkrechnung_%s.pdf" % month, "Mobilfunkrechnung %s" % month,
                folder="Archive" if days > 40 else "INBOX")
    notice(u, HAFENBANK, at(30, "07:00"), "Ihr Kontoauszug Oktober ist verfügbar",
           "Guten Tag Herr Martin,\n\nIhr Kontoauszug für Oktober 2026 steht im Online-Banking bereit.\n\nIhre Hafenbank\n",
           folder="Archive")
    notice(u, HAFENBANK, at(0, "07:00"), "Ihr Kontoauszug November ist verfügbar",
           "Guten Tag Herr Martin,\n\nIhr Kontoauszug für November 2026 steht im Online-Banking bereit.\n\nIhre Hafenbank\n")
    notice(u, PRAXIS, at(5, "16:00"), "Terminerinnerung: Dienstag, 8. Dezember, 08:30 Uhr",
           "Guten Tag Herr Martin,\n\nwir erinnern Sie an Ihren Termin am Dienstag, 8. Dezember, um 08:30 Uhr.\nBitte bringen Sie Ihre Versichertenkarte mit.\n\nIhre Praxis Dr. Yılmaz\n",
           flags=["Flagged"])
    notice(u, KRUEGER, at(2, "11:00"), "Wasserabstellung am 3. Dezember", """Sehr geehrte Mieterinnen und Mieter,

am Donnerstag, dem 3. Dezember, wird zwischen 9 und 13 Uhr das Wasser abgestellt,
weil im Keller eine Leitung erneuert wird.

Wir bitten um Ihr Verständnis.""")

    # A few notes between friends, nothing special.
    for days, sender, subject, body in [
        (43, JAKOB, "Kicker am Freitag?", "Moin Bob,\n\nFreitag nach Feierabend Kicker in der Schanze? Ab 19 Uhr.\n\nJakob"),
        (36, CLARA, "Photos from Crete", "Bob, I finally sorted the Crete photos – the album link is\nhttps://photos.example/album/crete-2026\n\nClara"),
        (28, WANG, "照片", "Bob，这是我们上次在上海拍的照片。\n\n王芳"),
        (18, JAKOB, "Buchtipp", "Moin Bob,\n\nwie versprochen: „Der Hals der Giraffe“ von Judith Schalansky. Leih ich dir gern.\n\nJakob"),
        (10, ANA, "Aniversário da mãe", "Bob, não te esqueças: o aniversário da mãe é no dia 9 de janeiro! Vamos juntar-nos\npara um presente?\n\nAna"),
    ]:
        notice(u, sender, at(days, "19:%02d" % (days + 7)), subject, body,
               folder="Família" if sender is ANA else ("Archive" if days > 30 else "INBOX"))

    for days, sender, subject, body in [
        (35, P("Gewinnspiel-Team", "gewinn@superpreise.example", lang="de"),
         "Sie haben ein iPhone gewonnen!", "Nur noch ein Klick: http://superpreise.example/claim\n"),
        (20, P("Pharmacy Deals", "deals@pills-cheap.example"), "Best prices, no prescription",
         "Visit http://pills-cheap.example today.\n"),
    ]:
        notice(u, sender, at(days, "02:11"), subject, body, folder="Junk", seen=False)
    notice(u, P("Streaming-Dienst", "info@streamflix.example", lang="de"), at(14, "12:00"),
           "Ihr Probeabo endet bald", "Hallo,\n\nIhr kostenloses Probeabo endet in 3 Tagen.\n", folder="Trash")
    notice(u, P("Möbelhaus Nord", "news@moebel-nord.example", lang="de"), at(8, "09:00"),
           "Black Week: bis zu 40 % auf Sofas", "Nur bis Sonntag: bis zu 40 % auf ausgewählte Sofas.\n",
           folder="Trash")


# --- more of the everyday: tickets, digests, small notes -------------------------

TRACKER = P("Ticketsystem", "tickets@example.test", lang="de", cte="quoted-printable")
WIKI = P("Wiki", "wiki@example.test", lang="de")
KINO = P("Kino im Hafen", "programm@kino-im-hafen.example", lang="de")
CLUB = P("Club de lecture du Marais", "club@lecture-marais.example", lang="fr")
VEREIN = P("SV Eimsbüttel – Laufgruppe", "laufgruppe@sv-eimsbuettel.example", lang="de")


def ticket_trail(user, key, title, events):
    """A ticket system's mail about one ticket: one thread of notifications."""
    ids = []
    for days, hhmm, who, change in events:
        subject = "[%s] %s" % (key, title)
        if ids:
            subject = "Re: " + subject
        body = "%s hat %s geändert:\n\n%s\n\nhttps://tickets.example.test/browse/%s\n" % (
            who, key, change, key)
        item = add(user, "INBOX", TRACKER, [USERS[user]], subject, at(days, hhmm),
                   mk.text(body, "utf-8", "quoted-printable"),
                   in_reply_to=ids[-1] if ids else None, references=list(ids),
                   extra=[("X-Ticket", key), ("Auto-Submitted", "auto-generated")])
        ids.append(item.msgid)


def more_work():
    u, me = "alice", ALICE
    ticket_trail(u, "PLAT-1182", "Migration der Ordner-Indizes", [
        (16, "09:10", "Jonas Weber", "Status: Offen → In Arbeit"),
        (13, "15:20", "Jonas Weber", "Kommentar: Die Migration läuft jetzt in Blöcken zu 5.000 Nachrichten."),
        (9, "11:45", "Priya Raman", "Kommentar: Lasttest mit 50.000 Nachrichten: 41 s, kein Fehler."),
        (4, "17:05", "Jonas Weber", "Status: In Arbeit → Erledigt"),
    ])
    ticket_trail(u, "PLAT-1190", "Absturz beim Wiederverbinden nach dem Ruhezustand", [
        (10, "08:40", "Priya Raman", "Neu angelegt, Priorität: Hoch, zugewiesen an: Jonas Weber"),
        (4, "10:25", "Jonas Weber", "Kommentar: Ursache gefunden (veraltete Socket-Prüfung), Fix im Review."),
        (2, "14:10", "Priya Raman", "Status: Review → Erledigt"),
    ])
    ticket_trail(u, "PLAT-1203", "Anhänge mit Umlauten im Namen werden als „ATT00001.bin“ gespeichert", [
        (6, "13:30", "Sophie Laurent", "Neu angelegt, Priorität: Mittel, Komponente: MIME"),
        (5, "09:50", "Alice Berger", "Zugewiesen an: Jonas Weber"),
        (1, "16:15", "Jonas Weber", "Kommentar: RFC-2231-Fortsetzungen (filename*0*=…) werden noch nicht "
                                    "zusammengesetzt. Test mit echter Mail angelegt."),
    ])
    ticket_trail(u, "PLAT-1207", "Ordnerliste: „Île-de-France“ erscheint als „&AM4-le-de-France“", [
        (3, "10:05", "Marco Rossi", "Neu angelegt, Priorität: Niedrig, Komponente: IMAP"),
        (0, "08:20", "Jonas Weber", "Status: Offen → In Arbeit"),
    ])
    for i in range(8):
        changed = [("Release 4.2 – Checkliste", "Jonas Weber"), ("Onboarding", "Priya Raman"),
                   ("Architektur/Synchronisation", "Jonas Weber"), ("Design-System/Farben", "Marco Rossi"),
                   ("Bereitschaft Dezember", "Tobias Schröder"), ("Testplan 4.2", "Priya Raman"),
                   ("Lyon 2026", "Sophie Laurent"), ("Roadmap 2027", "Tobias Schröder")]
        pages = [changed[(i + k) % len(changed)] for k in range(3 + i % 3)]
        body = "Diese Woche geänderte Seiten im Bereich Plattform:\n\n" + "".join(
            "  * %s (%s)\n" % page for page in pages) + "\nhttps://wiki.example.test/plattform\n"
        notice(u, WIKI, at(55 - i * 7, "07:00"), "Wiki: %d geänderte Seiten diese Woche" % len(pages),
               body, folder="Archive" if i < 3 else "INBOX")
    for days, sender, subject, body, att in [
        (8, MARCO, "Figma export for the rail icons",
         "Hi Alice,\n\nthe exported icons are attached as a sprite, 16 and 20 px.\n\nMarco",
         [png_att("rail-icons@2x.png", picture("icons", 160, 40, "#2b323b", "#2b323b", "#5b9cf0", "#ffd866", 1),
                  "plain")]),
        (7, SOPHIE, "Compte rendu – réunion client Mercado del Sol",
         "Bonjour Alice,\n\nvoici le compte rendu de la réunion d'hier avec Mercado del Sol. Points clés :\n"
         "la recherche dans tous les dossiers et l'export PDF. Ils aimeraient une démo en janvier.\n\nSophie",
         [pdf_att("Compte rendu – Mercado del Sol – 23-11.pdf", "Compte rendu de réunion",
                  ["Participants : Lucía Fernández, Sophie Laurent", "1. Recherche globale",
                   "2. Export PDF", "3. Démo prévue en janvier"])]),
        (6, PRIYA, "Test data generator for 50k folders",
         "Hi Alice,\n\nI wrote a small generator for the load test folders: 50,000 messages with\n"
         "threads, attachments and a few broken ones. It takes 20 seconds. Want a demo?\n\nPriya", []),
        (2, TOBIAS, "1:1 am Donnerstag verschieben?",
         "Hallo Alice,\n\nkönnen wir unser 1:1 am Donnerstag auf 15 Uhr verschieben? Um 14 Uhr habe ich\n"
         "einen Termin mit der Geschäftsführung.\n\nTobias", []),
        (1, JONAS, "Übergabe vor meinem Urlaub",
         "Hallo Alice,\n\nhier die Übergabe für die Zeit vom 21. bis 24.12.:\n\n"
         "  * PLAT-1207 (Ordnernamen) – Fix fast fertig, Test fehlt noch\n"
         "  * Zertifikate des Testservers laufen am 2.1. ab – Erneuerung ist vorbereitet\n"
         "  * Priya übernimmt die Rufbereitschaft am 22.12.\n\nJonas", []),
        (0, PRIYA, "RC2 smoke test: all green ✅",
         "Morning! The RC2 smoke test passed on all three Windows versions. Details in the\ntest report.\n\nPriya", []),
        (39, SOPHIE, "Traductions de l'interface – relecture",
         "Bonjour Alice,\n\nla relecture des traductions françaises est terminée : 37 corrections, surtout\n"
         "des espaces insécables avant « : » et « ? ».\n\nSophie", []),
        (42, JONAS, "Neuer Testserver läuft",
         "Hallo Alice,\n\nder neue Testserver mit Dovecot und Postfix läuft. Zugangsdaten stehen im\nWiki.\n\nJonas", []),
    ]:
        notice(u, sender, at(days, "%02d:%02d" % (8 + days % 9, (days * 7) % 60)), subject, body,
               att=att, folder="Archive" if days > 30 else "INBOX")


def more_home():
    u, me = "bob", BOB
    thread(u, me, "Ceia de Natal – quem traz o quê? 🎄", [
        dict(p=ANA, t=at(14, "20:30"), text="""Olá a todos!

Para a consoada: a mãe faz o bacalhau, eu levo as rabanadas. O tio Paulo já disse
que traz o vinho. Bob, tu e a Clara podem trazer alguma coisa da Alemanha?"""),
        dict(p=me, t=at(14, "21:10"), lang="pt", text="""Claro! Levamos Stollen e Lebkuchen de Hamburgo, e a Clara quer fazer
uma bûche de Noël.

Bob"""),
        dict(p=MAE, t=at(13, "08:45"), text="""Que maravilha, vai ser um Natal internacional! 😊"""),
        dict(p=PAULO, t=at(13, "19:00"), text="""E eu levo também o queijo da Serra. Não se preocupem com as bebidas."""),
        dict(p=ANA, t=at(0, "08:05"), seen=False, text="""Lista final no anexo, para ninguém se esquecer de nada!""",
             att=[text_att("Lista da consoada.txt", "Bacalhau com grão – mãe\nRabanadas – Ana\n"
                           "Vinho do Douro, queijo da Serra – tio Paulo\nStollen, Lebkuchen, bûche de Noël – Bob e Clara\n")]),
    ], folder="Família", to=[BOB, MAE, PAULO])

    for days, hhmm, subject, text in [
        (27, "18:40", "Dinner Friday?", "Shall we try the Georgian place on Friday? I'll book for 8.\n\nC."),
        (19, "12:15", "Keys", "I took your keys by mistake this morning 🙈 I'll be home by 6.\n\nC."),
        (11, "17:50", "Concert tickets", "Got two tickets for the Elbphilharmonie on 19 December! Brahms.\n\nC."),
        (4, "09:30", "Léa's vernissage", "Léa sent the invitation for the 12th – 18:00 at the gallery in the\n"
                                        "rue de Turenne. She's so excited we're coming!\n\nClara"),
        (1, "13:05", "Dentist", "Don't forget you wanted to call the dentist today.\n\nC."),
    ]:
        notice(u, CLARA, at(days, hhmm), subject, text)

    kino_palette = ("#212529", "#c92a2a", "#ffd43b", "#343a40", "#495057", "#868e96")
    films = [
        ("Das Lehrerzimmer", "Ein Drama über eine junge Lehrerin zwischen allen Stühlen."),
        ("Perfect Days", "Ein Toiletten-Reiniger in Tokio und die Schönheit des Alltags."),
        ("Anatomie eines Falls", "Justizdrama in den französischen Alpen."),
        ("Past Lives", "Zwei Kindheitsfreunde treffen sich nach 24 Jahren wieder."),
        ("Die Unschärferelation der Liebe", "Romantische Komödie, Hamburg-Premiere mit Gästen."),
        ("Oppenheimer (70 mm)", "Im Originalformat, nur an zwei Abenden."),
        ("Der Junge und der Reiher", "Zeichentrick für Groß und Klein, japanisch mit Untertiteln."),
    ]
    for i in range(7):
        week = 42 + i
        picks = [films[(i + k) % len(films)] for k in range(2)]
        newsletter(u, KINO, at(54 - i * 7, "11:00"), "Kinoprogramm KW %d" % week,
                   "Unser Programm für die KW %d" % week,
                   "Diese Woche im Kino im Hafen: %s und mehr." % picks[0][0],
                   [(t, d, "https://kino-im-hafen.example/film/%d" % hash_index(t)) for t, d in picks],
                   kino_palette, "kino", lang="de", more="Tickets",
                   footer="Kino im Hafen, Große Elbstraße 1, 22767 Hamburg",
                   folder="Archive" if i < 3 else ("Trash" if i == 4 else "INBOX"))

    for days, title, book in [
        (50, "Club de lecture – octobre", "« La Vie devant soi » de Romain Gary"),
        (22, "Club de lecture – novembre", "« L'Élégance du hérisson » de Muriel Barbery"),
        (3, "Club de lecture – décembre", "« Le Petit Prince » (édition illustrée)"),
    ]:
        notice(u, CLUB, at(days, "18:30"), title, """Bonjour à toutes et à tous,

notre prochaine rencontre aura lieu le premier jeudi du mois à 19 h, comme d'habitude
à la librairie. Nous parlerons de %s.

Apportez vos questions et, si vous voulez, quelque chose à grignoter !

À bientôt,
Le club de lecture""" % book, folder="Archive" if days > 40 else "INBOX")

    for days, subject, body in [
        (47, "Kursplan Laufgruppe November", "Dienstag 18:30 Intervalle, Donnerstag 18:30 Technik, Samstag 9:00 lang.\n"),
        (17, "Jahresbeitrag 2027", "Der Jahresbeitrag (96 €) wird am 15. Januar eingezogen.\n"),
        (2, "Kursplan Laufgruppe Dezember", "Dienstag 18:30 Intervalle, Samstag 9:00 lang. Am 26.12. kein Training.\n"),
    ]:
        notice(u, VEREIN, at(days, "10:00"), subject, "Hallo Bob,\n\n" + body + "\nSportliche Grüße\nDeine Laufgruppe\n",
               folder="Archive" if days > 40 else "INBOX")

    for days, number, state, text in [
        (53, "88412", "zugestellt", "wurde heute zugestellt. Viel Freude damit!"),
        (36, "90117", "zugestellt", "wurde heute zugestellt. Viel Freude damit!"),
        (20, "93350", "zugestellt", "wurde heute in der Packstation 112 hinterlegt."),
        (2, "97002", "zugestellt", "wurde heute bei Ihrem Nachbarn (Yıldız) abgegeben."),
    ]:
        notice(u, KIOSK, at(days, "14:%02d" % (days + 3)), "Bestellung %s %s" % (number, state),
               "Hallo Bob,\n\nIhre Bestellung %s %s\n\nIhr Kiosk Online-Shop\n" % (number, text),
               folder="Archive" if days > 40 else "INBOX")
    notice(u, HAFENBANK, at(15, "21:14"), "Neue Anmeldung auf einem Gerät",
           "Guten Tag Herr Martin,\n\nsoeben hat sich ein neues Gerät (Windows, Hamburg) in Ihrem Online-Banking\n"
           "angemeldet. Waren Sie das nicht? Dann rufen Sie uns bitte an: 040 555 0100.\n\nIhre Hafenbank\n")
    notice(u, HAFENBANK, at(58, "07:00"), "Ihr Kontoauszug September ist verfügbar",
           "Guten Tag Herr Martin,\n\nIhr Kontoauszug für September 2026 steht im Online-Banking bereit.\n\nIhre Hafenbank\n",
           folder="Archive")
    for days, text in [
        (56, "Привет, Боб! Спасибо за урок. Домашнее задание: выучить слова на тему «Путешествия»."),
        (42, "Привет, Боб! На следующей неделе урок переносится на пятницу, хорошо?"),
        (23, "Привет, Боб! Отличная работа с падежами сегодня!"),
    ]:
        notice(u, OLGA, at(days, "18:10", "moscow"), "Урок", text + "\n", folder="Archive")


# --- the shared corpus ------------------------------------------------------------


def corpus(folder):
    """Messages nobody on this project wrote, as they are: plain picks by name.

    Only messages both reference parsers read the same way, with a sender, a
    subject and a date, so the folder looks like real old mail rather than a
    parser torture test.
    """
    manifest = os.path.join(folder, "manifest.json")
    if not os.path.isfile(manifest):
        print("make-demo-mail: no manifest.json in %s; leaving the corpus out" % folder, file=sys.stderr)
        return []
    with open(manifest, encoding="utf-8") as f:
        entries = json.load(f).get("messages", [])
    picks = []
    for e in entries:
        ref = e.get("python") or {}
        if e.get("disagree") or e.get("source") == "gmime" or e.get("bytes", 1 << 30) > 60000:
            continue
        if not (ref.get("from") and ref.get("subject") and (ref.get("date") or 0) > 0):
            continue
        path = os.path.join(folder, "messages", e["file"])
        if os.path.isfile(path):
            picks.append((hashlib.sha1(e["file"].encode("utf-8")).hexdigest(), ref["date"], path,
                          (ref["from"], ref["subject"], ref["date"])))
    picks.sort()
    # Several libraries carry the same classic test messages: one copy each.
    chosen, known = [], set()
    for pick in picks:
        if pick[3] not in known and len(chosen) < CORPUS_COUNT:
            known.add(pick[3])
            chosen.append(pick)
    chosen.sort(key=lambda p: (p[1], p[2]))
    out = []
    for _, date, path, _ in chosen:
        with open(path, "rb") as f:
            raw = f.read()
        item = Item("alice", "Archive/Corpus", datetime.datetime.fromtimestamp(date, UTC), raw,
                    None, "", "", ())
        item.seen = True
        item.flags.add("Seen")
        out.append(item)
    return out


# --- output -------------------------------------------------------------------------

FOLDER_ORDER = ["INBOX", "Sent", "Archive", "Archive/Corpus", "Trash", "Junk"]


def folder_key(name):
    return (FOLDER_ORDER.index(name) if name in FOLDER_ORDER else len(FOLDER_ORDER), name)


def settle_flags(items):
    """Older mail read, the newest dozen of each inbox unread."""
    for user in USERS:
        inbox = [i for i in items if i.user == user and i.folder == "INBOX" and i.seen is None]
        inbox.sort(key=lambda i: i.when, reverse=True)
        for n, item in enumerate(inbox):
            item.seen = n >= UNREAD_PER_INBOX
    for item in items:
        if item.seen is None:
            item.seen = True
        if item.seen:
            item.flags.add("Seen")


def prepare_output(out):
    if os.path.exists(out):
        if os.listdir(out) and not os.path.isfile(os.path.join(out, "index.tsv")):
            sys.exit("make-demo-mail: %s is not empty and was not written by this tool" % out)
        for entry in sorted(os.listdir(out)):
            path = os.path.join(out, entry)
            if os.path.isdir(path) and not os.path.islink(path):
                import shutil
                shutil.rmtree(path)
            else:
                os.remove(path)
    os.makedirs(out, exist_ok=True)


def write(out, items):
    prepare_output(out)
    groups = {}
    for n, item in enumerate(items):
        groups.setdefault((item.user, item.folder), []).append((item.when, n, item))
    lines = []
    for user, folder in sorted(groups, key=lambda k: (list(USERS).index(k[0]), folder_key(k[1]))):
        members = sorted(groups[(user, folder)], key=lambda m: (m[0], m[1]))
        directory = os.path.join(out, user, *folder.split("/"))
        os.makedirs(directory)
        for i, (when, _, item) in enumerate(members, 1):
            rel = "/".join([user] + folder.split("/") + ["%04d.eml" % i])
            path = os.path.join(out, rel)
            with open(path, "wb") as f:
                f.write(item.raw)
            stamp = when.timestamp()
            os.utime(path, (stamp, stamp))
            flags = ",".join(f for f in ("Seen", "Flagged", "Answered") if f in item.flags) or "-"
            lines.append("%s\t%s\t%s\t%s\n" % (user, folder, rel, flags))
    with open(os.path.join(out, "index.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.writelines(lines)
    return lines


def main():
    parser = argparse.ArgumentParser(description="Write the demo's mail as .eml files.")
    parser.add_argument("out", help="folder to write (emptied first if this tool wrote it)")
    parser.add_argument("--corpus", help="the shared MIME corpus folder (optional)")
    args = parser.parse_args()

    work()
    more_work()
    home()
    more_home()
    settle_flags(ITEMS)
    items = list(ITEMS)
    if args.corpus:
        items += corpus(args.corpus)
    lines = write(args.out, items)
    counts = {}
    for line in lines:
        user, folder = line.split("\t")[:2]
        counts[user] = counts.get(user, 0) + 1
    print("make-demo-mail: %d messages (%s) in %s" % (
        len(lines), ", ".join("%s %d" % kv for kv in counts.items()), args.out))


if __name__ == "__main__":
    main()
