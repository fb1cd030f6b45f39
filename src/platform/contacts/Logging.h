#pragma once

#include <QLoggingCategory>

// Off by default; QT_LOGGING_RULES="quarrelby.*.debug=true" shows them all.
// The books found, and those passed over with the reason.
Q_DECLARE_LOGGING_CATEGORY(lcBooks)
// Private copies of books made and removed.
Q_DECLARE_LOGGING_CATEGORY(lcCopies)
// What each read of a book took.
Q_DECLARE_LOGGING_CATEGORY(lcReads)
