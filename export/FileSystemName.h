#pragma once

#include <cstddef>
#include <string>

namespace KELMNameSpace {

// The longest name of one folder or file that common file systems take, in bytes of UTF-8.
constexpr size_t kMaxFileSystemNameBytes = 255;

// Text from a recording (a camera's Srid) as one folder or file name that stays where it is put:
// letters of any script, digits, blanks and the other printable characters are kept; '/', '\',
// NUL, control characters and the characters Windows forbids (<>:"|?*) become '_'; an empty name
// becomes "_" and a name that starts with '.' ("." and ".." too) gets a '_' in front; a name
// longer than maxBytes of UTF-8 is cut on a character boundary. A name that had to change ends
// with '~' and eight hex digits of the original text, so that "a/b" and "a_b" keep apart (and so
// does a name that merely looks like such an ending). The result never exceeds maxBytes (>= 10).
std::wstring MakeFileSystemName(const std::wstring& text, size_t maxBytes = kMaxFileSystemNameBytes);

} // namespace KELMNameSpace
