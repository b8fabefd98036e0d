#include "script/json_document.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "text/cutters.h"
#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {

using Json = nlohmann::ordered_json;

struct JsonDocument::State {
    Json value = Json::object();
    bool absent = false;  // the value of an empty text: not even null
};

namespace {

// Deeper texts are refused rather than risk the stack in the writer and in copies.
constexpr std::size_t kMaxDepth = 512;
// How far past its end an assignment to an element may grow an array (the gap fills with null).
constexpr std::size_t kMaxGrowth = 1u << 16;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The boundary conversions; ASCII is the same in both code pages and skips the converter.
bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
std::string ToUtf8(std::string_view gbk) { return IsAscii(gbk) ? std::string(gbk) : GbkToUtf8(gbk); }
Text ToGbk(std::string_view utf8) { return IsAscii(utf8) ? Text(utf8) : Utf8ToGbk(utf8); }

// ---- Reading ------------------------------------------------------------------------------------------

// +1 or -1 when a number token lies beyond the double range (the reader then takes it as an infinity, as
// a script engine would), 0 otherwise; an underflow reads as the parser reads it.
// True when the token is a number as JSON writes it: -?(0|[1-9]d*)(.d+)?([eE][+-]?d+)?
bool IsJsonNumber(std::string_view token) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
        return i - start;
    };
    if (i < token.size() && token[i] == '-') ++i;
    if (i < token.size() && token[i] == '0') {
        ++i;
    } else if (digits() == 0) {
        return false;
    }
    if (i < token.size() && token[i] == '.') {
        ++i;
        if (digits() == 0) return false;
    }
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == token.size();
}

int OverflowSign(std::string_view token) {
    if (!IsJsonNumber(token)) {
        return 0;  // left for the parser to refuse
    }
    double ignored = 0;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), ignored);
    if (result.ec != std::errc::result_out_of_range) {
        return 0;
    }
    std::size_t i = 0;
    const bool negative = !token.empty() && token[0] == '-';
    if (negative) ++i;
    long long magnitude = 0;  // decimal position of the first significant digit
    bool significant = false;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        if (significant || token[i] != '0') {
            significant = true;
            ++magnitude;
        }
    }
    if (i < token.size() && token[i] == '.') {
        for (++i; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
            if (!significant) {
                if (token[i] != '0') significant = true;
                else --magnitude;
            }
        }
    }
    long long exponent = 0;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        const bool negativeExponent = i < token.size() && token[i] == '-';
        if (i < token.size() && (token[i] == '-' || token[i] == '+')) ++i;
        for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
            exponent = std::min(exponent * 10 + (token[i] - '0'), 1000000000LL);
        }
        if (negativeExponent) exponent = -exponent;
    }
    if (!significant || magnitude + exponent <= 0) {
        return 0;
    }
    return negative ? -1 : 1;
}

// The text made standard JSON: an elided array member becomes null, a trailing comma before "]" goes,
// and a number beyond the double range becomes 0 with its place remembered. Strings are copied as they
// are. nullopt when the nesting is too deep.
struct Prepared {
    std::string text;
    std::map<std::size_t, int> overflows;  // number ordinal -> sign of its infinity
};

std::optional<Prepared> Prepare(std::string_view utf8) {
    Prepared out;
    out.text.reserve(utf8.size() + 16);
    std::vector<char> open;
    char previous = 0;  // the last significant character outside strings: '[', '{', ',', or 'v' for a value
    std::size_t lastComma = 0;
    std::size_t numbers = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '"') {
            const std::size_t start = i;
            for (++i; i < utf8.size() && utf8[i] != '"'; ++i) {
                if (utf8[i] == '\\') ++i;
            }
            out.text.append(utf8.substr(start, i - start + 1));
            previous = 'v';
            continue;
        }
        if (IsBlank(c)) {
            out.text.push_back(c);
            continue;
        }
        const bool inArray = !open.empty() && open.back() == '[';
        if (c == '[' || c == '{') {
            if (open.size() >= kMaxDepth) return std::nullopt;
            open.push_back(c);
            out.text.push_back(c);
            previous = c;
        } else if (c == ']' || c == '}') {
            if (c == ']' && inArray && previous == ',') {
                out.text.erase(lastComma, 1);
            }
            if (!open.empty()) open.pop_back();
            out.text.push_back(c);
            previous = 'v';
        } else if (c == ',') {
            if (inArray && (previous == '[' || previous == ',')) {
                out.text.append("null");
            }
            lastComma = out.text.size();
            out.text.push_back(c);
            previous = ',';
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            const std::size_t start = i;
            while (i + 1 < utf8.size() && std::string_view("0123456789+-.eE").find(utf8[i + 1]) != std::string_view::npos) {
                ++i;
            }
            const std::string_view token = utf8.substr(start, i - start + 1);
            if (const int sign = OverflowSign(token); sign != 0) {
                out.overflows[numbers] = sign;
                out.text.push_back('0');
            } else {
                out.text.append(token);
            }
            ++numbers;
            previous = 'v';
        } else {
            out.text.push_back(c);
            previous = 'v';
        }
    }
    return out;
}

