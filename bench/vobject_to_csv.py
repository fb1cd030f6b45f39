#!/usr/bin/python3
"""The route a user would script without Quarrelby: python3-vobject parses
every card of an address book and csv.writer writes the 33 contact fields.

    /usr/bin/python3 bench/vobject_to_csv.py BOOK.vcf OUT.csv

Prints the number of cards written and the seconds taken.
"""
import csv
import logging
import sys
import time

import vobject

HEADERS = [
    "Full Name", "Birthday", "Job Title", "Company", "File As", "E-mail 1", "E-mail 2", "E-mail 3",
    "Web Page", "IM Address", "TTY/TDD", "Assistant", "Business", "Business 2", "Business Fax",
    "Callback", "Car", "Company Main", "Home", "Home 2", "Home Fax", "ISDN", "Mobile", "Other",
    "Other Fax", "Pager", "Primary", "Radio", "Telex", "Business Address", "Home Address",
    "Other Address", "Notes",
]

# Telephone fields by the first type that names them, in column order.
PHONES = [
    ("tty/tdd", {"textphone", "ttytdd"}), ("assistant", {"assistant"}), ("business", {"work"}),
    ("business 2", set()), ("business fax", set()), ("callback", {"callback"}), ("car", {"car"}),
    ("company main", {"company"}), ("home", {"home"}), ("home 2", set()), ("home fax", set()),
    ("isdn", {"isdn"}), ("mobile", {"cell"}), ("other", set()), ("other fax", {"fax"}),
    ("pager", {"pager"}), ("primary", {"pref"}), ("radio", {"radio"}), ("telex", {"telex", "tlx"}),
]


def types(line):
    found = set()
    for value in line.params.get("TYPE", []):
        found.update(t.strip().lower() for t in value.split(","))
    for name in line.singletonparams:
        found.add(name.lower())
    return found


def phones(card):
    cells = {name: "" for name, _ in PHONES}
    for line in card.contents.get("tel", []):
        kinds = types(line)
        if "fax" in kinds:
            slot = "business fax" if "work" in kinds else "home fax" if "home" in kinds else "other fax"
        elif "work" in kinds:
            slot = "business" if not cells["business"] else "business 2"
        elif "home" in kinds:
            slot = "home" if not cells["home"] else "home 2"
        else:
            slot = next((name for name, names in PHONES if kinds & names), "other")
        if not cells[slot]:
            cells[slot] = line.value
    return [cells[name] for name, _ in PHONES]


def address(card, kind):
    for line in card.contents.get("adr", []):
        if kind in types(line) or (kind == "work" and not types(line)):
            a = line.value
            city = ", ".join(p for p in (a.city, a.region) if p)
            if a.code:
                city = city + "  " + a.code if city else a.code
            return "\r\n".join(p for p in (a.extended, a.street, city, a.country) if p)
    return ""


def row(card):
    def first(name):
        lines = card.contents.get(name, [])
        return str(lines[0].value) if lines else ""

    n = card.contents.get("n", [None])[0]
    file_as = ", ".join(p for p in (n.value.family, n.value.given) if p) if n else ""
    org = card.contents.get("org", [None])[0]
    emails = [line.value for line in card.contents.get("email", [])][:3]
    emails += [""] * (3 - len(emails))
    im = first("x-ms-imaddress") or first("impp")
    assistant = first("x-ms-assistant") or first("x-evolution-assistant")
    notes = "\r\n".join(line.value for line in card.contents.get("note", []))
    phone = phones(card)
    return ([first("fn"), first("bday"), first("title"), org.value[0] if org and org.value else "",
             file_as] + emails + [first("url"), im, phone[0], assistant + " - " + phone[1]]
            + phone[2:] + [address(card, "work"), address(card, "home"), address(card, "other"), notes])


def main():
    # A card's unreadable line is skipped; one log line each would dominate the time.
    for name in ("vobject", "vobject.base", "vobject.vcard"):
        logging.getLogger(name).setLevel(logging.CRITICAL)
    start = time.perf_counter()
    count = 0
    with open(sys.argv[1], encoding="utf-8", errors="replace", newline="") as book, \
            open(sys.argv[2], "w", encoding="utf-8", newline="") as out:
        writer = csv.writer(out)
        writer.writerow(HEADERS)
        for card in vobject.readComponents(book, ignoreUnreadable=True):
            writer.writerow(row(card))
            count += 1
    print(f"{count} cards in {time.perf_counter() - start:.2f} s")


if __name__ == "__main__":
    main()
