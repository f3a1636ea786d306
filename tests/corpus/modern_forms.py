"""Today's clothing for corpus messages: UTF-8 text sent as Base64,
quoted-printable or 8-bit, as plain text, HTML only or multipart/alternative,
with Subject and display names as UTF-8 encoded words (B or Q, some folded,
some split inside a character as a few bulk mailers do), emoji and symbols
that have no CP932 form, and full-width letters or half-width katakana where
the sender typed them.

Every choice comes from a hash of the message's name, so a message keeps its
form from one build to the next. build_corpus.py uses these functions for the
UTF-8 twin of every legacy message and for the messages written in UTF-8.
"""
import base64
import hashlib
import quopri
import re
import unicodedata

# The forms and how often the twins take them: 43% HTML only, 21% both.
FORMS = (
    ('base64', 'plain', 14), ('qp', 'plain', 12), ('8bit', 'plain', 10),
    ('base64', 'html', 18), ('qp', 'html', 15), ('8bit', 'html', 10),
    ('base64', 'alt', 11), ('qp', 'alt', 10),
)
TRANSFER_NAME = {'base64': 'base64', 'qp': 'quoted-printable', '8bit': '8bit'}

SPAM_EMOJI = ('⚠️', '🎁', '💰', '📦', '🔔', '✅', '❗', '🔥', '💎', '📩', '🚨', '✨')
HAM_EMOJI = ('✨', '📢', '🌸', '📦', '✅', '🗓️', '☕', '🍁')


def digest(name, salt):
    return hashlib.sha256((name + '/' + salt).encode()).digest()


def pick(name, salt, choices):
    return choices[digest(name, salt)[0] % len(choices)]


def chance(name, salt, percent):
    d = digest(name, salt)
    return (d[0] * 256 + d[1]) % 100 < percent


def form_of(name):
    total = sum(f[2] for f in FORMS)
    d = digest(name, 'form')
    at = (d[0] * 256 + d[1]) % total
    for transfer, structure, weight in FORMS:
        if at < weight:
            return transfer, structure
        at -= weight
    raise AssertionError


# --- what the sender typed -------------------------------------------------

URL_OR_ADDRESS = re.compile(r'(?:https?://|www\.)[^\s<>"\u3000-\u30ff\u4e00-\u9fff\uff00-\uffef]+'
                            r'|[\w.+-]+@[\w-]+(?:\.[\w-]+)+')


def outside_urls(text, change):
    # Applies `change` to the text between addresses and links only: a
    # sender's input method never touches what was pasted.
    out, at = [], 0
    for m in URL_OR_ADDRESS.finditer(text):
        out.append(change(text[at:m.start()]))
        out.append(m.group(0))
        at = m.end()
    out.append(change(text[at:]))
    return ''.join(out)


def to_full_width(text):
    return ''.join(chr(ord(c) + 0xFEE0) if c.isascii() and c.isalnum() else c for c in text)


def _half_katakana_table():
    table = {}
    for code in range(0xFF66, 0xFF9E):
        full = unicodedata.normalize('NFKC', chr(code))
        if len(full) == 1:
            table[full] = chr(code)
    table['ー'] = 'ｰ'
    return table


HALF = _half_katakana_table()


def to_half_katakana(text):
    out = []
    for c in text:
        if c in HALF:
            out.append(HALF[c])
            continue
        parts = unicodedata.normalize('NFD', c)
        if len(parts) == 2 and parts[0] in HALF and parts[1] in '\u3099\u309a':
            out.append(HALF[parts[0]] + ('ﾞ' if parts[1] == '\u3099' else 'ﾟ'))
        else:
            out.append(c)
    return ''.join(out)


def as_mac_sender(text):
    # Mail typed on a Mac or a phone: the wave dash and minus of Unicode's
    # own JIS mapping rather than the Windows forms.
    return text.replace('～', '〜').replace('－', '−')


def sender_habits(name, language, text):
    """The body as this message's sender typed it (labels say nothing of it)."""
    if language == 'ja':
        if chance(name, 'fullwidth', 14):
            text = outside_urls(text, to_full_width)
        if chance(name, 'halfkana', 12):
            text = outside_urls(text, to_half_katakana)
        if chance(name, 'mac', 25):
            text = as_mac_sender(text)
    elif chance(name, 'fullwidth', 6):
        # Shouting in full width letters, as some English spam does with a
        # line or two.
        lines = text.split('\n')
        for i, line in enumerate(lines):
            if line.strip() and not URL_OR_ADDRESS.search(line):
                lines[i] = to_full_width(line)
                break
        text = '\n'.join(lines)
    return text


