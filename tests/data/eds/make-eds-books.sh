#!/usr/bin/env bash
# Writes contacts.db (a local Evolution book) and cache.db (an online
# account's cache) beside this script with Evolution Data Server's own
# library, so that the tests read books exactly as EDS lays them out.
# Run once by hand; the build and the tests only use the committed output.
#   apt-get install --no-install-recommends libedata-book1.2-dev
#   tests/data/eds/make-eds-books.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/make.c" <<'C'
#include <libedata-book/libedata-book.h>
#include <stdio.h>
#include <stdlib.h>

static void check(gboolean ok, GError *error)
{
    if (!ok) {
        fprintf(stderr, "%s\n", error ? error->message : "failed");
        exit(1);
    }
}

static void address(EContact *c, EContactField field, const char *ext, const char *street,
    const char *city, const char *region, const char *code, const char *country)
{
    EContactAddress a = {0};
    a.ext = (gchar *) ext;
    a.street = (gchar *) street;
    a.locality = (gchar *) city;
    a.region = (gchar *) region;
    a.code = (gchar *) code;
    a.country = (gchar *) country;
    e_contact_set(c, field, &a);
}

/* A contact with every field the extraction shows; `n` makes the values differ per book. */
static EContact *richest(const char *uid, const char *given, const char *family, const char *n)
{
    EContact *c = e_contact_new();
    EContactName name = {(gchar *) family, (gchar *) given, (gchar *) "Maria", (gchar *) "Dr.", (gchar *) "Jr."};
    EContactDate birthday = {1975, 3, 15};
    e_contact_set(c, E_CONTACT_UID, uid);
    e_contact_set(c, E_CONTACT_NAME, &name);
    e_contact_set(c, E_CONTACT_FULL_NAME, g_strdup_printf("Dr. %s Maria %s Jr.", given, family));
    e_contact_set(c, E_CONTACT_FILE_AS, g_strdup_printf("%s, %s", family, given));
    e_contact_set(c, E_CONTACT_BIRTH_DATE, &birthday);
    e_contact_set(c, E_CONTACT_TITLE, "Head of Lübeck Office");
    e_contact_set(c, E_CONTACT_ORG, "Ærø Shipping, Ltd.");
    e_contact_set(c, E_CONTACT_ORG_UNIT, "Freight");
    e_contact_set(c, E_CONTACT_EMAIL_1, g_strdup_printf("first%s@example.org", n));
    e_contact_set(c, E_CONTACT_EMAIL_2, g_strdup_printf("second%s@example.org", n));
    e_contact_set(c, E_CONTACT_EMAIL_3, g_strdup_printf("third%s@example.org", n));
    e_contact_set(c, E_CONTACT_HOMEPAGE_URL, "https://example.org/~jose");
    e_contact_set(c, E_CONTACT_IM_JABBER_HOME_1, g_strdup_printf("jose%s@jabber.example.org", n));
    e_contact_set(c, E_CONTACT_ASSISTANT, "Zoë Assistant");
    const struct { EContactField field; const char *number; } phones[] = {
        {E_CONTACT_PHONE_TTYTDD, "+1 555 0100"}, {E_CONTACT_PHONE_ASSISTANT, "+1 555 0101"},
        {E_CONTACT_PHONE_BUSINESS, "+1 555 0102"}, {E_CONTACT_PHONE_BUSINESS_2, "+1 555 0103"},
        {E_CONTACT_PHONE_BUSINESS_FAX, "+1 555 0104"}, {E_CONTACT_PHONE_CALLBACK, "+1 555 0105"},
        {E_CONTACT_PHONE_CAR, "+1 555 0106"}, {E_CONTACT_PHONE_COMPANY, "+1 555 0107"},
        {E_CONTACT_PHONE_HOME, "+1 555 0108"}, {E_CONTACT_PHONE_HOME_2, "+1 555 0109"},
        {E_CONTACT_PHONE_HOME_FAX, "+1 555 0110"}, {E_CONTACT_PHONE_ISDN, "+1 555 0111"},
        {E_CONTACT_PHONE_MOBILE, "+1 555 0112"}, {E_CONTACT_PHONE_OTHER, "+1 555 0113"},
        {E_CONTACT_PHONE_OTHER_FAX, "+1 555 0114"}, {E_CONTACT_PHONE_PAGER, "+1 555 0115"},
        {E_CONTACT_PHONE_PRIMARY, "+1 555 0116"}, {E_CONTACT_PHONE_RADIO, "+1 555 0117"},
        {E_CONTACT_PHONE_TELEX, "+1 555 0118"},
    };
    for (size_t i = 0; i < G_N_ELEMENTS(phones); ++i)
        e_contact_set(c, phones[i].field, phones[i].number);
    address(c, E_CONTACT_ADDRESS_WORK, "Suite 5", "12 Harbour Road\nBuilding C", "Austin", "TX", "78701", "USA");
    address(c, E_CONTACT_ADDRESS_HOME, "", "Storgatan 1", "Stockholm", "", "111 22", "Sweden");
    address(c, E_CONTACT_ADDRESS_OTHER, "", "Rue de l'Église 3", "", "", "", "France");
    e_contact_set(c, E_CONTACT_ADDRESS_LABEL_OTHER, "Rue de l'Église 3\nF-75001 Paris\nFrance");
    e_contact_set(c, E_CONTACT_NOTE, "Met at the \"Harbour\" fair, 2019;\nlikes tea, not coffee.\\done");
    return c;
}

