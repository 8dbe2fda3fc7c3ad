// The plug-in's own conversions of CMYK and Lab pixels to RGB: the driver converts the document's
// rows with them, and `varno edges` the pictures it hands the methods directly.
//
// Contract: pure functions of one pixel; every build computes the same bytes.
#pragma once

#include <cstdint>

// One pixel's conversion to RGB; channel values are the raw 8-bit samples (CMYK: 255 = no ink;
// Lab: a and b centred on 128).
void ConvertCmykPixel(uint8_t c, uint8_t m, uint8_t y, uint8_t k, uint8_t rgb[3]);
void ConvertLabPixel(uint8_t l, uint8_t a, uint8_t b, uint8_t rgb[3]);
