#pragma once

#include <string>
#include <vector>

// The letter strings a one- or two-digit number spells on a telephone keypad
// (2 abc ... 9 wxyz). Throws what std::stoi throws for text that is no number.
std::vector<std::string> letterCombinations(std::string digits);
