#!/usr/bin/env python3
"""Writes the labelled sample corpus from its readable sources.

Each file in src/ holds messages separated by lines
    %% NAME LABEL KIND ENCODING
(LABEL spam or ham; KIND one of the kinds in KINDS below; ENCODING one of
jis, sjis, euc, ascii, latin1, jis-base64, sjis-labelled-jis, euc-raw for
the legacy half, or utf8 or utf8/TRANSFER/STRUCTURE for a message written
in UTF-8, named u-*: TRANSFER base64, qp or 8bit, STRUCTURE plain, html or
alt). A body that starts with '<' is the sender's own HTML; a line
"=== html ===" separates the text part and the HTML part of an alt message.
The header lines and body below it are UTF-8; this script adds the
transport lines a server would (Return-Path, Received), encodes non-ASCII
header text as encoded words (ISO-2022-JP, or ISO-8859-1 for latin1; raw
8-bit text for euc-raw, as some bulk senders do), encodes the body, and
writes NAME.eml with CR LF line ends as a POP3 TOP answer holds it, plus
labels.tsv: file, label, kind, the category the delivered data should give
(or -), the set (train or check), encoding and language.

Every legacy message also gets a UTF-8 twin, utf8/NAME.eml: the same words
as today's senders send them (modern_forms.py; the form follows from the
name), and each message written in UTF-8 is written there too. The encoding
column of the UTF-8 half reads utf-8/TRANSFER/STRUCTURE (and /raw-header
when the sender put raw UTF-8 in the header).

The set is fixed by the message's name alone (a hash), so adding messages
never moves one from one set to the other; a twin has its source's name, so
its set. The check set is never used to choose a word or a weight.

Run it again after editing a source: python3 build_corpus.py
"""
import base64
import email.utils
import hashlib
import os
import re
import sys

import modern_forms as modern

HERE = os.path.dirname(os.path.abspath(__file__))
BODY_CODEC = {
    'jis': 'iso2022_jp', 'sjis': 'cp932', 'euc': 'euc_jp', 'ascii': 'ascii',
    'jis-base64': 'iso2022_jp', 'sjis-labelled-jis': 'cp932', 'euc-raw': 'euc_jp',
    'latin1': 'iso-8859-1',
}
TRANSFER = {
    'jis': '7bit', 'sjis': '8bit', 'euc': '8bit', 'ascii': '7bit',
    'jis-base64': 'base64', 'sjis-labelled-jis': '7bit', 'euc-raw': '8bit',
    'latin1': '8bit',
}

# Kinds of mail and the category the delivered data should give them.
KINDS = {
    'ja-phish-bank': 'フィッシング詐欺メール',
    'ja-phish-card': 'フィッシング詐欺メール',
    'ja-phish-shop': 'フィッシング詐欺メール',
    'ja-phish-telecom': 'フィッシング詐欺メール',
    'ja-phish-transport': 'フィッシング詐欺メール',
    'ja-phish-gov': 'フィッシング詐欺メール',
    'ja-delivery': '不在通知詐欺メール',
    'ja-prize': '当選詐欺メール',
    'ja-adult': 'アダルト広告メール',
    'ja-dating': '出会い系メール',
    'ja-invest': '投資勧誘メール',
    'ja-loan': '融資・借金勧誘メール',
    'ja-sidejob': '副業勧誘メール',
    'ja-brand': '偽ブランド品広告',
    'ja-health': '医薬品・健康食品広告',
    'en-phish': '英文フィッシングメール',
    'en-delivery': '英文フィッシングメール',
    'en-advance': '英文詐欺メール',
    'en-lottery': '英文詐欺メール',
    'en-sextortion': '英文詐欺メール',
    'en-pharm': '英文医薬品広告',
    'en-adult': '英文アダルト・出会い系メール',
    'en-crypto': '英文金融・カジノ勧誘メール',
    'en-loan': '英文金融・カジノ勧誘メール',
    'en-casino': '英文金融・カジノ勧誘メール',
}
HAM_KINDS = ('receipt', 'shipping', 'bank', 'security', 'newsletter', 'list', 'school', 'work',
             'personal')
for _kind in HAM_KINDS:
    KINDS['ja-ham-' + _kind] = '-'
    KINDS['en-ham-' + _kind] = '-'

# The UTF-8 half: a twin of every legacy message and the messages written
# in UTF-8 (u-*), in their own folder.
MODERN_FOLDER = 'utf8'

# About 38% of the messages, chosen by the hash of their names.
CHECK_PERCENT = 38


def set_of(name):
    return 'check' if int(hashlib.sha256(name.encode()).hexdigest(), 16) % 100 < CHECK_PERCENT else 'train'


