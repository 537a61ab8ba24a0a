#pragma once
#include <string>

// A UTF-8 literal as bytes (narrow literals in this project are GBK).
inline std::string U8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }
