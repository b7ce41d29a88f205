#!/bin/bash
# Acceptance check of the command-line tool against the fixture: `postern-cli
# send` submits a message (non-ASCII subject and name, HTML, two
# attachments) over both submission ports, the message is found in bob's
# Maildir, and `postern-cli parse` must read back every field and every
# attachment byte unchanged; a To with a line break is refused.
#
#   source $POSTERN_FIXTURE_DIR/env; tests/mail/smtp/cli-roundtrip.sh BUILD_DIR
#
# BUILD_DIR may be a Windows build: postern-cli.exe is then run under Wine
# (export WINEPREFIX first). Skips (exit 0) when the fixture is not running,
# fails when the test command started it (POSTERN_FIXTURE_REQUIRED=1).
set -euo pipefail

build=$(cd "${1:?usage: cli-roundtrip.sh BUILD_DIR}" && pwd)
if [[ -z ${POSTERN_FIXTURE_DIR:-} || ! -f $POSTERN_FIXTURE_DIR/env ]]; then
    if [[ ${POSTERN_FIXTURE_REQUIRED:-} == 1 ]]; then
        echo "cli-roundtrip: FAILED, the test command started the fixture but its settings are missing"
        exit 1
    fi
    echo "cli-roundtrip: SKIPPED, fixture not running (scripts/fixture start; source its env)"
    exit 0
fi
if [[ -x $build/postern-cli ]]; then
    cli=("$build/postern-cli")
elif [[ -f $build/postern-cli.exe ]]; then
    cli=(wine "$build/postern-cli.exe")
else
    echo "cli-roundtrip: no postern-cli in $build" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c 2000000 /dev/urandom >"daten-ä.bin"
printf 'first line\r\n.second line with a leading dot\r\nno final line end' >notes.txt
printf '<p>Gr\xc3\xbc\xc3\x9fe <b>Bob</b></p>\n' >body.html

maildir=$POSTERN_FIXTURE_DIR/mail/bob/Maildir
status=0
for mode in implicit:$POSTERN_SMTPS_PORT starttls:$POSTERN_SUBMISSION_PORT; do
    tls=${mode%%:*}
    port=${mode##*:}
    subject="Grüße über die Kommandozeile ✓ $tls $RANDOM"
    out=$(echo "$POSTERN_PASS1" | "${cli[@]}" send --host localhost --port "$port" --tls "$tls" \
        --ca "$POSTERN_TEST_CA" --user "$POSTERN_USER1" --from "$POSTERN_EMAIL1" \
        --display-name "Zoë Ålice" --to "Bob <$POSTERN_EMAIL2>" --subject "$subject" \
        --text $'Hallo Bob,\n.zweite Zeile\nGrüße' --html-file body.html \
        --attach "daten-ä.bin" notes.txt)
    echo "$tls: $out"
    id=$(sed -n 's/^sent \(<[^>]*>\).*/\1/p' <<<"$out")
    file=
    for _ in $(seq 1 300); do
        file=$(grep -rlF "Message-ID: $id" "$maildir/new" "$maildir/cur" 2>/dev/null | head -n 1 || true)
        [[ -n $file ]] && break
        sleep 0.1
    done
    if [[ -z $file ]]; then
        echo "$tls: FAILED, $id not delivered" >&2
        status=1
        continue
    fi
    cp "$file" delivered.eml
    "${cli[@]}" parse delivered.eml >parsed.json
    if ! /usr/bin/python3 - "$subject" "$id" <<'PY'
import hashlib, json, sys
subject, message_id = sys.argv[1], sys.argv[2]
got = json.load(open('parsed.json', encoding='utf-8'))
def sha(path):
    return hashlib.sha256(open(path, 'rb').read()).hexdigest()
def size(path):
    return len(open(path, 'rb').read())
want = {
    'from': 'Zoë Ålice <alice@example.test>',
    'subject': subject,
    'message_id': message_id,
    'text': 'Hallo Bob,\r\n.zweite Zeile\r\nGrüße',
    'html': '<p>Grüße <b>Bob</b></p>\r\n',
}
# Dovecot keeps Maildir files with LF line ends (IMAP hands them out with
# CR LF); Base64 attachments are unaffected, text is compared line by line.
def lines(text):
    return text.replace('\r\n', '\n').rstrip('\n')
bad = [f'{k}: got {got.get(k)!r}, want {v!r}' for k, v in want.items() if lines(got.get(k, '')) != lines(v)]
parts = [(p['content_type'], p['filename'], p['size'], p['sha256']) for p in got['parts']]
want_parts = [('application/octet-stream', 'daten-ä.bin', 2000000, sha('daten-ä.bin')),
              ('text/plain', 'notes.txt', size('notes.txt'), sha('notes.txt'))]
if parts != want_parts:
    bad.append(f'parts: got {parts}, want {want_parts}')
for b in bad:
    print('  MISMATCH', b)
sys.exit(1 if bad else 0)
PY
    then
        echo "$tls: FAILED, parsed message differs" >&2
        status=1
    else
        echo "$tls: delivered and read back identically"
    fi
done
# A line break in To would send to another address than the To line shows:
# refused with a clear error before anything is built or sent.
refused=$(echo "$POSTERN_PASS1" | "${cli[@]}" send --host localhost --port "$POSTERN_SMTPS_PORT" --tls implicit \
    --ca "$POSTERN_TEST_CA" --user "$POSTERN_USER1" --from "$POSTERN_EMAIL1" \
    --to $'Bob <'"$POSTERN_EMAIL2"$'>\r\n<'"$POSTERN_EMAIL1"'>' --subject refused --text x 2>&1) && refused_status=0 || refused_status=$?
if ((refused_status == 0)) || [[ $refused != *"A line break is not allowed in To."* ]]; then
    echo "refused: FAILED, status $refused_status: $refused" >&2
    status=1
else
    echo "refused: a To with a line break is not sent"
fi
exit $status