def decorate_subject(name, spam, subject):
    if chance(name, 'emoji', 35 if spam else 15):
        emoji = pick(name, 'emoji-which', SPAM_EMOJI if spam else HAM_EMOJI)
        return emoji + subject if chance(name, 'emoji-side', 70) else subject + ' ' + emoji
    return subject


def decorate_lines(name, spam, text):
    # An emoji at the start of a few lines, as bulk senders and phones do.
    if not chance(name, 'line-emoji', 25 if spam else 8):
        return text
    lines = text.split('\n')
    marks = SPAM_EMOJI if spam else HAM_EMOJI
    for i, line in enumerate(lines):
        if line.strip() and digest(name, 'le%d' % i)[0] % 4 == 0:
            lines[i] = pick(name, 'lm%d' % i, marks) + line
    return '\n'.join(lines)


# --- header fields -----------------------------------------------------------

Q_SAFE = re.compile(r"[A-Za-z0-9!*+\-/]")


def q_encode(raw):
    return ''.join('_' if b == 0x20 else chr(b) if Q_SAFE.match(chr(b)) else '=%02X' % b
                   for b in raw)


def encoded_words(text, name, salt):
    """`text` as UTF-8 encoded words, each at most 75 characters, folded."""
    method = 'Q' if chance(name, salt + 'q', 30) else 'B'
    label = pick(name, salt + 'cs', ('UTF-8', 'UTF-8', 'UTF-8', 'utf-8'))
    split_bytes = chance(name, salt + 'split', 10)
    raw = text.encode('utf-8')
    pieces = []
    if split_bytes:
        # A bulk mailer that cuts the bytes every 30, whatever character
        # they belong to; decoders join adjacent words before converting.
        pieces = [raw[i:i + 30] for i in range(0, len(raw), 30)]
    else:
        piece = b''
        for c in text:
            b = c.encode('utf-8')
            limit = 45 if method == 'B' else 18
            if piece and len(piece) + len(b) > limit:
                pieces.append(piece)
                piece = b''
            piece += b
        if piece:
            pieces.append(piece)
    words = []
    for piece in pieces:
        body = base64.b64encode(piece).decode() if method == 'B' else q_encode(piece)
        words.append('=?%s?%s?%s?=' % (label, method, body))
    return '\r\n '.join(words)


def encode_value(value, name, salt):
    if value.isascii():
        return value
    # An ASCII start ("Re:", "[list]") stays as written, as mail programs do.
    m = re.match(r'((?:[\x21-\x7e]+ )*)(.*)$', value)
    head, rest = m.group(1), m.group(2)
    if rest.isascii():
        head, rest = '', value
    return head + encoded_words(rest, name, salt)


def encode_address_list(value, name, salt):
    if value.isascii():
        return value
    out = []
    for i, part in enumerate(value.split(',')):
        m = re.match(r'\s*"?([^"<]*?)"?\s*(<[^>]*>)\s*$', part)
        if m and not m.group(1).isascii():
            out.append(encoded_words(m.group(1), name, salt + str(i)) + ' ' + m.group(2))
        else:
            out.append(part.strip())
    return ',\r\n '.join(out)


def header_lines(name, spam, headers, raw_utf8=False, twin=True):
    """The source header lines (name, value) in today's clothing; the
    Subject of a twin may gain an emoji (a message written in UTF-8 has its
    own)."""
    out = []
    for key, value in headers:
        low = key.lower()
        if low in ('content-type', 'content-transfer-encoding', 'mime-version'):
            continue
        if low == 'subject' and twin:
            value = decorate_subject(name, spam, value)
        if raw_utf8 or value.isascii():
            out.append('%s: %s' % (key, value))
        elif low in ('from', 'to', 'cc', 'reply-to'):
            out.append('%s: %s' % (key, encode_address_list(value, name, low)))
        else:
            out.append('%s: %s' % (key, encode_value(value, name, low)))
    return out


# --- bodies ------------------------------------------------------------------