static EContact *plain(const char *uid, const char *full, const char *email)
{
    EContact *c = e_contact_new();
    e_contact_set(c, E_CONTACT_UID, uid);
    e_contact_set(c, E_CONTACT_FULL_NAME, full);
    e_contact_set(c, E_CONTACT_EMAIL_1, email);
    return c;
}

int main(int argc, char **argv)
{
    GError *error = NULL;
    if (argc != 3)
        return 2;

    EBookSqlite *book = e_book_sqlite_new(argv[1], NULL, NULL, &error);
    check(book != NULL, error);
    check(e_book_sqlite_add_contact(book, richest("eds-local-richest", "José", "Müller-Łukasz", ""), NULL, FALSE, NULL, &error), error);
    check(e_book_sqlite_add_contact(book, plain("eds-local-plain", "Ann Plain", "ann@example.org"), NULL, FALSE, NULL, &error), error);
    EContact *list = plain("eds-local-list", "Friends", NULL);
    e_contact_set(list, E_CONTACT_IS_LIST, GINT_TO_POINTER(TRUE));
    check(e_book_sqlite_add_contact(book, list, NULL, FALSE, NULL, &error), error);
    g_object_unref(book);

    EBookCache *cache = e_book_cache_new(argv[2], NULL, NULL, &error);
    check(cache != NULL, error);
    check(e_book_cache_put_contact(cache, richest("eds-cache-richest", "Ingrid", "Åström", "-cache"), NULL, 0,
              E_CACHE_IS_ONLINE, NULL, &error), error);
    check(e_book_cache_put_contact(cache, plain("eds-cache-deleted", "Deleted Person", "gone@example.org"), NULL, 0,
              E_CACHE_IS_ONLINE, NULL, &error), error);
    /* Removed while offline: the row stays, marked locally deleted (ECacheState 3). */
    check(e_book_cache_remove_contact(cache, "eds-cache-deleted", 0, E_CACHE_IS_OFFLINE, NULL, &error), error);
    /* Added while offline: locally created (ECacheState 1), not yet uploaded. */
    check(e_book_cache_put_contact(cache, plain("eds-cache-new", "New Offline", "new@example.org"), NULL, 0,
              E_CACHE_IS_OFFLINE, NULL, &error), error);
    g_object_unref(cache);
    return 0;
}
C

cc -o "$work/make" "$work/make.c" $(pkg-config --cflags --libs libedata-book-1.2)
mkdir "$work/out"
"$work/make" "$work/out/contacts.db" "$work/out/cache.db"
ls -la "$work/out"
cp "$work/out/contacts.db" "$work/out/cache.db" "$here/"
