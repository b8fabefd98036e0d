#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "text/text.h"

// One JSON value queried by path. Texts in and out are GBK; inside, strings are Unicode.
//
// A path is appended to the root: directly when it begins with "[", after a "." otherwise, so "str" is
// the root's member str, "a.b[0]" the first element of a's member b, "[0][2][0]" a nested array element,
// and "['key']" a member by a quoted name. An empty path is the root. A step into a missing member, into
// null or into a value that has no members makes the whole query fail; a failed query gives the empty
// result of its type (empty text, 0, false). No operation throws.
//
// The reader takes standard JSON and arrays with elided members ([1,,2], whose middle element reads as
// absent, and a trailing comma before "]"). The text is only ever read as data.
namespace lanque {

class JsonDocument {
public:
    // Variant 1 reads the rewriting service's replies, variant 2 the translation replies; they differ in
    // Count of a plain object (0 in variant 1, its member count in variant 2).
    enum class Variant { kGeneral = 1, kTranslation = 2 };

    // Kinds of TypeOf; ResetAs takes kObject (or 0) and kArray.
    static constexpr int kAbsentOrNull = 0;
    static constexpr int kBoolean = 1;
    static constexpr int kNumber = 2;
    static constexpr int kObject = 4;
    static constexpr int kArray = 5;
    static constexpr int kString = 6;
    static constexpr int kFailed = -1;

    explicit JsonDocument(Variant variant = Variant::kGeneral);
    ~JsonDocument();
    JsonDocument(const JsonDocument& other);
    JsonDocument& operator=(const JsonDocument& other);
    JsonDocument(JsonDocument&& other);
    JsonDocument& operator=(JsonDocument&& other) noexcept;

    Variant variant() const { return m_variant; }

    // The value becomes an empty object, as after construction.
    void Create();
    // Replaces the value by the one the text denotes; true when that is neither null nor absent. Text that
    // cannot be read leaves the value null; empty text leaves it absent.
    bool Parse(std::string_view text);
    // The value as compact JSON; empty text when it is absent.
    Text ToText() const;

    // The member key becomes the string value, or with raw the value the value text denotes ("{}" when
    // empty). A value text that cannot be read sets nothing.
    void SetText(std::string_view key, std::string_view value, bool raw = false);
    void SetRaw(std::string_view key, std::string_view value);
    void SetNumber(std::string_view key, double number);
    // A number, a boolean as 1 or 0, a string that holds exactly a number; 0 otherwise.
    double GetNumber(std::string_view key) const;
    Text GetJson(std::string_view key) const;
    // The target as text: a string's characters, a number's decimal text (integers exactly); null, absent
    // or a failed query give empty text; a boolean gives "true" or "false", an object or array its JSON.
    // With asJson the target as compact JSON text.
    Text GetText(std::string_view path, bool asJson = false) const;
    // A new document (same variant) holding a copy of the target; absent when the query fails.
    JsonDocument GetObject(std::string_view path) const;
    // Element count of an array target; for an object 0 (variant 1) or its member count (variant 2);
    // 0 for anything else and for a failed query.
    int Count(std::string_view path = {}) const;
    // Makes the target an empty array unless it is one, then appends the string value (or with raw the
    // value its text denotes).
    void Push(std::string_view value, std::string_view path = {}, bool raw = false);
    JsonDocument MemberObject(int index, std::string_view path = {}) const;
    Text MemberText(int index, std::string_view path = {}, bool asJson = false) const;
    // Element index of the root becomes the string value, or with raw the value its text denotes.
    void SetMember(int index, std::string_view value, bool raw = false);
    // Removes element index of the root array; later elements move down.
    void RemoveMember(int index);
    // path is key[n]: removes element n of the array at key.
    void RemoveAt(std::string_view path);
    // Removes the member key (an array element becomes absent, as a deleted element does).
    void Delete(std::string_view key);
    // Kind 0 or 4: the value becomes {}; 5: []; other kinds change nothing.
    void ResetAs(int kind);
    // The whole value becomes the string value, or with raw the value its text denotes.
    void SetWhole(std::string_view value, bool raw = false);
    // True when the member key exists and is not null.
    bool Has(std::string_view key) const;
    // Replaces list by the names of the target's members in enumeration order (index-like names first,
    // ascending, then the rest in insertion order; an array's indexes); returns their count.
    int Keys(std::vector<Text>& list, std::string_view path = {}) const;
    // One of the kinds above; kFailed for a failed query or an unreadable path.
    int TypeOf(std::string_view path = {}) const;
    // The value becomes {}.
    void Clear();

    // The value itself; opaque outside the implementation.
    struct State;

private:
    Variant m_variant;
    std::unique_ptr<State> m_state;
};

}  // namespace lanque
