#pragma once

#include <string_view>

// Postfix's queue IDs, one rule for every place that finds one in a log line,
// takes one from a click or a search field, or hands one to root.
namespace brevane {

/// A character a queue ID may hold: the short IDs' upper-case hexadecimal
/// digits or the long IDs' digits and consonants (no vowels, so that no ID
/// spells a word).
bool isQueueIdCharacter(char c);

/// A whole queue ID: 5 to 32 upper-case hexadecimal digits (short), or at
/// least ten digits and consonants (long). Words such as NOQUEUE, ALL,
/// warning or deferred never pass.
bool isQueueId(std::string_view text);

} // namespace brevane
