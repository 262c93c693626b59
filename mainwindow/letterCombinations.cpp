#include "letterCombinations.h"

std::vector<std::string> letterCombinations(std::string digits)
{
    static const char* const keys[10] = {"",    "",    "abc",  "def", "ghi",
                                         "jkl", "mno", "pqrs", "tuv", "wxyz"};
    int number = std::stoi(digits);

    // The number's own digits must account for every character: a sign, a
    // blank, a leading zero or a trailing non-digit would leave a key unread.
    std::string keyDigits;
    if (number > 0) {
        for (; number != 0; number /= 10)
            keyDigits.insert(keyDigits.begin(), char('0' + number % 10));
    }
    std::vector<std::string> result;
    if (keyDigits.size() != digits.size())
        return result;

    if (digits.size() == 1) {
        for (const char* c = keys[keyDigits[0] - '0']; *c; ++c)
            result.emplace_back(1, *c);
    } else if (digits.size() == 2) {
        for (const char* a = keys[keyDigits[0] - '0']; *a; ++a)
            for (const char* b = keys[keyDigits[1] - '0']; *b; ++b)
                result.push_back({*a, *b});
    }
    return result;
}
