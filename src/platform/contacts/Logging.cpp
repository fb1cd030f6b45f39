#include "platform/contacts/Logging.h"

Q_LOGGING_CATEGORY(lcBooks, "quarrelby.books", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCopies, "quarrelby.copies", QtWarningMsg)
Q_LOGGING_CATEGORY(lcReads, "quarrelby.reads", QtWarningMsg)
