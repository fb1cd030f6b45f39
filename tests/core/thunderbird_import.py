"""Imports vCard files written by Quarrelby with a real Thunderbird and
prints what its address book then holds, as JSON, for the tests to compare
with the source.

thunderbird_import.py vcard|csv FILE...: starts Thunderbird headless in a
profile of its own, with its remote control (Marionette) on a port of the
loopback interface, and has it import each file into a new address book as
its Import wizard does (AddrBookFileImporter: Thunderbird's own vCard
parser, or its CSV reader); then reads each card back from the book, in
file order. The result, by file name, {"cards": [...]} or {"error": text}:
for vCard each card's {"attributes": [{"group", "name", "values",
"params"}...]}; for CSV each card's {"kept": {header: value}}, what
Thunderbird holds of each mapped column, and "recognised", the header
fields Thunderbird maps by itself. Thunderbird
maps only the headers of its own export; the others are mapped here as a
user would map them in the wizard, by their meaning (HEADERS). Exit status
3, with the reason on standard error, when Thunderbird is not installed.
"""

import ctypes
import json
import os
import signal
from csv import reader
import shutil
import socket
import subprocess
import sys
import tempfile
import time

THUNDERBIRD = '/usr/lib/thunderbird/thunderbird'

# What a user maps each column of Outlook's and Google's CSV to in
# Thunderbird's import wizard: its names, e-mail addresses and telephones.
HEADERS = {
    'First Name': 'FirstName', 'Last Name': 'LastName', 'Nickname': 'NickName',
    'E-mail Address': 'PrimaryEmail', 'E-mail 2 Address': 'SecondEmail',
    'E-mail 1 - Value': 'PrimaryEmail', 'E-mail 2 - Value': 'SecondEmail',
    'Business Phone': 'WorkPhone', 'Home Phone': 'HomePhone', 'Business Fax': 'FaxNumber',
    'Pager': 'PagerNumber', 'Mobile Phone': 'CellularNumber',
}
# Thunderbird keeps the telephones in the card's vCard, where getProperty()
# does not look: each by the type its importer gives it.
PHONE_TYPES = {'WorkPhone': 'work', 'HomePhone': 'home', 'FaxNumber': 'fax', 'PagerNumber': 'pager',
               'CellularNumber': 'cell'}

IMPORT_CSV = '''
const [path, headers, done] = arguments;
const { MailServices } = ChromeUtils.importESModule("resource:///modules/MailServices.sys.mjs");
const { AddrBookFileImporter } = ChromeUtils.importESModule("resource:///modules/AddrBookFileImporter.sys.mjs");
const { exportAttributes } = ChromeUtils.importESModule("resource:///modules/AddrBookUtils.sys.mjs");
(async () => {
  const id = MailServices.ab.newAddressBook("import", "", Ci.nsIAbManager.JS_DIRECTORY_TYPE);
  const book = MailServices.ab.getDirectoryFromId(id);
  const file = Cc["@mozilla.org/file/local;1"].createInstance(Ci.nsIFile);
  file.initWithPath(path);
  const importer = new AddrBookFileImporter("csv");
  const rows = await importer.parseCsvFile(file);
  const recognised = rows.length ? [] : importer._csvRows[0];
  if (rows.length) {
    importer.setCsvFields(rows[0].map(h => importer._supportedCsvProperties.indexOf(headers[h] || "")));
  }
  await importer.startImport(file, book);
  const cards = book.childCards.map(card => {
    const kept = Object.fromEntries(
      exportAttributes.map(([name]) => [name, card.getProperty(name, "")]).filter(([, v]) => v !== ""));
    for (const e of card.vCardProperties.getAllEntries("tel")) {
      const type = [e.params.type || []].flat()[0];
      kept["tel:" + type] = kept["tel:" + type] || e.value;
    }
    return kept;
  });
  await MailServices.ab.deleteAddressBook(book.URI);
  return { cards, recognised };
})().then(done, e => done({ error: String(e) }));
'''

IMPORT = '''
const [path, done] = [arguments[0], arguments[arguments.length - 1]];
const { MailServices } = ChromeUtils.importESModule("resource:///modules/MailServices.sys.mjs");
const { AddrBookFileImporter } = ChromeUtils.importESModule("resource:///modules/AddrBookFileImporter.sys.mjs");
(async () => {
  const id = MailServices.ab.newAddressBook("import", "", Ci.nsIAbManager.JS_DIRECTORY_TYPE);
  const book = MailServices.ab.getDirectoryFromId(id);
  const file = Cc["@mozilla.org/file/local;1"].createInstance(Ci.nsIFile);
  file.initWithPath(path);
  await new AddrBookFileImporter("vcard").startImport(file, book);
  const cards = book.childCards.map(card => ({
    attributes: card.vCardProperties.entries.map(e => ({
      group: e.params.group || "",
      name: e.name.toUpperCase(),
      values: (Array.isArray(e.value) ? e.value : [e.value]).map(v => Array.isArray(v) ? v.join(",") : String(v)),
      params: Object.fromEntries(Object.entries(e.params).filter(([k]) => k != "group")
        .map(([k, v]) => [k.toUpperCase(), Array.isArray(v) ? v.map(String) : [String(v)]])),
    })),
  }));
  await MailServices.ab.deleteAddressBook(book.URI);
  return { cards };
})().then(done, e => done({ error: String(e) }));
'''