def encoded_words(text, charset='ISO-2022-JP'):
    # Short pieces, one encoded word each, folded like a mail program does.
    codec = 'iso2022_jp' if charset == 'ISO-2022-JP' else charset.lower()
    pieces = [text[i:i + 20] for i in range(0, len(text), 20)]
    words = []
    for piece in pieces:
        raw = piece.encode(codec)
        words.append('=?%s?B?' % charset + base64.b64encode(raw).decode('ascii') + '?=')
    return '\r\n '.join(words)


def encode_header(name, value, charset='ISO-2022-JP'):
    if all(ord(c) < 128 for c in value):
        return value
    if name.lower() in ('from', 'to', 'cc', 'reply-to'):
        out = []
        for part in value.split(','):
            m = re.match(r'\s*"?([^"<]*?)"?\s*(<[^>]*>)\s*$', part)
            if m and any(ord(c) >= 128 for c in m.group(1)):
                out.append(encoded_words(m.group(1), charset) + ' ' + m.group(2))
            else:
                out.append(part.strip())
        return ', '.join(out)
    return encoded_words(value, charset)


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
    ] + relay_lines(name, domain, date)


def relay_lines(name, domain, date):
    # Real mail carries 1 to 5 KB of header before the text (relays, checks,
    # signatures); the thresholds grow with the whole text's length, so the
    # corpus carries headers of that size too, their amount fixed by the name.
    digest = hashlib.sha256((name + 'relay').encode()).digest()
    lines = [
        'Authentication-Results: mx.mail.example.ne.jp;',
        '	spf=%s smtp.mailfrom=%s;' % ('pass' if digest[0] % 3 else 'softfail', domain),
        '	dkim=%s header.d=%s' % ('pass' if digest[1] % 3 else 'none', domain),
    ]
    for hop in range(digest[2] % 5):
        host = 'relay%d.%s' % (hop + 1, domain)
        lines += [
            'Received: from %s (%s [198.51.100.%d])' % (host, host, 1 + digest[3 + hop] % 250),
            '	by %s with ESMTP id %s;' % ('out.' + domain,
                                        hashlib.md5((name + str(hop)).encode()).hexdigest()[:16]),
            '	%s' % date,
        ]
    if digest[8] % 4:
        signature = base64.b64encode(hashlib.sha512((name + 'sig').encode()).digest() * 3).decode()
        body_hash = base64.b64encode(hashlib.sha256((name + 'bh').encode()).digest()).decode()
        lines += ['DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=%s; s=mail;' % domain,
                  '	t=%d; bh=%s;' % (1700000000 + digest[9] * 100000, body_hash),
                  '	h=From:To:Subject:Date:Message-ID:Content-Type;']
        lines += ['	b=' + signature[:70]] + ['	 ' + signature[i:i + 70]
                                               for i in range(70, len(signature), 70)]
    if digest[10] % 2:
        lines.append('X-Mailer: %s' % ('Mail Client 4.%d' % (digest[11] % 9)))
    return lines


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
            charset = 'ISO-8859-1' if encoding == 'latin1' else 'ISO-2022-JP'
            out.append(key + ': ' + encode_header(key, value.strip(), charset))
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


def parse_headers(head):
    headers = []
    for line in head.split('\n'):
        if line[:1].isspace() and headers:
            headers[-1] = (headers[-1][0], headers[-1][1] + ' ' + line.strip())
        elif ':' in line:
            key, _, value = line.partition(':')
            headers.append((key.strip(), value.strip()))
    return headers


