// Walks damaged Outlook data files the way the contact store does: libpff
// opens the file, every folder and item is read, every failure must come
// back as an Failure. The walk is whole: each item's vCard is built too,
// with its lists of values, categories and photo. libpff reads from a path,
// so each input is written to a file first (in $TMPDIR, /dev/shm by
// default).

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
    const auto source = std::make_unique<ReadAhead>(outlookDataFile(name), name, true);
    Contact contact;
    std::string_view card;
    // A walk that keeps failing without getting anywhere never ends.
    for (size_t calls = 0; calls < 100000; ++calls) {
        try {
            if (!source->next(contact, &card))
                break;
            for (int i = 0; i < kContactPropertyCount; ++i)
                (void)contact.value(i).toString();
        } catch (const Failure &) {
        }
    }
    return 0;
}
