#pragma once

#include <QString>
#include <QtGlobal>

// The real-world contact files live beside the repository in CI only; the
// environment names their folder. A test that needs them skips without it.
inline QString corpusFolder(const char *subfolder)
{
    const QString root = qEnvironmentVariable("QUARRELBY_TEST_CORPUS");
    return root.isEmpty() ? QString() : root + QLatin1Char('/') + QLatin1String(subfolder);
}

#define QUARRELBY_REQUIRE_CORPUS(variable, subfolder)                                                                  \
    const QString variable = corpusFolder(subfolder);                                                                  \
    if (variable.isEmpty())                                                                                            \
        QSKIP("QUARRELBY_TEST_CORPUS is not set: the real-world contact files are not beside this clone");
