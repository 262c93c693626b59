// What the fuzz targets share.
#pragma once

#include <QStringList>

#include <cstddef>
#include <cstdint>

// Linking this gives every target the (offscreen) application object that
// widgets need, created before the first input. Standard output goes nowhere,
// since the developer window prints every frame it builds, and a message box
// that opens ends the run: no input may lead to a box that nobody answers.

// Ends the run as a crash, naming the property that failed.
void fuzzCheck(bool holds, const char* property);

// The input as UTF-8 text, split at line ends.
QStringList fuzzLines(const uint8_t* data, std::size_t size);