def build_modern(name, label, kind, encoding, block):
    """The message in UTF-8 as today's senders write it; returns the bytes
    and the encoding column. `encoding` is the source's: a legacy one (the
    twin of a legacy message, its form chosen by the hash of its name),
    utf8 (written in UTF-8, form by the hash) or utf8/TRANSFER/STRUCTURE."""
    head, _, body = block.partition('\n\n')
    headers = parse_headers(head)
    spam = label == 'spam'
    group = kind[:2] + ('-spam' if spam else '-ham')
    content_type = next((v for k, v in headers if k.lower() == 'content-type'), 'text/plain').lower()
    body = body.rstrip('\n') + '\n'
    html = None
    if encoding.startswith('utf8/'):
        _, transfer, structure = encoding.split('/')
    else:
        transfer, structure = modern.form_of(name)
    if 'multipart' in content_type:
        # Written with its parts already: the parts' charsets become UTF-8
        # and the bytes go as they are.
        body = re.sub(r'charset="?[\w-]+"?', 'charset=UTF-8', body)
        out = transport_lines(name, dict((k.lower(), v) for k, v in headers))
        out += modern.header_lines(name, spam, headers)
        out += ['MIME-Version: 1.0', 'Content-Type: ' + next(
            v for k, v in headers if k.lower() == 'content-type'), 'Content-Transfer-Encoding: 8bit']
        return ('\r\n'.join(out) + '\r\n\r\n' + body.replace('\n', '\r\n')).encode(), 'utf-8/8bit/alt'
    if '\n=== html ===\n' in body:
        # The sender's own text part and HTML part, as written.
        text, _, html = body.partition('\n=== html ===\n')
        text += '\n'
    elif 'html' in content_type or body.lstrip().startswith('<'):
        html, text = body, body
        if structure == 'plain':
            structure = 'html'
    else:
        text = body
    if not encoding.startswith('utf8'):
        text = modern.sender_habits(name, kind[:2], text)
        text = modern.decorate_lines(name, spam, text)
    raw_header = chance_raw_header(name)
    out = transport_lines(name, dict((k.lower(), v) for k, v in headers))
    out += modern.header_lines(name, spam, headers, raw_header, twin=not encoding.startswith('utf8'))
    content, payload = modern.body_lines(name, group, headers, text, transfer, structure, html)
    out += content
    return ('\r\n'.join(out) + '\r\n\r\n' + payload).encode('utf-8'), \
        modern.encoding_label(transfer, structure) + ('/raw-header' if raw_header else '')


def chance_raw_header(name):
    # A few senders put raw UTF-8 in the header instead of encoded words.
    return modern.chance(name, 'rawheader', 4)


def read_sources(only):
    sources = [os.path.abspath(only)] if only else [
        os.path.join(HERE, 'src', name) for name in sorted(os.listdir(os.path.join(HERE, 'src')))]
    messages = []
    for path in sources:
        source = os.path.basename(path)
        with open(path, encoding='utf-8') as f:
            text = f.read()
        for chunk in re.split(r'^%% ', text, flags=re.M)[1:]:
            first, _, block = chunk.partition('\n')
            name, label, kind, encoding = first.split()
            messages.append((source, name, label, kind, encoding, block.strip('\n')))
    return messages


def main():
    # --check SOURCE: validates one source file and writes nothing.
    only = sys.argv[2] if len(sys.argv) == 3 and sys.argv[1] == '--check' else None
    labels = ['file\tlabel\tkind\tcategory\tset\tencoding\tlanguage']
    modern_labels = []
    names = set()
    written = []
    for source, name, label, kind, encoding, block in read_sources(only):
        where = '%s: %s' % (source, name)
        assert name not in names, where + ': name used twice'
        names.add(name)
        assert label in ('spam', 'ham'), where + ': label'
        assert kind in KINDS, where + ': unknown kind ' + kind
        assert (label == 'ham') == ('-ham-' in kind), where + ': label and kind disagree'
        utf8 = encoding == 'utf8' or encoding.startswith('utf8/')
        assert utf8 or encoding in BODY_CODEC, where + ': unknown encoding ' + encoding
        if utf8:
            assert name.startswith('u-'), where + ': messages written in UTF-8 are named u-...'
            if '/' in encoding:
                _, transfer, structure = encoding.split('/')
                assert transfer in modern.TRANSFER_NAME and structure in ('plain', 'html', 'alt'), \
                    where + ': form ' + encoding
        try:
            data = None if utf8 else build(name, encoding, block)
            twin, twin_encoding = build_modern(name, label, kind, encoding, block)
        except UnicodeEncodeError as e:
            sys.exit('%s: cannot be written in %s: %r' % (where, encoding, e.object[e.start:e.end]))
        if only:
            labels.append(name)
            continue
        row = (label, kind, KINDS[kind], set_of(name))
        if data is not None:
            written.append((name + '.eml', data))
            labels.append('\t'.join((name + '.eml',) + row + (encoding, kind[:2])))
        # The UTF-8 twin of a legacy message has the name, so the set, of its
        # source: no text is in both sets.
        written.append((MODERN_FOLDER + '/' + name + '.eml', twin))
        modern_labels.append('\t'.join((MODERN_FOLDER + '/' + name + '.eml',) + row +
                                        (twin_encoding, kind[:2])))
    if only:
        print('%d messages, all well formed' % len(labels[1:]))
        return 0
    os.makedirs(os.path.join(HERE, MODERN_FOLDER), exist_ok=True)
    for file, data in written:
        with open(os.path.join(HERE, file), 'wb') as out:
            out.write(data)
    with open(os.path.join(HERE, 'labels.tsv'), 'w', encoding='utf-8') as f:
        f.write('\n'.join(labels + modern_labels) + '\n')
    print('%d messages (%d in UTF-8)' % (len(labels) - 1 + len(modern_labels), len(modern_labels)))


if __name__ == '__main__':
    sys.exit(main())
