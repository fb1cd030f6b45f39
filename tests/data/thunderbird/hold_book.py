# Holds an address book open as its program does while a test reads it.
#   hold_book.py <book> <vfs> <sql> [churn]
# vfs "unix-excl" is Thunderbird's way: an exclusive lock, and the log's
# index in this process's memory (a -wal beside the book, no -shm); "unix"
# is SQLite's ordinary way (a -wal and a -shm). Runs <sql> in write-ahead-log
# mode, prints "ready", then keeps the book open until its input ends; with
# "churn" it rewrites the card "churn" in one transaction after another.
import sqlite3
import sys
import urllib.parse

book, vfs, sql = sys.argv[1:4]
db = sqlite3.connect('file:%s?vfs=%s' % (urllib.parse.quote(book), vfs), uri=True, isolation_level=None)
db.execute('PRAGMA journal_mode = WAL')
db.executescript(sql)
print('ready', flush=True)
if sys.argv[4:] == ['churn']:
    db.execute('PRAGMA synchronous = OFF')
    n = 0
    while True:
        n += 1
        db.execute('BEGIN IMMEDIATE')
        db.execute("DELETE FROM properties WHERE card = 'churn'")
        db.execute("INSERT INTO properties VALUES ('churn', 'DisplayName', ?)", ('Churn %d' % n,))
        db.execute("INSERT INTO properties VALUES ('churn', 'PrimaryEmail', ?)", ('churn%d@example.org' % n,))
        db.execute('COMMIT')
sys.stdin.read()
