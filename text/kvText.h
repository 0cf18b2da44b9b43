// Subtitle text as people write it: UTF-8, made valid (a byte that is not
// part of UTF-8 becomes U+FFFD), counted and cut in user-perceived
// characters (grapheme clusters: a letter with its accents, an emoji
// sequence), and the places a line may break (Unicode's line-breaking
// rules: after spaces, between CJK characters). libunistring does the
// Unicode work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Korvell {

// The text with every invalid byte replaced by U+FFFD.
std::string validUtf8(const std::string& text);
// The byte offset of each grapheme cluster's start, in order (empty for
// an empty text).
std::vector<size_t> clusterStarts(const std::string& text);
size_t clusterCount(const std::string& text);
// The first n clusters (all of them when there are fewer).
std::string firstClusters(const std::string& text, size_t n);
// For each byte, whether a line may break before it (never before the
// first, never inside a character or a cluster).
std::vector<bool> breakOpportunities(const std::string& text);
// The code points of a valid UTF-8 text with the byte offset each starts at.
void decodeUtf8(const std::string& text, std::vector<uint32_t>& codePoints, std::vector<size_t>& offsets);

} // namespace Korvell
