#pragma once

#include "platform/Failure.h"

namespace quarrelby {

// A call through a reference to a service or an object it made: an empty one
// is a failure the action reports under its step.
template <class Reference> auto &object(const Reference &reference)
{
    if (!reference)
        throw Failure(QStringLiteral("Object variable or With block variable not set"));
    return *reference;
}

} // namespace quarrelby