def transfer_encode(text, transfer, name):
    raw = text.replace('\r\n', '\n').encode('utf-8')
    if transfer == 'base64':
        width = pick(name, 'b64width', (76, 76, 76, 72, 64))
        b64 = base64.b64encode(raw.replace(b'\n', b'\r\n')).decode()
        return '\r\n'.join(b64[i:i + width] for i in range(0, len(b64), width)) + '\r\n'
    if transfer == 'qp':
        return quopri.encodestring(raw).decode('ascii').replace('\n', '\r\n')
    return raw.decode('utf-8').replace('\n', '\r\n')


LINK_WORDS = {
    'ja-spam': ('こちら', '今すぐ確認する', 'ログインはこちら', '▶ 手続きへ進む', '詳細を見る'),
    'en-spam': ('Click here', 'Verify now', 'Sign in', 'Claim now', 'View details'),
    'ja-ham': ('こちら', '詳しくはこちら', 'ご注文内容を見る', 'Webで見る'),
    'en-ham': ('here', 'View online', 'Open', 'Details'),
}


def reference(c, name, at):
    # A character written as a character reference, as some HTML editors
    # and filter-dodging senders do.
    return ('&#%d;' if digest(name, 'ref%d' % at)[0] % 2 else '&#x%X;') % ord(c)


def html_escape_line(line, name, group, obfuscate, at):
    out, pos = [], 0
    for m in URL_OR_ADDRESS.finditer(line):
        out.append(escape_text(line[pos:m.start()], name, obfuscate, at + pos))
        url = m.group(0)
        href = url if not url.startswith('www.') else 'http://' + url
        if '@' in url and '://' not in url:
            out.append('<a href="mailto:%s">%s</a>' % (url, url))
        elif line.strip() == url and digest(name, 'link%d' % at)[0] % 3:
            word = pick(name, 'lw%d' % at, LINK_WORDS[group])
            out.append('<a href="%s" style="color:#ffffff;background:#d0021b;padding:10px 24px;'
                       'text-decoration:none;display:inline-block">%s</a>'
                       % (href.replace('&', '&amp;'), escape_text(word, name, False, 0)))
        else:
            out.append('<a href="%s">%s</a>' % (href.replace('&', '&amp;'), url.replace('&', '&amp;')))
        pos = m.end()
    out.append(escape_text(line[pos:], name, obfuscate, at + pos))
    return ''.join(out)


def escape_text(text, name, obfuscate, at):
    out = []
    lead = len(text) - len(text.lstrip(' '))
    out.append('&nbsp;' * lead)
    for i, c in enumerate(text[lead:]):
        if c == '&':
            out.append('&amp;')
        elif c == '<':
            out.append('&lt;')
        elif c == '>':
            out.append('&gt;')
        elif c == '"':
            out.append('&quot;')
        elif c == '\u3000' and i % 2:
            out.append('&#12288;')
        elif obfuscate and ord(c) > 0x3000 and digest(name, 'o%d' % (at + i))[0] % 3 == 0:
            out.append(reference(c, name, at + i))
        else:
            out.append(c)
    return ''.join(out)


def paragraphs_html(text, name, group, style):
    obfuscate = chance(name, 'refs', 20 if group.endswith('spam') else 5)
    blocks = [b for b in re.split(r'\n\s*\n', text.strip('\n'))]
    html = []
    at = 0
    for block in blocks:
        lines = [html_escape_line(line, name, group, obfuscate, at + i * 100)
                 for i, line in enumerate(block.split('\n'))]
        at += 10000
        if style == 'div':
            html.append('<div>' + '<br>\n'.join(lines) + '</div>\n<div><br></div>')
        else:
            html.append('<p style="margin:0 0 16px 0;line-height:1.7">' + '<br>\n'.join(lines) + '</p>')
    return '\n'.join(html)


def display_name(headers):
    for key, value in headers:
        if key.lower() == 'from':
            m = re.match(r'\s*"?([^"<]*?)"?\s*<', value)
            return m.group(1) if m and m.group(1) else ''
    return ''


