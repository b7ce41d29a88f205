#!/usr/bin/env python3
"""Seeded generator of a realistic mail corpus for the parser benchmark.

  gen_corpus.py OUT_DIR [--seed 1] [--count 500]

Writes OUT_DIR/msgs/NNNNN.eml (CR LF line ends, as IMAP delivers them) and
OUT_DIR/list.txt (paths relative to OUT_DIR), the BENCH_CORPUS and
BENCH_PARSE_LIST of `postern-cli bench parse`. The same seed always gives
the same bytes. The mix: short plain texts, texts in legacy charsets with
encoded-word headers, plain+HTML alternatives, messages with attachments
(most of the bytes), related HTML with inline images, forwarded messages.
"""
import argparse
import base64
import email.quoprimime
import os
import quopri
import random

WORDS = ("meeting report budget draft review agenda please thanks regards update "
         "project schedule invoice attached summary notes question answer team "
         "release server client version issue ticket deadline friday morning").split()
CHARSET_TEXT = {
    'iso-8859-1': "Grüße aus Köln, schöne Äpfel und süße Brötchen für alle",
    'windows-1252': "Café crème – “quoted” naïve résumé € 42",
    'koi8-r': "Привет, как дела? Отчёт готов, смотрите вложение",
    'shift_jis': "会議の資料を添付します。よろしくお願いします",
    'iso-8859-2': "Dzień dobry, proszę o przesłanie faktury",
    'utf-8': "Grüße – 你好 – Привет – ✓ done",
}
ATTACHMENTS = [('report.pdf', 'application/pdf'), ('photo.jpg', 'image/jpeg'),
               ('scan.png', 'image/png'), ('notes.docx',
               'application/vnd.openxmlformats-officedocument.wordprocessingml.document'),
               ('data.zip', 'application/zip'), ('table.xlsx',
               'application/vnd.openxmlformats-officedocument.spreadsheetml.sheet')]


