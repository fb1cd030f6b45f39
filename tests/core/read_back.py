"""Reads a file written by Quarrelby with an independent reader and prints
what it found as JSON, for the tests to compare with the source.

read_back.py vcard FILE...: the content lines of every card, as
python3-vobject splits them (unfolding, groups, parameters), with each
value's escapes resolved; and whatever keeps vobject from reading the whole
file as cards.
read_back.py csv FILE...: whether the file starts with a byte-order mark,
and its records as Python's csv module reads them.
The result is one JSON object, by file name.
"""

import csv
import io
import json
import sys

import vobject
import vobject.base


def unescaped(raw):
    out = []
    i = 0
    while i < len(raw):
        c = raw[i]
        if c == '\\' and i + 1 < len(raw) and raw[i + 1] in '\\,;:nN':
            n = raw[i + 1]
            out.append('\n' if n in 'nN' else n)
            i += 2
            continue
        out.append(c)
        i += 1
    return ''.join(out)


def vcards(text):
    cards = []
    card = None
    for line, number in vobject.base.getLogicalLines(io.StringIO(text), allowQP=False):
        name, params, value, group = vobject.base.parseLine(line, number)
        name = name.upper()
        if name == 'BEGIN':
            card = []
        elif name == 'END':
            cards.append(card)
        else:
            card.append({'group': group or '', 'name': name,
                         'params': {p[0].upper(): p[1:] for p in params},
                         'raw': value, 'value': unescaped(value)})
    try:
        whole = len(list(vobject.readComponents(text, validate=False)))
        error = '' if whole == len(cards) else 'vobject reads %d cards of %d' % (whole, len(cards))
    except Exception as e:  # vobject refuses some values, base64 that is not
        error = repr(e)
    return {'cards': cards, 'error': error}


def read(kind, path):
    with open(path, 'rb') as f:
        data = f.read()
    if kind == 'vcard':
        if b'\n' in data.replace(b'\r\n', b''):
            return {'cards': [], 'error': 'a line ends without CR'}
        return vcards(data.decode('utf-8'))
    bom = data.startswith(b'\xef\xbb\xbf')
    text = data.decode('utf-8-sig')
    return {'bom': bom, 'records': list(csv.reader(io.StringIO(text, newline='')))}


def main():
    kind = sys.argv[1]
    json.dump({path: read(kind, path) for path in sys.argv[2:]}, sys.stdout)


main()
