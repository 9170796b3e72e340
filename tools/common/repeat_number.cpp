#include "repeat_number.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <string>

#include "console.h"
#include "messages.h"

std::optional<int> parseRepeatNumber(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (std::isspace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!std::isdigit(*p)) return std::nullopt;
    long long value = 0;
    for (; std::isdigit(*p); ++p) {
        value = std::min(value * 10 + (*p - '0'), 1LL + INT_MAX);  // saturates below
    }
    while (std::isspace(*p)) ++p;
    if (*p != '\0') return std::nullopt;
    if (negative) return int(std::max(-value, (long long)INT_MIN));
    return int(std::min(value, (long long)INT_MAX));
}

int repeatNumberForAdvice(int argc, char** argv, int defaultValue) {
    if (argc <= 3) return defaultValue;
    return parseRepeatNumber(argv[3]).value_or(defaultValue);
}

std::optional<int> repeatNumberArgument(int argc, char** argv, int defaultValue) {
    if (argc <= 3) return defaultValue;
    const std::optional<int> value = parseRepeatNumber(argv[3]);
    if (value) return value;
    std::puts(message::REPEAT_NUMBER_INPUT_ERROR);
    printReason(argv[1], "repeat number \"" + shownOnOneLine(argv[3]) + "\" is not a whole number");
    return std::nullopt;
}
