#pragma once
// Text is UTF-8 inside the suite; formats that count UTF-16 units (registry
// buffers, the wire record, UTF-16 files) convert at their edge.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane::platform {

// Number of UTF-16 code units the UTF-8 text needs. Invalid sequences count
// one unit per byte, as they would after replacement.
std::size_t Utf16Length(std::string_view utf8);

std::u16string ToUtf16(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

// Decodes the code point at text[i] and moves i past it. An invalid
// sequence gives false and moves i past one byte.
bool DecodeUtf8(std::string_view text, std::size_t& i, char32_t& cp);

// Strict validation, for input that must be refused rather than repaired.
bool IsValidUtf8(std::string_view text);

// Case folding used for registry and INI names: ASCII letters plus the
// Latin-1 and other BMP letters that have a simple lower-case mapping.
std::string FoldCase(std::string_view utf8);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace quorvane::platform
