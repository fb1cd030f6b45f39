#pragma once

#include "platform/Failure.h"

namespace quarrelby {

// A call through an automation reference: an empty one fails the way late
// binding does, as a failure the handler's error trap reports.
template <class Reference> auto &object(const Reference &reference)
{
    if (!reference)
        throw Failure(QStringLiteral("Object variable or With block variable not set"));
    return *reference;
}

} // namespace quarrelby
