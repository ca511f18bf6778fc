#include "numbers.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <string>

namespace cli {

CLI::Validator Decimal(int min, int max) {
    // As --help shows the type: "INT:decimal 0 to 14", "INT:decimal 1 or more".
    std::string description = "decimal";
    if (max != INT_MAX)
        description += " " + std::to_string(min) + " to " + std::to_string(max);
    else if (min != INT_MIN)
        description += " " + std::to_string(min) + " or more";
    return CLI::Validator(
        [min, max](std::string& text) -> std::string {
            if (text.empty()) return "the number is empty";
            long long value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, ec] = std::from_chars(text.data(), end, value);
            if (stop != end || (ec != std::errc() && ec != std::errc::result_out_of_range))
                return "not a decimal number: " + text;
            if (ec == std::errc::result_out_of_range || value < min || value > max)
                return "Value " + text + " not in range " + std::to_string(min) + " to " +
                       std::to_string(max);
            text = std::to_string(value);
            return {};
        },
        description, "DECIMAL");
}

}  // namespace cli