def end_with_this_process():
    """In Thunderbird before it starts: it ends when this script ends, also
    when the test that started the script kills it."""
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


class Marionette:
    """The few calls of Marionette's protocol this needs: messages are
    "length:JSON", a command [0, id, name, parameters], its answer
    [1, id, error, result]."""

    def __init__(self, port):
        self.socket = socket.create_connection(('127.0.0.1', port), timeout=120)
        self.id = 0
        self.receive()  # the server's greeting

    def receive(self):
        size = b''
        while not size.endswith(b':'):
            byte = self.socket.recv(1)
            if not byte:
                raise EOFError('Thunderbird closed its remote control')
            size += byte
        data = b''
        while len(data) < int(size[:-1]):
            data += self.socket.recv(int(size[:-1]) - len(data))
        return json.loads(data)

    def call(self, name, parameters):
        self.id += 1
        message = json.dumps([0, self.id, name, parameters]).encode()
        self.socket.sendall(str(len(message)).encode() + b':' + message)
        answer = self.receive()
        if answer[2]:
            raise RuntimeError(answer[2].get('message', answer[2]))
        return answer[3]


def main():
    if not os.access(THUNDERBIRD, os.X_OK):
        print('thunderbird is not installed', file=sys.stderr)
        sys.exit(3)
    home = tempfile.mkdtemp()
    profile = os.path.join(home, 'profile')
    os.mkdir(profile)
    with open(os.path.join(profile, 'user.js'), 'w') as f:
        # Port 0: Thunderbird picks one and writes it into the profile.
        f.write('user_pref("marionette.port", 0);\n')
    thunderbird = subprocess.Popen(
        [THUNDERBIRD, '--headless', '--marionette', '--remote-allow-system-access', '--no-remote',
         '--profile', profile],
        env=dict(os.environ, HOME=home, MOZ_CRASHREPORTER_DISABLE='1'),
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=end_with_this_process)
    try:
        port_file = os.path.join(profile, 'MarionetteActivePort')
        for _ in range(600):
            if os.path.exists(port_file) and open(port_file).read().strip():
                break
            if thunderbird.poll() is not None:
                raise RuntimeError('Thunderbird ended with status %d' % thunderbird.returncode)
            time.sleep(0.1)
        marionette = Marionette(int(open(port_file).read()))
        marionette.call('WebDriver:NewSession', {'capabilities': {}})
        marionette.call('Marionette:SetContext', {'value': 'chrome'})
        # The address books load after the remote control answers: an import
        # made before then keeps nothing. Wait until one of one card keeps it.
        with open(os.path.join(home, 'probe.vcf'), 'w', newline='') as f:
            f.write('BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Probe\r\nEND:VCARD\r\n')
        for _ in range(60):
            probe = marionette.call('WebDriver:ExecuteAsyncScript', {
                'script': IMPORT, 'args': [os.path.join(home, 'probe.vcf')], 'scriptTimeout': 120000})
            if len(probe.get('value', probe).get('cards', [])) == 1:
                break
            time.sleep(0.5)
        result = {}
        csv = sys.argv[1] == 'csv'
        for path in sys.argv[2:]:
            arguments = [os.path.abspath(path)] + ([HEADERS] if csv else [])
            answer = marionette.call('WebDriver:ExecuteAsyncScript', {
                'script': IMPORT_CSV if csv else IMPORT, 'args': arguments, 'scriptTimeout': 120000})
            answer = answer['value'] if isinstance(answer, dict) and 'value' in answer else answer
            if csv and 'cards' in answer:
                with open(path, encoding='utf-8-sig', newline='') as f:
                    header = next(reader(f), [])
                answer['cards'] = [{'kept': {h: card.get('tel:' + PHONE_TYPES.get(HEADERS[h], ''), card.get(HEADERS[h], ''))
                                             for h in header if h in HEADERS}}
                                   for card in answer['cards']]
            result[path] = answer
        json.dump(result, sys.stdout)
        marionette.call('Marionette:Quit', {})
    finally:
        try:
            thunderbird.wait(30)
        except subprocess.TimeoutExpired:
            thunderbird.kill()
            thunderbird.wait()
        shutil.rmtree(home, ignore_errors=True)


main()
