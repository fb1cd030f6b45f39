#pragma once

#include "core/CardEncoders.h"

namespace quarrelby {

class ContactStore;
class Output;
struct FoundBooks;

// Writes every contact of the books whole, as format: each contact once,
// in the table's order, every field its book holds. Goes to standard output
// when output is a stream, through the same safe output as the table
// (Output.h). What the format had no room for is told on standard error,
// once, after the file is in place; it does not change the exit status. A
// book that cannot be read is told and the others are written. Returns the
// exit status.
[[nodiscard]] int exportCards(ContactStore &store, FoundBooks books, CardFormat format, Output &output);

} // namespace quarrelby