// Builds the value from the parser's events, putting the remembered infinities back in their places.
class Builder : public nlohmann::json_sax<Json> {
public:
    explicit Builder(const std::map<std::size_t, int>& overflows) : m_overflows(overflows) {}
    Json& root() { return m_root; }

    bool null() override { return Put(Json(nullptr)); }
    bool boolean(bool value) override { return Put(Json(value)); }
    bool number_integer(number_integer_t value) override { return Number(Json(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Number(Json(value)); }
    bool number_float(number_float_t value, const string_t&) override { return Number(Json(value)); }
    bool string(string_t& value) override { return Put(Json(std::move(value))); }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override { return Open(Json::object()); }
    bool key(string_t& value) override {
        m_key = std::move(value);
        return true;
    }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(Json::array()); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    Json* Slot() {
        if (m_open.empty()) return &m_root;
        Json& top = *m_open.back();
        if (top.is_array()) {
            top.push_back(nullptr);
            return &top.back();
        }
        return &top[m_key];  // a repeated name keeps its first place and takes the last value
    }
    bool Put(Json&& value) {
        *Slot() = std::move(value);
        return true;
    }
    bool Number(Json&& value) {
        const auto overflow = m_overflows.find(m_numbers++);
        if (overflow != m_overflows.end()) {
            value = overflow->second * std::numeric_limits<double>::infinity();
        }
        return Put(std::move(value));
    }
    bool Open(Json&& container) {
        Json* slot = Slot();
        *slot = std::move(container);
        m_open.push_back(slot);
        return true;
    }
    bool Close() {
        if (!m_open.empty()) m_open.pop_back();
        return true;
    }

    const std::map<std::size_t, int>& m_overflows;
    Json m_root;
    std::vector<Json*> m_open;
    string_t m_key;
    std::size_t m_numbers = 0;
};

enum class ReadResult { kValue, kAbsent, kUnreadable };

// Reads a GBK text as one value.
ReadResult Read(std::string_view gbk, Json& value) {
    if (std::all_of(gbk.begin(), gbk.end(), IsBlank)) {
        return ReadResult::kAbsent;
    }
    try {
        const auto prepared = Prepare(ToUtf8(gbk));
        if (!prepared) return ReadResult::kUnreadable;
        Builder builder(prepared->overflows);
        if (!Json::sax_parse(prepared->text, &builder)) return ReadResult::kUnreadable;
        value = std::move(builder.root());
        return ReadResult::kValue;
    } catch (...) {
        return ReadResult::kUnreadable;
    }
}

// The value a raw argument text denotes; nullopt when it denotes none (so nothing is set).
std::optional<Json> ReadRaw(std::string_view gbk) {
    Json value;
    if (Read(gbk, value) != ReadResult::kValue) return std::nullopt;
    return value;
}

Json StringValue(std::string_view gbk) { return Json(ToUtf8(gbk)); }

// ---- Writing ------------------------------------------------------------------------------------------

Text Dump(const Json& value) {
    try {
        return ToGbk(value.dump(-1, ' ', false, Json::error_handler_t::replace));
    } catch (...) {
        return {};
    }
}

Text NumberText(double number) {
    if (std::isnan(number)) return "NaN";
    if (std::isinf(number)) return number > 0 ? "Infinity" : "-Infinity";
    if (number == 0) return "0";
    char buffer[400];
    const bool integral = std::trunc(number) == number && std::fabs(number) < 1e21;
    const auto result = integral ? std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed)
                                 : std::to_chars(buffer, buffer + sizeof buffer, number);
    return result.ec == std::errc() ? Text(buffer, result.ptr) : Text();
}

Text ValueText(const Json& value) {
    switch (value.type()) {
        case Json::value_t::string: return ToGbk(value.get_ref<const Json::string_t&>());
        case Json::value_t::number_integer: return std::to_string(value.get<std::int64_t>());
        case Json::value_t::number_unsigned: return std::to_string(value.get<std::uint64_t>());
        case Json::value_t::number_float: return NumberText(value.get<double>());
        case Json::value_t::boolean: return value.get<bool>() ? "true" : "false";
        case Json::value_t::object:
        case Json::value_t::array: return Dump(value);
        default: return {};
    }
}

// ---- Paths --------------------------------------------------------------------------------------------

struct Step {
    bool isIndex = false;
    long long index = 0;
    std::string name;  // UTF-8
};
using Path = std::vector<Step>;

Step IndexStep(long long index) { return Step{true, index, {}}; }

bool IsNameChar(char c) {
    return c != '.' && c != '[' && c != ']' && c != '\'' && c != '"' && !IsBlank(c);
}

// Reads "[...]" at i: an integer index or a quoted name.
bool ReadBracket(std::string_view path, std::size_t& i, Path& steps) {
    ++i;
    while (i < path.size() && IsBlank(path[i])) ++i;
    if (i >= path.size()) return false;
    Step step;
    if (path[i] == '\'' || path[i] == '"') {
        const char quote = path[i++];
        for (; i < path.size() && path[i] != quote; ++i) {
            if (path[i] == '\\' && i + 1 < path.size()) ++i;
            step.name.push_back(path[i]);
        }
        if (i >= path.size()) return false;
        ++i;
    } else {
        const bool negative = path[i] == '-';
        if (negative) ++i;
        const std::size_t digits = i;
        for (; i < path.size() && path[i] >= '0' && path[i] <= '9'; ++i) {
            step.index = std::min(step.index * 10 + (path[i] - '0'), static_cast<long long>(INT_MAX) * 4);
        }
        if (i == digits) return false;
        step.isIndex = true;
        if (negative) step.index = -step.index;
    }
    while (i < path.size() && IsBlank(path[i])) ++i;
    if (i >= path.size() || path[i] != ']') return false;
    ++i;
    steps.push_back(std::move(step));
    return true;
}

// A path as its steps; nullopt when it is not a chain of names, indexes and quoted names.
std::optional<Path> ParsePath(std::string_view gbkPath) {
    const std::string path = ToUtf8(gbkPath);
    Path steps;
    std::size_t i = 0;
    bool wantName = !path.empty() && path[0] != '[';
    while (i < path.size() || wantName) {
        if (wantName) {
            const std::size_t start = i;
            while (i < path.size() && IsNameChar(path[i])) ++i;
            if (i == start || (path[start] >= '0' && path[start] <= '9')) return std::nullopt;
            steps.push_back(Step{false, 0, path.substr(start, i - start)});
            wantName = false;
        } else if (path[i] == '.') {
            ++i;
            wantName = true;
        } else if (path[i] == '[') {
            if (!ReadBracket(path, i, steps)) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return steps;
}

// The array position a step names, when it names one: an index, or a name that is a plain index.
std::optional<std::size_t> ArrayIndex(const Step& step) {
    if (step.isIndex) {
        if (step.index < 0) return std::nullopt;
        return static_cast<std::size_t>(step.index);
    }
    const std::string& name = step.name;
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) return std::nullopt;
    if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    return static_cast<std::size_t>(std::stoull(name));
}

std::string MemberName(const Step& step) { return step.isIndex ? std::to_string(step.index) : step.name; }

template <typename J>
J* Child(J& parent, const Step& step) {
    if (parent.is_object()) {
        const auto found = parent.find(MemberName(step));
        return found == parent.end() ? nullptr : &*found;
    }
    const auto index = ArrayIndex(step);
    if (!index || *index >= parent.size()) return nullptr;
    return &parent[*index];
}

enum class Found { kValue, kAbsent, kFailed };

template <typename J>
struct Lookup {
    Found found = Found::kFailed;
    J* value = nullptr;
};

template <typename J>
Lookup<J> Resolve(J& root, bool rootAbsent, const Path& steps, std::size_t count) {
    J* current = rootAbsent ? nullptr : &root;
    for (std::size_t k = 0; k < count; ++k) {
        if (current == nullptr || !(current->is_object() || current->is_array())) {
            return {Found::kFailed, nullptr};
        }
        current = Child(*current, steps[k]);
    }
    return current == nullptr ? Lookup<J>{Found::kAbsent, nullptr} : Lookup<J>{Found::kValue, current};
}

// The value at path; nullptr when the query fails or finds nothing.
const Json* Find(const JsonDocument::State& state, const Path& steps) {
    return Resolve(state.value, state.absent, steps, steps.size()).value;
}

const Json* Find(const JsonDocument::State& state, std::string_view path) {
    const auto steps = ParsePath(path);
    return steps ? Find(state, *steps) : nullptr;
}

Json* FindMutable(JsonDocument::State& state, const Path& steps) {
    return Resolve(state.value, state.absent, steps, steps.size()).value;
}

// Stores value at path when the path's parent exists and holds members.
void Assign(JsonDocument::State& state, const Path& steps, Json value) {
    if (steps.empty()) {
        state.value = std::move(value);
        state.absent = false;
        return;
    }
    Json* parent = Resolve(state.value, state.absent, steps, steps.size() - 1).value;
    if (parent == nullptr) return;
    const Step& last = steps.back();
    if (parent->is_object()) {
        (*parent)[MemberName(last)] = std::move(value);
    } else if (parent->is_array()) {
        const auto index = ArrayIndex(last);
        if (!index || *index > parent->size() + kMaxGrowth) return;
        while (parent->size() <= *index) parent->push_back(nullptr);
        (*parent)[*index] = std::move(value);
    }
}

void Assign(JsonDocument::State& state, std::string_view path, Json value) {
    if (const auto steps = ParsePath(path); steps) Assign(state, *steps, std::move(value));
}

std::optional<Path> WithIndex(std::string_view path, int index) {
    auto steps = ParsePath(path);
    if (steps) steps->push_back(IndexStep(index));
    return steps;
}

// Runs a query or a change; anything a library throws becomes the empty result.
template <typename F, typename R>
R Guarded(F&& body, R fallback) {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <typename F>
void Guarded(F&& body) {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace

JsonDocument::JsonDocument(Variant variant) : m_variant(variant), m_state(std::make_unique<State>()) {}
JsonDocument::~JsonDocument() = default;
JsonDocument::JsonDocument(const JsonDocument& other)
    : m_variant(other.m_variant), m_state(std::make_unique<State>(*other.m_state)) {}
JsonDocument& JsonDocument::operator=(const JsonDocument& other) {
    if (this != &other) {
        m_variant = other.m_variant;
        *m_state = *other.m_state;
    }
    return *this;
}
// A moved-from document is left empty ({}), still usable.
JsonDocument::JsonDocument(JsonDocument&& other) : m_variant(other.m_variant), m_state(std::make_unique<State>()) {
    std::swap(m_state, other.m_state);
}
JsonDocument& JsonDocument::operator=(JsonDocument&& other) noexcept {
    if (this != &other) {
        m_variant = other.m_variant;
        std::swap(m_state, other.m_state);
    }
    return *this;
}

void JsonDocument::Create() { Clear(); }

bool JsonDocument::Parse(std::string_view text) {
    return Guarded([&] {
        Json value;
        const ReadResult result = Read(text, value);
        m_state->absent = result == ReadResult::kAbsent;
        m_state->value = result == ReadResult::kValue ? std::move(value) : Json(nullptr);
        return result == ReadResult::kValue && !m_state->value.is_null();
    }, false);
}

Text JsonDocument::ToText() const { return m_state->absent ? Text() : Dump(m_state->value); }

void JsonDocument::SetText(std::string_view key, std::string_view value, bool raw) {
    Guarded([&] {
        if (!raw) {
            Assign(*m_state, key, StringValue(value));
        } else if (auto denoted = ReadRaw(value.empty() ? std::string_view("{}") : value); denoted) {
            Assign(*m_state, key, std::move(*denoted));
        }
    });
}

void JsonDocument::SetRaw(std::string_view key, std::string_view value) {
    Guarded([&] {
        if (auto denoted = ReadRaw(value); denoted) Assign(*m_state, key, std::move(*denoted));
    });
}

void JsonDocument::SetNumber(std::string_view key, double number) {
    Guarded([&] { Assign(*m_state, key, Json(number)); });
}

double JsonDocument::GetNumber(std::string_view key) const {
    return Guarded([&] {
        const Json* value = Find(*m_state, key);
        if (value == nullptr) return 0.0;
        if (value->is_number()) return value->get<double>();
        if (value->is_boolean()) return value->get<bool>() ? 1.0 : 0.0;
        if (value->is_string()) {
            const std::string& text = value->get_ref<const Json::string_t&>();
            const std::string_view trimmed = std::string_view(text).substr(
                std::min(text.size(), text.find_first_not_of(" \t\r\n")));
            double number = 0;
            const auto end = trimmed.data() + trimmed.find_last_not_of(" \t\r\n") + 1;
            const auto result = std::from_chars(trimmed.data(), end, number);
            return result.ec == std::errc() && result.ptr == end && !trimmed.empty() ? number : 0.0;
        }
        return 0.0;
    }, 0.0);
}

Text JsonDocument::GetJson(std::string_view key) const { return GetText(key, true); }

Text JsonDocument::GetText(std::string_view path, bool asJson) const {
    return Guarded([&] {
        const Json* value = Find(*m_state, path);
        if (value == nullptr) return Text();
        return asJson ? Dump(*value) : ValueText(*value);
    }, Text());
}

JsonDocument JsonDocument::GetObject(std::string_view path) const {
    JsonDocument copy(m_variant);
    Guarded([&] {
        const Json* value = Find(*m_state, path);
        copy.m_state->absent = value == nullptr;
        copy.m_state->value = value == nullptr ? Json(nullptr) : *value;
    });
    return copy;
}

int JsonDocument::Count(std::string_view path) const {
    return Guarded([&] {
        const Json* value = Find(*m_state, path);
        if (value == nullptr) return 0;
        const bool counted = value->is_array() || (value->is_object() && m_variant == Variant::kTranslation);
        return counted ? static_cast<int>(std::min<std::size_t>(value->size(), INT_MAX)) : 0;
    }, 0);
}

void JsonDocument::Push(std::string_view value, std::string_view path, bool raw) {
    Guarded([&] {
        std::optional<Json> item = raw ? ReadRaw(value) : std::optional<Json>(StringValue(value));
        if (!item) return;
        const auto steps = ParsePath(path);
        if (!steps) return;
        if (Json* target = FindMutable(*m_state, *steps); target != nullptr && target->is_array()) {
            target->push_back(std::move(*item));
        } else {
            Assign(*m_state, *steps, Json::array({std::move(*item)}));
        }
    });
}

JsonDocument JsonDocument::MemberObject(int index, std::string_view path) const {
    JsonDocument copy(m_variant);
    Guarded([&] {
        const auto steps = WithIndex(path, index);
        const Json* value = steps ? Find(*m_state, *steps) : nullptr;
        copy.m_state->absent = value == nullptr;
        copy.m_state->value = value == nullptr ? Json(nullptr) : *value;
    });
    return copy;
}

Text JsonDocument::MemberText(int index, std::string_view path, bool asJson) const {
    return Guarded([&] {
        const auto steps = WithIndex(path, index);
        const Json* value = steps ? Find(*m_state, *steps) : nullptr;
        if (value == nullptr) return Text();
        return asJson ? Dump(*value) : ValueText(*value);
    }, Text());
}

void JsonDocument::SetMember(int index, std::string_view value, bool raw) {
    Guarded([&] {
        std::optional<Json> item = raw ? ReadRaw(value) : std::optional<Json>(StringValue(value));
        if (item) Assign(*m_state, Path{IndexStep(index)}, std::move(*item));
    });
}

void JsonDocument::RemoveMember(int index) {
    Guarded([&] {
        Json& root = m_state->value;
        if (!m_state->absent && root.is_array() && index >= 0 && static_cast<std::size_t>(index) < root.size()) {
            root.erase(static_cast<std::size_t>(index));
        }
    });
}

void JsonDocument::RemoveAt(std::string_view path) {
    Guarded([&] {
        if (GbkFind(path, "[") == kNoPos) return;
        const auto steps = ParsePath(TextLeftOf(path, "["));
        const long long index = TextToInt(TextBetween(path, "[", "]"));
        Json* target = steps ? FindMutable(*m_state, *steps) : nullptr;
        if (target != nullptr && target->is_array() && index >= 0 && static_cast<std::size_t>(index) < target->size()) {
            target->erase(static_cast<std::size_t>(index));
        }
    });
}

void JsonDocument::Delete(std::string_view key) {
    Guarded([&] {
        const auto steps = ParsePath(key);
        if (!steps || steps->empty()) return;
        Json* parent = Resolve(m_state->value, m_state->absent, *steps, steps->size() - 1).value;
        if (parent == nullptr) return;
        if (parent->is_object()) {
            parent->erase(MemberName(steps->back()));
        } else if (Json* element = parent->is_array() ? Child(*parent, steps->back()) : nullptr; element) {
            *element = nullptr;
        }
    });
}

void JsonDocument::ResetAs(int kind) {
    if (kind == 0 || kind == kObject) {
        Clear();
    } else if (kind == kArray) {
        m_state->value = Json::array();
        m_state->absent = false;
    }
}

void JsonDocument::SetWhole(std::string_view value, bool raw) {
    Guarded([&] {
        std::optional<Json> whole = raw ? ReadRaw(value) : std::optional<Json>(StringValue(value));
        if (whole) Assign(*m_state, Path{}, std::move(*whole));
    });
}

bool JsonDocument::Has(std::string_view key) const {
    return Guarded([&] {
        const Json* value = Find(*m_state, key);
        return value != nullptr && !value->is_null();
    }, false);
}

int JsonDocument::Keys(std::vector<Text>& list, std::string_view path) const {
    list.clear();
    return Guarded([&] {
        const Json* value = Find(*m_state, path);
        if (value == nullptr) return 0;
        if (value->is_array()) {
            for (std::size_t k = 0; k < value->size(); ++k) list.push_back(std::to_string(k));
        } else if (value->is_object()) {
            // Names that are array indexes come first in ascending order, the rest as they were added.
            std::vector<std::pair<std::size_t, Text>> indexNames;
            std::vector<Text> otherNames;
            for (const auto& member : value->items()) {
                const auto index = ArrayIndex(Step{false, 0, member.key()});
                if (index && *index < 0xFFFFFFFFull) indexNames.emplace_back(*index, ToGbk(member.key()));
                else otherNames.push_back(ToGbk(member.key()));
            }
            std::sort(indexNames.begin(), indexNames.end());
            for (auto& name : indexNames) list.push_back(std::move(name.second));
            for (auto& name : otherNames) list.push_back(std::move(name));
        }
        return static_cast<int>(std::min<std::size_t>(list.size(), INT_MAX));
    }, 0);
}

int JsonDocument::TypeOf(std::string_view path) const {
    return Guarded([&] {
        const auto steps = ParsePath(path);
        if (!steps) return kFailed;
        const auto lookup = Resolve(m_state->value, m_state->absent, *steps, steps->size());
        if (lookup.found == Found::kFailed) return kFailed;
        if (lookup.found == Found::kAbsent) return kAbsentOrNull;
        switch (lookup.value->type()) {
            case Json::value_t::null: return kAbsentOrNull;
            case Json::value_t::boolean: return kBoolean;
            case Json::value_t::number_integer:
            case Json::value_t::number_unsigned:
            case Json::value_t::number_float: return kNumber;
            case Json::value_t::object: return kObject;
            case Json::value_t::array: return kArray;
            case Json::value_t::string: return kString;
            default: return kFailed;
        }
    }, kFailed);
}

void JsonDocument::Clear() {
    m_state->value = Json::object();
    m_state->absent = false;
}

}  // namespace lanque
