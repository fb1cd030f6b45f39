"""Imports vCard files written by Quarrelby into a real Evolution Data
Server book and prints what the book then holds, as JSON, for the tests to
compare with the source.

eds_import.py FILE...: each card of each file is parsed by EDS's own vCard
parser (EContact), added to the built-in address book through the daemon
(EBookClient) and read back from it; a file's contacts are removed again
before the next file, whose cards may share their UIDs. Run it on a session
bus of its own, in a HOME of its own (dbus-run-session, an empty HOME):
the daemon is started by D-Bus activation and keeps its book there.
The result, by file name: {"cards": [{"attributes": [{"group", "name",
"values", "params"}...]} or {"error": text}...]}, in file order.
"""

import json
import os
import re
import sys

SERVICE = '/usr/share/dbus-1/services/org.gnome.evolution.dataserver.AddressBook10.service'
try:
    import gi
    gi.require_version('EDataServer', '1.2')
    gi.require_version('EBook', '1.2')
    gi.require_version('EBookContacts', '1.2')
    from gi.repository import EBook, EBookContacts, EDataServer
except (ImportError, ValueError) as e:
    print('python3-gi with gir1.2-ebook-1.2 is not installed (%s)' % e, file=sys.stderr)
    sys.exit(3)
if not os.path.exists(SERVICE):
    print('evolution-data-server is not installed', file=sys.stderr)
    sys.exit(3)

CARD = re.compile(r'^BEGIN:VCARD\r\n.*?^END:VCARD\r\n', re.M | re.S | re.I)


def attributes(contact):
    out = []
    for a in EBookContacts.VCard.get_attributes(contact):
        params = {}
        for p in a.get_params():
            params.setdefault(p.get_name().upper(), []).extend(p.get_values())
        out.append({'group': a.get_group() or '', 'name': a.get_name().upper(),
                    'values': list(a.get_values()), 'params': params})
    return out


def import_file(client, path):
    with open(path, encoding='utf-8', newline='') as f:
        text = f.read()
    cards = []
    uids = []
    for card in CARD.findall(text):
        try:
            contact = EBookContacts.Contact.new_from_vcard(card)
            ok, uid = client.add_contact_sync(contact, EBookContacts.BookOperationFlags.NONE, None)
            ok, stored = client.get_contact_sync(uid, None)
            uids.append(uid)
            cards.append({'attributes': attributes(stored)})
        except Exception as e:  # the daemon refused the card: say why
            cards.append({'error': str(e)})
    if uids:
        client.remove_contacts_sync(uids, EBookContacts.BookOperationFlags.NONE, None)
    return {'cards': cards}


def main():
    registry = EDataServer.SourceRegistry.new_sync(None)
    source = registry.ref_builtin_address_book()
    # A local book is there at once; waiting for it to say it is online
    # would only wait out the timeout.
    client = EBook.BookClient.connect_sync(source, 1, None)
    json.dump({path: import_file(client, path) for path in sys.argv[1:]}, sys.stdout)


main()
