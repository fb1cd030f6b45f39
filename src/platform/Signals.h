#pragma once

#include <csignal>
#include <initializer_list>

namespace quarrelby {

// Sets handler for each of the signals, except those the program was started
// with ignored (nohup, a background job of a script): they stay ignored.
inline void handleUnlessIgnored(std::initializer_list<int> numbers, void (*handler)(int))
{
    for (const int signal : numbers) {
        struct sigaction old { };
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action { };
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace quarrelby
