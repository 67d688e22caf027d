#pragma once
// Decoding the layouts' JPEG pictures with libjpeg.

#include <QImage>

#include <cstddef>
#include <string>

// Decodes a JPEG held in memory into an RGB image (grey pictures are expanded
// to RGB). Returns a null image, and the decoder's message in error when given,
// for data that is not a JPEG the library can read.
QImage DecodeJpeg(const unsigned char* data, std::size_t size, std::string* error = nullptr);
