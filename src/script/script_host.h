#pragma once

#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>

#include "text/text.h"

// A script engine behind a small set of operations. The engine here is native: it knows one script, the
// translation token script (kTokenScript in script/token.h), and once that script has run, its function
// "tk" gives the token of its argument. Any other code is refused with an error text, so nothing from
// outside is ever run. A host and its copies share one engine and belong to one thread.
namespace lanque {

class ScriptHost {
public:
    struct EngineState;
    using EngineRef = std::shared_ptr<EngineState>;

    ScriptHost();  // language "JScript", no time limit
    ScriptHost(const ScriptHost& other) = default;  // shares the engine
    ScriptHost& operator=(const ScriptHost& other) = default;
    ~ScriptHost();

    // Runs the code in the global scope; true when no error is left afterwards. Only the token script
    // (or no code at all) runs; its functions stay defined until Reset.
    bool ExecuteStatement(std::string_view code);
    // Expressions are not evaluated by this engine: empty text and an error.
    Text Eval(std::string_view expression);
    // Forgets every definition and the last error.
    void Reset();
    // The last error's description; empty when the last call succeeded.
    Text ErrorText() const;
    EngineRef Engine() const;
    // Calls a defined global function with up to six texts; its result, or empty text and an error.
    Text Run(std::string_view name, std::initializer_list<std::string_view> arguments = {});
    // 0 or none: "JScript"; 1: "vbs"; anything else changes nothing. Returns the language now set.
    Text Language(std::optional<int> choice = std::nullopt);
    // Sets the time limit (none: -1, no limit); returns it.
    long long Timeout(std::optional<int> milliseconds = std::nullopt);
    long long State(std::optional<int> value = std::nullopt);
    bool AllowUI(std::optional<bool> value = std::nullopt);
    long long SiteWindow(std::optional<long long> windowHandle = std::nullopt);
    // Adds the code to the global module, as ExecuteStatement does.
    void AddCode(std::string_view code);
    void Noop() {}

private:
    EngineRef m_engine;
};

}  // namespace lanque