def html_document(text, name, group, headers, title):
    layout = pick(name, 'layout', ('table', 'table', 'notice', 'webmail'))
    sender = display_name(headers)
    if layout == 'webmail':
        return '<div dir="ltr">\n' + paragraphs_html(text, name, group, 'div') + '\n</div>\n'
    body = paragraphs_html(text, name, group, 'p')
    head = ('<!DOCTYPE html>\n<html lang="%s">\n<head>\n<meta http-equiv="Content-Type" '
            'content="text/html; charset=UTF-8">\n<meta name="viewport" content="width=device-width">\n'
            '<title>%s</title>\n<style type="text/css">\nbody{margin:0;padding:0;background:#f4f4f4}\n'
            '.wrap{width:100%%;max-width:600px}\na{color:#0b57d0}\n</style>\n</head>\n'
            % (group[:2], escape_text(title, name, False, 0)))
    if layout == 'notice':
        bar = escape_text(sender, name, False, 0) if sender else '&nbsp;'
        return (head + '<body>\n<!-- header -->\n<div style="background:#003a70;color:#fff;'
                'padding:12px 20px;font-size:18px;font-weight:bold">%s</div>\n'
                '<div class="wrap" style="padding:20px;font-size:14px;color:#222">\n%s\n</div>\n'
                '<!-- footer -->\n<div style="font-size:11px;color:#888;padding:20px">&copy; 2026 %s'
                ' All rights reserved.</div>\n</body>\n</html>\n' % (bar, body, bar))
    return (head + '<body>\n<!--[if mso]><table><tr><td width="600"><![endif]-->\n'
            '<table class="wrap" width="600" cellpadding="0" cellspacing="0" border="0" '
            'align="center" style="background:#ffffff;font-family:\'Hiragino Sans\',Meiryo,'
            'sans-serif">\n<tr>\n<td style="padding:24px 28px;font-size:14px;color:#333333">\n'
            '%s\n</td>\n</tr>\n<tr><td style="padding:12px 28px;font-size:11px;color:#999999;'
            'border-top:1px solid #eeeeee">%s</td></tr>\n</table>\n'
            '<!--[if mso]></td></tr></table><![endif]-->\n</body>\n</html>\n'
            % (body, escape_text(sender, name, False, 0) or '&nbsp;'))


def boundary_of(name):
    d = hashlib.md5((name + 'boundary').encode()).hexdigest()
    return pick(name, 'bstyle', ('0000000000%s' % d[:18], '----=_Part_%d_%d.%d' % (
        int(d[:4], 16), int(d[4:12], 16), 1700000000000 + int(d[12:16], 16)), '=_%s' % d[:24]))


def body_lines(name, group, headers, text, transfer, structure, html=None):
    """Content lines and body for one message. `text` is the plain text;
    `html`, when given, is the sender's own HTML (else made from the text)."""
    charset = pick(name, 'charset', ('UTF-8', 'UTF-8', 'utf-8', '"UTF-8"', '"utf-8"'))
    subject = next((v for k, v in headers if k.lower() == 'subject'), '')
    if structure != 'plain' and html is None:
        html = html_document(text, name, group, headers, subject)
    if structure in ('plain', 'html'):
        content = text if structure == 'plain' else html
        lines = ['MIME-Version: 1.0',
                 'Content-Type: text/%s; charset=%s' % (structure, charset),
                 'Content-Transfer-Encoding: %s' % TRANSFER_NAME[transfer]]
        return lines, transfer_encode(content, transfer, name)
    boundary = boundary_of(name)
    html_transfer = transfer if chance(name, 'sametransfer', 60) else pick(
        name, 'htmltransfer', ('base64', 'qp'))
    lines = ['MIME-Version: 1.0', 'Content-Type: multipart/alternative;',
             '\tboundary="%s"' % boundary]
    body = ''
    if chance(name, 'preamble', 40):
        body += 'This is a multi-part message in MIME format.\r\n\r\n'
    body += ('--%s\r\nContent-Type: text/plain; charset=%s\r\nContent-Transfer-Encoding: %s\r\n\r\n'
             % (boundary, charset, TRANSFER_NAME[transfer]))
    body += transfer_encode(text, transfer, name)
    body += ('\r\n--%s\r\nContent-Type: text/html; charset=%s\r\nContent-Transfer-Encoding: %s\r\n\r\n'
             % (boundary, charset, TRANSFER_NAME[html_transfer]))
    body += transfer_encode(html, html_transfer, name + 'html')
    body += '\r\n--%s--\r\n' % boundary
    return lines, body


def encoding_label(transfer, structure):
    return 'utf-8/%s/%s' % (transfer, structure)
