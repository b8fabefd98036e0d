#include "script/script_host.h"

#include "script/token.h"

namespace lanque {

struct ScriptHost::EngineState {
    Text language = "JScript";
    long long timeout = -1;
    long long state = 0;
    bool allowUI = false;
    long long siteWindow = 0;
    bool tokenScriptLoaded = false;
    Text error;
};

namespace {

constexpr std::size_t kMaxArguments = 6;

std::string_view TrimBlanks(std::string_view code) {
    const auto first = code.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return code.substr(first, code.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

ScriptHost::ScriptHost() : m_engine(std::make_shared<EngineState>()) {}
ScriptHost::~ScriptHost() = default;

bool ScriptHost::ExecuteStatement(std::string_view code) {
    AddCode(code);
    return m_engine->error.empty();
}

void ScriptHost::AddCode(std::string_view code) {
    EngineState& engine = *m_engine;
    engine.error.clear();
    const std::string_view statements = TrimBlanks(code);
    if (statements.empty()) return;
    if (engine.language == "JScript" && statements == TrimBlanks(kTokenScript)) {
        engine.tokenScriptLoaded = true;
        return;
    }
    engine.error = "脚本引擎只能运行翻译令牌脚本";
}

Text ScriptHost::Eval(std::string_view) {
    m_engine->error = "脚本引擎不能计算表达式";
    return {};
}

void ScriptHost::Reset() {
    m_engine->tokenScriptLoaded = false;
    m_engine->error.clear();
}

Text ScriptHost::ErrorText() const { return m_engine->error; }

ScriptHost::EngineRef ScriptHost::Engine() const { return m_engine; }

Text ScriptHost::Run(std::string_view name, std::initializer_list<std::string_view> arguments) {
    EngineState& engine = *m_engine;
    engine.error.clear();
    if (arguments.size() > kMaxArguments) {
        engine.error = "参数太多";
        return {};
    }
    if (name != "tk" || !engine.tokenScriptLoaded) {
        engine.error = "函数未定义: " + Text(name);
        return {};
    }
    if (arguments.size() == 0) {
        engine.error = "缺少参数: tk";  // the script reads its argument's length
        return {};
    }
    return TokenOfText(*arguments.begin());
}

Text ScriptHost::Language(std::optional<int> choice) {
    const int value = choice.value_or(0);
    if (value == 0) m_engine->language = "JScript";
    else if (value == 1) m_engine->language = "vbs";
    return m_engine->language;
}

long long ScriptHost::Timeout(std::optional<int> milliseconds) {
    m_engine->timeout = milliseconds.value_or(-1);
    return m_engine->timeout;
}

long long ScriptHost::State(std::optional<int> value) {
    if (value) m_engine->state = *value;
    return m_engine->state;
}

bool ScriptHost::AllowUI(std::optional<bool> value) {
    if (value) m_engine->allowUI = *value;
    return m_engine->allowUI;
}

long long ScriptHost::SiteWindow(std::optional<long long> windowHandle) {
    if (windowHandle) m_engine->siteWindow = *windowHandle;
    return m_engine->siteWindow;
}

}  // namespace lanque
