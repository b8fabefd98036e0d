#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "text/text.h"

// One regular expression run over one subject, as the request functions use it to find the charset a
// page declares. ECMAScript-style syntax (lazy quantifiers, [^\w], capture groups; \w is ASCII
// letters, digits and "_"; the dot matches anything but a line feed), over PCRE2. Subjects, patterns
// and results are GBK; matching runs on characters, so a match never starts inside a character.
// Catastrophic patterns end at a match limit instead of running away; that counts as a failed run.
namespace lanque {

class RegexObject {
public:
    // Compiles the pattern (every "#引号" a double quote first when quoteMarker is true) and finds its
    // matches in subject: all of them when global, else the first. True when the run completed, with
    // or without matches; false for an invalid pattern or a run that hit a limit (no matches kept).
    bool Execute(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
                 bool multiLine = true, bool global = true, bool quoteMarker = false);
    // The text of capture group groupNumber (from 1) of match matchNumber (from 1); empty when there is
    // no such match or group, or when the group took no part in the match.
    Text SubMatchText(int matchNumber, int groupNumber) const;

    // The current pattern, empty before the first Execute.
    Text PatternText() const;
    // The subject with the matches of the last Execute replaced by replacement, in which "$&" is the
    // match, "$1".."$99" a group, "$`" and "$'" the text before and after it, "$$" a "$".
    Text ReplaceText(std::string_view replacement) const;
    int MatchCount() const;
    // The whole text of match matchNumber (from 1); empty when there is none.
    Text MatchText(int matchNumber) const;
    // The number of capture groups of the first match; 0 when there is no match.
    int SubMatchCount() const;

private:
    // Byte ranges in m_subject (UTF-8); a group that took no part has start kNoGroup.
    struct Span {
        std::size_t start;
        std::size_t end;
    };
    struct Match {
        Span whole;
        std::vector<Span> groups;
    };
    static constexpr std::size_t kNoGroup = static_cast<std::size_t>(-1);

    Text SpanText(const Span& span) const;
    void AppendReplacement(Text& out, std::string_view replacement, const Match& match) const;

    Text m_pattern;
    Text m_subject;
    std::vector<Match> m_matches;
};

}  // namespace lanque
