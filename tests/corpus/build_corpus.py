#!/usr/bin/env python3
"""Writes the labelled sample corpus from its readable sources.

Each file in src/ holds messages separated by lines
    %% NAME LABEL CATEGORY ENCODING
(LABEL spam or ham, CATEGORY the expected category or -, ENCODING one of
jis, sjis, euc, ascii, jis-base64, sjis-labelled-jis, euc-raw). The header
lines and body below it are UTF-8; this script adds the transport lines a
server would (Return-Path, Received), encodes Japanese header text as
ISO-2022-JP encoded words (raw 8-bit text for euc-raw, as some bulk
senders do), encodes the body, and writes NAME.eml with CR LF line ends
as a POP3 TOP answer holds it, plus labels.tsv.

Run it again after editing a source: python3 build_corpus.py
"""
import base64
import email.utils
import hashlib
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
BODY_CODEC = {
    'jis': 'iso2022_jp', 'sjis': 'cp932', 'euc': 'euc_jp', 'ascii': 'ascii',
    'jis-base64': 'iso2022_jp', 'sjis-labelled-jis': 'cp932', 'euc-raw': 'euc_jp',
}
TRANSFER = {
    'jis': '7bit', 'sjis': '8bit', 'euc': '8bit', 'ascii': '7bit',
    'jis-base64': 'base64', 'sjis-labelled-jis': '7bit', 'euc-raw': '8bit',
}


def encoded_words(text):
    # Short pieces, one encoded word each, folded like a mail program does.
    pieces = [text[i:i + 20] for i in range(0, len(text), 20)]
    words = []
    for piece in pieces:
        raw = piece.encode('iso2022_jp')
        words.append('=?ISO-2022-JP?B?' + base64.b64encode(raw).decode('ascii') + '?=')
    return '\r\n '.join(words)


def encode_header(name, value):
    if all(ord(c) < 128 for c in value):
        return value
    if name.lower() in ('from', 'to', 'cc', 'reply-to'):
        out = []
        for part in value.split(','):
            m = re.match(r'\s*"?([^"<]*?)"?\s*(<[^>]*>)\s*$', part)
            if m and any(ord(c) >= 128 for c in m.group(1)):
                out.append(encoded_words(m.group(1)) + ' ' + m.group(2))
            else:
                out.append(part.strip())
        return ', '.join(out)
    return encoded_words(value)


def address_of(value):
    m = re.search(r'<([^>]+)>', value)
    return m.group(1) if m else value.strip()


def transport_lines(name, headers):
    sender = address_of(headers.get('from', 'unknown@unknown'))
    domain = sender.split('@')[-1] if '@' in sender else 'unknown'
    date = headers.get('date', 'Mon, 1 Jan 2024 00:00:00 +0900')
    digest = hashlib.md5(name.encode()).digest()
    ip = '%d.%d.%d.%d' % (45 + digest[0] % 150, digest[1], digest[2], 1 + digest[3] % 250)
    qid = hashlib.md5((name + 'q').encode()).hexdigest()[:12].upper()
    return [
        'Return-Path: <%s>' % sender,
        'Received: from mx.mail.example.ne.jp (mx.mail.example.ne.jp [203.0.113.25])',
        '\tby pop.mail.example.ne.jp (Postfix) with ESMTP id %s;' % qid,
        '\t%s' % date,
        'Received: from mail.%s (mail.%s [%s])' % (domain, domain, ip),
        '\tby mx.mail.example.ne.jp (Postfix) with ESMTPS id %s' % qid[::-1],
        '\tfor <%s>; %s' % (address_of(headers.get('to', 'user@example.ne.jp')).split(',')[0], date),
    ]


def build(name, encoding, block):
    head, _, body = block.partition('\n\n')
    header_lines = head.split('\n')
    headers = {}
    for line in header_lines:
        if ':' in line and not line[0].isspace():
            key, _, value = line.partition(':')
            headers[key.strip().lower()] = value.strip()
    out = transport_lines(name, headers)
    for line in header_lines:
        key, _, value = line.partition(':')
        if encoding.endswith('-raw'):
            out.append(key + ': ' + value.strip())
        else:
            out.append(key + ': ' + encode_header(key, value.strip()))
    if 'mime-version' not in headers and 'content-type' in headers:
        out.append('MIME-Version: 1.0')
    if 'content-transfer-encoding' not in headers and 'multipart' not in headers.get('content-type', ''):
        out.append('Content-Transfer-Encoding: ' + TRANSFER[encoding])
    body = body.rstrip('\n') + '\n'
    raw_body = body.replace('\n', '\r\n').encode(BODY_CODEC[encoding])
    if encoding == 'jis-base64':
        b64 = base64.b64encode(raw_body).decode('ascii')
        raw_body = ('\r\n'.join(b64[i:i + 76] for i in range(0, len(b64), 76)) + '\r\n').encode('ascii')
    head_codec = BODY_CODEC[encoding] if encoding.endswith('-raw') else 'ascii'
    return ('\r\n'.join(out) + '\r\n\r\n').encode(head_codec) + raw_body


def main():
    labels = ['file\tlabel\tcategory']
    for source in sorted(os.listdir(os.path.join(HERE, 'src'))):
        with open(os.path.join(HERE, 'src', source), encoding='utf-8') as f:
            text = f.read()
        for chunk in re.split(r'^%% ', text, flags=re.M)[1:]:
            first, _, block = chunk.partition('\n')
            name, label, category, encoding = first.split()
            assert label in ('spam', 'ham'), name
            data = build(name, encoding, block.strip('\n'))
            with open(os.path.join(HERE, name + '.eml'), 'wb') as out:
                out.write(data)
            labels.append('%s.eml\t%s\t%s' % (name, label, category))
    with open(os.path.join(HERE, 'labels.tsv'), 'w', encoding='utf-8') as f:
        f.write('\n'.join(labels) + '\n')
    print('%d messages' % (len(labels) - 1))


if __name__ == '__main__':
    sys.exit(main())
