#!/usr/bin/python3
"""Fills a fixture user's mailbox for the IMAP benchmark.

usage: imap-populate.py OUTDIR   (with the fixture's env file sourced)

INBOX gets 10,000 messages of mixed sizes (written as files and handed to
the fixture's deliver helper, which imports them with doveadm in seconds),
30 further folders (some with non-ASCII names) get a few messages each over
IMAP, and part of the mail is marked read. Writes OUTDIR/folders.txt (the
31 folder names in UTF-8, INBOX first) and OUTDIR/bench.env (the BENCH_*
variables for `postern-cli bench imap` and imap-baseline.py).
"""

import imaplib
import os
import random
import ssl
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import imap_mutf7 as mutf7  # noqa: E402  (the shared modified UTF-7 encoder beside this file)

INBOX_MESSAGES = 10000
FOLDER_NAMES = ["Archive/2019", "Archive/2020", "Archive/2021", "Archive/2022", "Archive/2023",
                "Projects", "Projects/Alpha", "Projects/Beta", "Projects/Gamma", "Receipts",
                "Travel", "Family", "Newsletters", "Lists/dev", "Lists/announce",
                "Entwürfe alt", "Überweisungen", "Réunions", "日本語", "Входящие старые",
                "Clients/A", "Clients/B", "Clients/C", "Invoices", "Reports",
                "Tickets", "Team", "Events", "Ideas", "Later"]
WORDS = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "
         "incididunt ut labore et dolore magna aliqua").split()


def message(i, rng):
    lines = rng.choice([5, 20, 80, 400, 1500])
    body = "\r\n".join(" ".join(rng.choice(WORDS) for _ in range(12)) for _ in range(lines))
    subject = f"Benchmark message {i}" if i % 7 else f"=?UTF-8?Q?Gr=C3=BC=C3=9Fe_{i}?="
    return (f"From: Sender {i % 97} <sender{i % 97}@example.test>\r\n"
            f"To: alice@example.test\r\nSubject: {subject}\r\n"
            f"Date: Mon, {1 + i % 28:02d} Jan 2024 {i % 24:02d}:{i % 60:02d}:00 +0100\r\n"
            f"Message-ID: <bench{i}@example.test>\r\n"
            + (f"In-Reply-To: <bench{i - 1}@example.test>\r\nReferences: <bench{i - 1}@example.test>\r\n" if i % 3 == 0 else "")
            + "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + body + "\r\n")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    user, password = os.environ["POSTERN_USER1"], os.environ["POSTERN_PASS1"]
    port = int(os.environ["POSTERN_IMAP_PORT"])
    subprocess.run([os.path.join(REPO, "tests/fixture/reset-mailboxes"), user], check=True)
    rng = random.Random(1)
    with tempfile.TemporaryDirectory() as stage:
        files = []
        for i in range(1, INBOX_MESSAGES + 1):
            path = os.path.join(stage, f"{i:05d}.eml")
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(message(i, rng))
            files.append(path)
        subprocess.run([os.path.join(REPO, "tests/fixture/deliver"), user] + files, check=True)

    ctx = ssl.create_default_context(cafile=os.environ["POSTERN_TEST_CA"])
    imap = imaplib.IMAP4_SSL("localhost", port, ssl_context=ctx)
    imap.login(user, password)
    for n, name in enumerate(FOLDER_NAMES):
        quoted = '"' + mutf7.encode(name) + '"'
        imap.create(quoted)
        for k in range(n % 6 + 1):
            flags = "(\\Seen)" if k % 2 else "()"
            imap.append(quoted, flags, None, message(100000 + n * 10 + k, rng).encode())
    imap.select("INBOX")
    imap.store("1:6000", "+FLAGS.SILENT", "(\\Seen)")
    imap.logout()

    with open(os.path.join(out, "folders.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(["INBOX"] + FOLDER_NAMES) + "\n")
    uids = [str(INBOX_MESSAGES - k * 37) for k in range(50)]
    with open(os.path.join(out, "bench.env"), "w") as f:
        f.write(f"export BENCH_HOST=localhost BENCH_PORT={port} BENCH_USER={user} BENCH_PASS={password}\n"
                f"export BENCH_CAFILE={os.environ['POSTERN_TEST_CA']}\n"
                f"export BENCH_FETCH_UIDS={','.join(uids)}\n"
                f"export BENCH_FOLDERS_FILE={os.path.join(out, 'folders.txt')}\n")
    print(f"imap-populate: {INBOX_MESSAGES} messages in INBOX, {len(FOLDER_NAMES)} folders; env in {out}/bench.env")


if __name__ == "__main__":
    main()
