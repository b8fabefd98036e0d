#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Candidate scan for the text searches: the first offset where two bytes of a needle sit at their
// distance from each other, compared 16 or 32 at a time. Letters can be matched in either case.
namespace lanque {

struct BytePair {
    char first;          // the byte at the candidate
    char second;         // the byte gap bytes after it
    std::size_t gap;
    bool foldFirst;      // first is a lower-case letter that may also be upper case
    bool foldSecond;
};

// The first offset in [from, last] where the pair matches; std::string_view::npos when none.
// last + gap must lie inside the text.
std::size_t FindBytePair(std::string_view text, std::size_t from, std::size_t last, const BytePair& pair);

// The first offset at or after from where either pair matches (each only where its gap still lies
// inside the text); std::string_view::npos when none.
std::size_t FindEitherBytePair(std::string_view text, std::size_t from, const BytePair& a, const BytePair& b);

// The first window of 32 offsets, starting at or after from, where either pair matches (each only
// where its gap still lies inside the text): the window's start, with bit k of mask set for a match at
// start + k. std::string_view::npos when there is none.
std::size_t FindEitherPairWindow(std::string_view text, std::size_t from, const BytePair& a, const BytePair& b,
                                 std::uint32_t& mask);

// The smallest offset q in [floor, pos] such that every byte in [q, pos) is a GBK lead byte
// (0x81-0xFE): how far back the run of lead bytes before pos reaches.
std::size_t LeadRunStart(std::string_view text, std::size_t floor, std::size_t pos);

}  // namespace lanque
