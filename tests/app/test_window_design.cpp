#include <set>

#include <gtest/gtest.h>

#include "app/window_design.h"

namespace lanque {
namespace {

Endpoints TestEndpoints() {
    Endpoints endpoints;
    endpoints.site = "http://127.0.0.1:18600/";
    endpoints.apiDocs = "http://127.0.0.1:18600/api.html";
    endpoints.homePage = "http://127.0.0.1:18600/home.html";
    return endpoints;
}

TEST(WindowDesign, TitleTabsAndMenu) {
    WindowDesign design(TestEndpoints());
    EXPECT_EQ(
        design.Title(),
        Text("岚雀AI原创内容生成软件V5版本 -全网独家原创算法（非近义词伪原创）适合任何行业使用 官网：") +
            "http://127.0.0.1:18600/ 客服QQ" + kContactNumber);
    EXPECT_EQ(design.TabNames(), (std::vector<Text>{"软件首页", "原创生成", "内容采集", "使用说明"}));
    EXPECT_EQ(design.TabNames()[kStartTab], "内容采集");
    EXPECT_EQ(design.MenuItems(), (std::vector<Text>{"导入文件", "导入剪辑版", "-", "全选", "不选", "反选",
                                                     "-", "导出所有", "-", "清空"}));
}

TEST(WindowDesign, ControlsByName) {
    WindowDesign design(TestEndpoints());
    std::set<Text> names;
    for (const ControlDesign& control : design.Controls()) {
        EXPECT_TRUE(names.insert(control.name).second) << "twice: " << control.name;
    }
    EXPECT_EQ(names.size(), 64u);  // the window, the tab control and 62 controls on the tabs
    EXPECT_EQ(design.Find("没有这个控件"), nullptr);

    struct Case {
        Text name;
        ControlKind kind;
        int tab;
        Text parent;
        int x, y, width, height;
        Text defaultText;
        bool visible;
    };
    const Case cases[] = {
        {"窗口", ControlKind::Window, -1, "", 50, 50, 868, 631, design.Title(), true},
        {"选择夹1", ControlKind::TabControl, -1, "", 0, 0, 864, 584, "", true},
        {"超文本浏览框1", ControlKind::WebBrowser, 0, "", 0, 32, 864, 584, "http://127.0.0.1:18600/home.html",
         true},
        {"编辑框5", ControlKind::EditBox, 1, "", 414, 485, 34, 24, "1", true},
        {"编辑框6", ControlKind::EditBox, 1, "", 992, 216, 0, 0, "", false},
        {"编辑框7", ControlKind::EditBox, 1, "", 896, 184, 0, 0, "", false},
        {"按钮7", ControlKind::Button, 1, "", 1264, 168, 152, 80, "", true},
        {"编辑框_日志", ControlKind::EditBox, 2, "", 3, 432, 853, 145, "", true},
        {"拖放对象_列表内容采集", ControlKind::DropTarget, 2, "", 80, 152, 0, 0, "", false},
        {"选择框4", ControlKind::CheckBox, 2, "分组框1", 4, 163, 192, 24, "启动岚雀AI2.0 讯代理动态转发 ",
         true},
        {"标签16", ControlKind::Label, 2, "分组框1", 120, 80, 208, 24,
         Text("账号不存在可联系客服QQ") + kContactNumber, true},
        {"编辑框_Page", ControlKind::EditBox, 2, "分组框1", 134, 113, 48, 24, "5", true},
        {"编辑框_orderno代理", ControlKind::EditBox, 2, "分组框1", 60, 216, 160, 24, "ZF3125947360QwTbNe",
         true},
        {"按钮_启动", ControlKind::Button, 2, "分组框1", 160, 354, 80, 32, "启动", true},
        {"标签17", ControlKind::Label, 2, "分组框1", -40, -40, 72, 32, "当前版本V52", true},
        {"按钮6", ControlKind::Button, 3, "", 768, 144, 72, 32, "进入API", true},
    };
    for (const Case& c : cases) {
        const ControlDesign* control = design.Find(c.name);
        ASSERT_NE(control, nullptr) << c.name;
        EXPECT_EQ(control->kind, c.kind) << c.name;
        EXPECT_EQ(control->tab, c.tab) << c.name;
        EXPECT_EQ(control->parent, c.parent) << c.name;
        EXPECT_EQ((std::vector<int>{control->x, control->y, control->width, control->height}),
                  (std::vector<int>{c.x, c.y, c.width, c.height}))
            << c.name;
        EXPECT_EQ(control->defaultText, c.defaultText) << c.name;
        EXPECT_EQ(control->visible, c.visible) << c.name;
    }
    EXPECT_TRUE(design.Find("编辑框_日志")->multiLine);
}

TEST(WindowDesign, UsageText) {
    WindowDesign design(TestEndpoints());
    const Text& usage = design.UsageText();
    EXPECT_EQ(design.Find("编辑框1")->defaultText, usage);
    EXPECT_EQ(usage.rfind("使用说明：\r\n\r\n您只需将互联网的文章复制到待原创处理区", 0), 0u);
    const Text tail =
        Text(
            "支持开发者api调用处理，\r\n\r\n调用接口说明地址 http://127.0.0.1:18600/api.html   官方网址 "
            "http://127.0.0.1:18600/\r\n") +
        Text(14, ' ') + "可自行对接开发  客服QQ " + kContactNumber + " ";
    ASSERT_GE(usage.size(), tail.size());
    EXPECT_EQ(usage.substr(usage.size() - tail.size()), tail);
}

}  // namespace
}  // namespace lanque