class Gen:
    def __init__(self, seed):
        self.r = random.Random(seed)
        self.n = 0

    def words(self, count):
        return ' '.join(self.r.choice(WORDS) for _ in range(count))

    def paragraph_text(self, size):
        lines = []
        total = 0
        while total < size:
            line = self.words(self.r.randint(6, 14)).capitalize() + '.'
            lines.append(line)
            total += len(line) + 2
            if self.r.random() < 0.15:
                lines.append('')
        return '\n'.join(lines)

    def html(self, size):
        parts = ['<html><head><meta charset="utf-8"><style>p{margin:0}</style></head><body>']
        total = 0
        while total < size:
            p = '<p style="font-family:Arial">%s <b>%s</b> <a href="https://example.test/%d">%s</a></p>' % (
                self.words(10), self.words(2), self.r.randint(1, 99999), self.words(3))
            parts.append(p)
            total += len(p)
        parts.append('</body></html>')
        return '\n'.join(parts)

    def boundary(self):
        return '----=_Part_%d_%d' % (self.r.randint(10**8, 10**9), self.n)

    def headers(self, subject, extra=()):
        self.n += 1
        h = []
        for hop in range(self.r.randint(2, 5)):
            h.append('Received: from mx%d.example.test (mx%d.example.test [192.0.2.%d])\n'
                     '\tby mail.example.test (Postfix) with ESMTPS id %08X\n'
                     '\tfor <bob@example.test>; Mon, %d Dec 2026 %02d:%02d:%02d +0100' % (
                         hop, hop, self.r.randint(1, 254), self.r.getrandbits(32),
                         self.r.randint(1, 28), self.r.randint(0, 23), self.r.randint(0, 59),
                         self.r.randint(0, 59)))
        h.append('DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.test; s=sel;\n'
                 '\tbh=%s;\n\tb=%s' % (base64.b64encode(self.r.randbytes(32)).decode(),
                                       base64.b64encode(self.r.randbytes(180)).decode()))
        h.append('From: %s' % self.sender())
        h.append('To: Bob Example <bob@example.test>')
        if self.r.random() < 0.3:
            h.append('Cc: ' + ', '.join('user%d@example.test' % self.r.randint(1, 999) for _ in range(self.r.randint(1, 6))))
        h.append('Subject: ' + subject)
        h.append('Date: %s, %d Dec 2026 %02d:%02d:%02d +0100' % (
            self.r.choice(['Mon', 'Tue', 'Wed']), self.r.randint(1, 28), self.r.randint(0, 23),
            self.r.randint(0, 59), self.r.randint(0, 59)))
        h.append('Message-ID: <%016x.%d@example.test>' % (self.r.getrandbits(64), self.n))
        h.append('MIME-Version: 1.0')
        h.extend(extra)
        return '\n'.join(h) + '\n'

    def sender(self):
        if self.r.random() < 0.4:
            cs = self.r.choice(list(CHARSET_TEXT))
            name = CHARSET_TEXT[cs].split()[0].strip(',')
            return '%s <sender%d@example.test>' % (self.encoded_word(name, cs), self.r.randint(1, 99))
        return '"%s, %s" <sender%d@example.test>' % (self.words(1).capitalize(), self.words(1).capitalize(),
                                                     self.r.randint(1, 99))

    def encoded_word(self, text, charset):
        data = text.encode(charset, 'replace')
        if self.r.random() < 0.5:
            return '=?%s?B?%s?=' % (charset, base64.b64encode(data).decode())
        return email.quoprimime.header_encode(data, charset)

    def subject(self):
        if self.r.random() < 0.35:
            cs = self.r.choice(list(CHARSET_TEXT))
            return 'Re: ' + self.encoded_word(CHARSET_TEXT[cs][:40], cs)
        return 'Re: ' + self.words(self.r.randint(3, 8))

    @staticmethod
    def qp(text, charset='utf-8'):
        return quopri.encodestring(text.replace('\n', '\r\n').encode(charset, 'replace')).decode('ascii')

    @staticmethod
    def b64(data):
        s = base64.b64encode(data).decode()
        return '\n'.join(s[i:i + 76] for i in range(0, len(s), 76))

    def text_leaf(self, text, subtype='plain', charset='utf-8'):
        return ('Content-Type: text/%s; charset="%s"\nContent-Transfer-Encoding: quoted-printable\n\n%s\n'
                % (subtype, charset, self.qp(text, charset)))

    def alternative(self):
        b = self.boundary()
        text = self.paragraph_text(self.r.randint(500, 6000))
        body = ('Content-Type: multipart/alternative; boundary="%s"\n\n--%s\n%s--%s\n%s--%s--\n' % (
            b, b, self.text_leaf(text), b, self.text_leaf(self.html(self.r.randint(2000, 40000)), 'html'), b))
        return body

    def attachment(self, size):
        name, mediatype = self.r.choice(ATTACHMENTS)
        if self.r.random() < 0.2:
            name = self.encoded_word('Übersicht ' + name, 'utf-8')
        return ('Content-Type: %s; name="%s"\nContent-Disposition: attachment; filename="%s"\n'
                'Content-Transfer-Encoding: base64\n\n%s\n' % (mediatype, name, name, self.b64(self.r.randbytes(size))))

    def message(self):
        kind = self.r.random()
        subject = self.subject()
        if kind < 0.25:  # short plain text
            return self.headers(subject, ['Content-Type: text/plain; charset=utf-8',
                                          'Content-Transfer-Encoding: 7bit']) + '\n' + \
                self.paragraph_text(self.r.randint(300, 8000)) + '\n'
        if kind < 0.40:  # legacy charset
            cs = self.r.choice([c for c in CHARSET_TEXT if c != 'utf-8'])
            text = '\n'.join(CHARSET_TEXT[cs] + ' ' + self.words(5) for _ in range(self.r.randint(5, 80)))
            if self.r.random() < 0.5:
                return self.headers(subject) + self.text_leaf(text, 'plain', cs)
            return self.headers(subject, ['Content-Type: text/plain; charset=%s' % cs,
                                          'Content-Transfer-Encoding: 8bit']).encode('ascii') + b'\n' + \
                text.replace('\n', '\r\n').encode(cs, 'replace') + b'\r\n'
        if kind < 0.70:  # plain and HTML
            return self.headers(subject) + self.alternative()
        if kind < 0.90:  # attachments
            b = self.boundary()
            parts = [self.alternative()]
            for _ in range(self.r.randint(1, 3)):
                size = int(self.r.lognormvariate(11.5, 1.0))  # median ~100 kB
                parts.append(self.attachment(min(size, 3_000_000)))
            body = 'Content-Type: multipart/mixed; boundary="%s"\n\nThis is a multi-part message in MIME format.\n' % b
            body += ''.join('--%s\n%s' % (b, p) for p in parts) + '--%s--\n' % b
            return self.headers(subject) + body
        if kind < 0.95:  # related HTML with inline images
            b = self.boundary()
            images = ['image%d@example.test' % i for i in range(self.r.randint(1, 4))]
            html = self.html(self.r.randint(2000, 20000)) + ''.join('<img src="cid:%s">' % i for i in images)
            body = 'Content-Type: multipart/related; boundary="%s"\n\n--%s\n%s' % (b, b, self.text_leaf(html, 'html'))
            for cid in images:
                body += ('--%s\nContent-Type: image/png\nContent-ID: <%s>\nContent-Disposition: inline\n'
                         'Content-Transfer-Encoding: base64\n\n%s\n' % (b, cid, self.b64(self.r.randbytes(self.r.randint(2000, 60000)))))
            return self.headers(subject) + body + '--%s--\n' % b
        # forwarded message
        b = self.boundary()
        inner = self.headers('Fwd: ' + self.words(4)) + self.alternative()
        body = ('Content-Type: multipart/mixed; boundary="%s"\n\n--%s\n%s--%s\nContent-Type: message/rfc822\n\n%s\n--%s--\n'
                % (b, b, self.text_leaf('See below.\n' + self.paragraph_text(300)), b, inner, b))
        return self.headers(subject) + body


def crlf(data):
    if isinstance(data, str):
        data = data.encode('ascii')
    return data.replace(b'\r\n', b'\n').replace(b'\n', b'\r\n')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('out')
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--count', type=int, default=500)
    a = ap.parse_args()
    os.makedirs(os.path.join(a.out, 'msgs'), exist_ok=True)
    g = Gen(a.seed)
    names = []
    for i in range(a.count):
        name = 'msgs/%05d.eml' % i
        with open(os.path.join(a.out, name), 'wb') as fh:
            fh.write(crlf(g.message()))
        names.append(name)
    with open(os.path.join(a.out, 'list.txt'), 'w') as fh:
        fh.write('\n'.join(names) + '\n')


if __name__ == '__main__':
    main()
