// Walks damaged Outlook data files the way the contact store does: libpff
// opens the file, every folder and item is read, every failure must come
// back as an Failure. libpff reads from a path, so each input is
// written to a file first (in $TMPDIR, /dev/shm by default).

#include "platform/Failure.h"
#include "platform/contacts/OutlookDataFile.h"
#include "platform/contacts/ReadAhead.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace quarrelby;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = [] {
        const char *dir = std::getenv("TMPDIR");
        return std::string(dir != nullptr ? dir : "/dev/shm") + "/fuzz_pst." + std::to_string(getpid()) + ".pst";
    }();
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    const QByteArray name = QByteArray::fromStdString(path);
    const auto source = std::make_unique<ReadAhead>(outlookDataFile(name), name);
    Contact contact;
    // A walk that keeps failing without getting anywhere never ends.
    for (size_t calls = 0; calls < 100000; ++calls) {
        try {
            if (!source->next(contact))
                break;
            for (int i = 0; i < kContactPropertyCount; ++i)
                (void)contact.value(i).toString();
        } catch (const Failure &) {
        }
    }
    return 0;
}
