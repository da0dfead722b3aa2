// text_encoding.h: conversion between the program's 8-bit Mac OS Roman text and UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Unicode code point of a Mac OS Roman byte.
char32_t macroman_to_unicode(uint8_t byte);

// The Mac OS Roman byte of a code point; `replacement` when it has none.
uint8_t unicode_to_macroman(char32_t code_point, uint8_t replacement = '?');

std::string macroman_to_utf8(std::string_view macroman);

// Malformed UTF-8 bytes and characters without a Mac OS Roman byte become `replacement`.
std::string utf8_to_macroman(std::string_view utf8, uint8_t replacement = '?');

// Appends the UTF-8 bytes of a code point.
void append_utf8(std::string& out, char32_t code_point);
