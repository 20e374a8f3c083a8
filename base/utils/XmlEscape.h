// Text from programs and files as XML (and so HTML) character data or attribute value.
#pragma once

#include <string>
#include <string_view>

// `text` with the markup characters escaped, and every byte that is no valid UTF-8 or no XML
// character replaced by '?'.
std::string xmlEscape(std::string_view text);
