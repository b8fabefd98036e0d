#define PCRE2_CODE_UNIT_WIDTH 8
#include "http/regex_object.h"

#include <pcre2.h>

#include <memory>

#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {

namespace {

// Bounds for one run: backtracking steps, nesting depth and heap, so that a pathological pattern or a
// huge subject fails the run instead of hanging it or exhausting memory.
constexpr uint32_t kMatchLimit = 10'000'000;
constexpr uint32_t kDepthLimit = 1'000'000;
constexpr uint32_t kHeapLimitKiB = 64 * 1024;

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct CompileContextDeleter {
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchContextDeleter {
    void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

using Code = std::unique_ptr<pcre2_code, CodeDeleter>;

Code Compile(const Text& utf8Pattern, bool caseSensitive, bool multiLine) {
    std::unique_ptr<pcre2_compile_context, CompileContextDeleter> context(pcre2_compile_context_create(nullptr));
    if (!context) {
        return nullptr;
    }
    // Only a line feed ends a line: the dot matches a CR, as the ECMAScript engine's does.
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);
    uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF;
    if (!caseSensitive) {
        options |= PCRE2_CASELESS;
    }
    if (multiLine) {
        options |= PCRE2_MULTILINE;
    }
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    return Code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8Pattern.data()), utf8Pattern.size(), options,
                              &error, &errorOffset, context.get()));
}

// Byte length of the UTF-8 character at pos (the subject is valid UTF-8).
std::size_t Utf8CharLength(std::string_view text, std::size_t pos) {
    std::size_t length = 1;
    while (pos + length < text.size() && (static_cast<unsigned char>(text[pos + length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

}  // namespace

bool RegexObject::Execute(std::string_view pattern, std::string_view subject, bool caseSensitive,
                          bool multiLine, bool global, bool quoteMarker) {
    m_matches.clear();
    m_pattern = quoteMarker ? GbkReplaceAll(pattern, "#引号", "\"") : Text(pattern);
    m_subject = GbkToUtf8(subject);

    const Code code = Compile(GbkToUtf8(m_pattern), caseSensitive, multiLine);
    std::unique_ptr<pcre2_match_context, MatchContextDeleter> context(pcre2_match_context_create(nullptr));
    if (!code || !context) {
        return false;
    }
    pcre2_set_match_limit(context.get(), kMatchLimit);
    pcre2_set_depth_limit(context.get(), kDepthLimit);
    pcre2_set_heap_limit(context.get(), kHeapLimitKiB);
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(
        pcre2_match_data_create_from_pattern(code.get(), nullptr));
    if (!data) {
        return false;
    }

    const auto* text = reinterpret_cast<PCRE2_SPTR>(m_subject.data());
    std::size_t offset = 0;
    uint32_t options = 0;
    while (offset <= m_subject.size()) {
        const int rc = pcre2_match(code.get(), text, m_subject.size(), offset, options, data.get(), context.get());
        // The subject is checked for valid UTF-8 once, not again on every following run.
        options = PCRE2_NO_UTF_CHECK;
        if (rc == PCRE2_ERROR_NOMATCH) {
            break;
        }
        if (rc < 0) {
            m_matches.clear();
            return false;
        }
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        const uint32_t pairs = pcre2_get_ovector_count(data.get());
        Match match{{ovector[0], ovector[1]}, {}};
        for (uint32_t group = 1; group < pairs; ++group) {
            const PCRE2_SIZE start = ovector[2 * group];
            match.groups.push_back(start == PCRE2_UNSET ? Span{kNoGroup, kNoGroup} : Span{start, ovector[2 * group + 1]});
        }
        m_matches.push_back(std::move(match));
        if (!global) {
            break;
        }
        // After an empty match the next search starts one character further on.
        offset = ovector[1] > ovector[0]       ? ovector[1]
                 : ovector[1] < m_subject.size() ? ovector[1] + Utf8CharLength(m_subject, ovector[1])
                                                 : m_subject.size() + 1;
    }
    return true;
}

Text RegexObject::SubMatchText(int matchNumber, int groupNumber) const {
    if (matchNumber < 1 || static_cast<std::size_t>(matchNumber) > m_matches.size() || groupNumber < 1) {
        return {};
    }
    const Match& match = m_matches[matchNumber - 1];
    if (static_cast<std::size_t>(groupNumber) > match.groups.size()) {
        return {};
    }
    return SpanText(match.groups[groupNumber - 1]);
}

Text RegexObject::PatternText() const { return m_pattern; }

int RegexObject::MatchCount() const { return static_cast<int>(m_matches.size()); }

Text RegexObject::MatchText(int matchNumber) const {
    if (matchNumber < 1 || static_cast<std::size_t>(matchNumber) > m_matches.size()) {
        return {};
    }
    return SpanText(m_matches[matchNumber - 1].whole);
}

int RegexObject::SubMatchCount() const {
    return m_matches.empty() ? 0 : static_cast<int>(m_matches.front().groups.size());
}

Text RegexObject::ReplaceText(std::string_view replacement) const {
    const Text utf8Replacement = GbkToUtf8(replacement);
    Text out;
    out.reserve(m_subject.size());
    std::size_t done = 0;
    for (const Match& match : m_matches) {
        out.append(m_subject, done, match.whole.start - done);
        AppendReplacement(out, utf8Replacement, match);
        done = match.whole.end;
    }
    out.append(m_subject, done);
    return Utf8ToGbk(out);
}

Text RegexObject::SpanText(const Span& span) const {
    if (span.start == kNoGroup) {
        return {};
    }
    return Utf8ToGbk(std::string_view(m_subject).substr(span.start, span.end - span.start));
}

void RegexObject::AppendReplacement(Text& out, std::string_view replacement, const Match& match) const {
    const std::string_view subject(m_subject);
    auto appendSpan = [&](const Span& span) {
        if (span.start != kNoGroup) {
            out.append(subject.substr(span.start, span.end - span.start));
        }
    };
    auto digit = [&](std::size_t pos) {
        return pos < replacement.size() && replacement[pos] >= '0' && replacement[pos] <= '9'
                   ? replacement[pos] - '0'
                   : -1;
    };
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        const char c = replacement[i];
        if (c != '$' || i + 1 >= replacement.size()) {
            out.push_back(c);
            continue;
        }
        const char next = replacement[i + 1];
        const std::size_t groups = match.groups.size();
        if (next == '$') {
            out.push_back('$');
            ++i;
        } else if (next == '&') {
            appendSpan(match.whole);
            ++i;
        } else if (next == '`') {
            out.append(subject.substr(0, match.whole.start));
            ++i;
        } else if (next == '\'') {
            out.append(subject.substr(match.whole.end));
            ++i;
        } else if (const int first = digit(i + 1); first >= 0) {
            // Two digits when they name a group, else one, else the text stays as written.
            const int second = digit(i + 2);
            const int twoDigits = second >= 0 ? first * 10 + second : -1;
            if (twoDigits >= 1 && static_cast<std::size_t>(twoDigits) <= groups) {
                appendSpan(match.groups[twoDigits - 1]);
                i += 2;
            } else if (first >= 1 && static_cast<std::size_t>(first) <= groups) {
                appendSpan(match.groups[first - 1]);
                i += 1;
            } else {
                out.push_back(c);
            }
        } else {
            out.push_back(c);
        }
    }
}

}  // namespace lanque
