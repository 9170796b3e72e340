// The repeat number: the third argument of every program, read as a whole
// number.
#ifndef ONDA_REPEAT_NUMBER_H
#define ONDA_REPEAT_NUMBER_H

#include <optional>

// The whole number a text holds: optional white space, an optional sign,
// decimal digits, optional white space; a number beyond int saturates.
// Nothing for any other text.
std::optional<int> parseRepeatNumber(const char* text);

// The repeat number: the third argument, or defaultValue without one. A third
// argument that is not a whole number is refused with "Repeat Number input
// error" and a reason naming the input argv[1]; the result is then nothing.
std::optional<int> repeatNumberArgument(int argc, char** argv, int defaultValue);

// The repeat number the run will have, read without a word for the advice of
// a refusal that comes before it: the third argument where it is a whole
// number, else defaultValue.
int repeatNumberForAdvice(int argc, char** argv, int defaultValue);

#endif
