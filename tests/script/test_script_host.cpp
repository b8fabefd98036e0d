#include "script/script_host.h"

#include <gtest/gtest.h>

#include "script/token.h"

namespace lanque {
namespace {

TEST(ScriptHost, TokenScriptDefinesTk) {
    ScriptHost host;
    ASSERT_TRUE(host.ExecuteStatement(kTokenScript));
    EXPECT_EQ(host.ErrorText(), "");
    EXPECT_EQ(host.Run("tk", {""}), "263193.145255");
    EXPECT_EQ(host.Run("tk", {"你好"}), "916876.773874");
    EXPECT_EQ(host.Run("tk", {"Hello", "ignored"}), "655597.799635");
    EXPECT_EQ(host.ErrorText(), "");
}

TEST(ScriptHost, RunFailsUntilTheFunctionIsDefined) {
    ScriptHost host;
    EXPECT_EQ(host.Run("tk", {"a"}), "");
    EXPECT_NE(host.ErrorText(), "");
    ASSERT_TRUE(host.ExecuteStatement("\r\n" + Text(kTokenScript) + "  "));
    EXPECT_EQ(host.Run("tk", {"a"}), "347446.228936");
    EXPECT_EQ(host.Run("TK", {"a"}), "");
    EXPECT_EQ(host.Run("tk"), "") << "tk needs its argument";
    EXPECT_EQ(host.Run("tk", {"1", "2", "3", "4", "5", "6", "7"}), "") << "at most six arguments";
    EXPECT_NE(host.ErrorText(), "");
    host.Reset();
    EXPECT_EQ(host.ErrorText(), "");
    EXPECT_EQ(host.Run("tk", {"a"}), "");
}

TEST(ScriptHost, OtherCodeIsNeverRun) {
    ScriptHost host;
    const char* codes[] = {"var x = 1;", "function tk(a) { return 'fake'; }", "while(true){}",
                           "function tkMix(a, ops) {"};
    for (const char* code : codes) {
        EXPECT_FALSE(host.ExecuteStatement(code)) << code;
        EXPECT_NE(host.ErrorText(), "") << code;
        EXPECT_EQ(host.Run("tk", {"a"}), "") << code;
    }
    EXPECT_TRUE(host.ExecuteStatement("   ")) << "no statements, no error";
    EXPECT_EQ(host.Eval("1+1"), "");
    EXPECT_NE(host.ErrorText(), "");
}

TEST(ScriptHost, LanguageAndPropertiesAndSharedEngine) {
    ScriptHost host;
    EXPECT_EQ(host.Language(), "JScript");
    EXPECT_EQ(host.Language(1), "vbs");
    EXPECT_EQ(host.Language(7), "vbs");
    EXPECT_FALSE(host.ExecuteStatement(kTokenScript)) << "the token script is JScript";
    EXPECT_EQ(host.Language(0), "JScript");
    EXPECT_EQ(host.Timeout(), -1);
    EXPECT_EQ(host.Timeout(5000), 5000);
    EXPECT_EQ(host.State(), 0);
    EXPECT_EQ(host.State(1), 1);
    EXPECT_TRUE(host.AllowUI(true));
    EXPECT_TRUE(host.AllowUI());
    EXPECT_EQ(host.SiteWindow(42), 42);

    ScriptHost copy = host;
    EXPECT_EQ(copy.Engine(), host.Engine());
    copy.AddCode(kTokenScript);
    EXPECT_EQ(host.Run("tk", {"a"}), "347446.228936") << "a copy shares the engine";
    ScriptHost other;
    EXPECT_NE(other.Engine(), host.Engine());
}

}  // namespace
}  // namespace lanque
