// Whole numbers on the command line are decimal. The parser on its own reads them as C
// does, a leading 0 as octal and 0x as hexadecimal ("--step 010" would be step 8 and
// "--step 08" refused), and lets an empty text through for an optional number. Every
// number option of the commands takes this check instead.
#pragma once

#include <climits>

namespace CLI {
class Validator;
}

namespace cli {

// The check of a whole-number option: an optional minus and decimal digits, from min
// to max. The text is handed on to the parser without its leading zeros. An empty or
// malformed text, or one out of range, is a usage error that names the option.
CLI::Validator Decimal(int min = INT_MIN, int max = INT_MAX);

}  // namespace cli
