#include "app/window_design.h"

#include <algorithm>

namespace lanque {

namespace {

constexpr int kHome = 0;
constexpr int kGenerate = 1;
constexpr int kCollect = 2;
constexpr int kUsage = 3;
constexpr int kNoTab = -1;

Text MakeUsageText(const Endpoints& endpoints) {
    return Text(
               "使用说明：\r\n\r\n"
               "您只需将互联网的文章复制到待原创处理区，然后进行原创处理（本站全网独家原创算法，并非是市面上"
               "的垃圾近义词替换的伪原创）\r\n"
               "本站原创处理的内容原创率在百分之95以上，而且拥有高质量的可读性，支持批量处理！同时本站支持开"
               "发者api调用处理，\r\n\r\n") +
           "调用接口说明地址 " + endpoints.apiDocs + "   " + "官方网址 " + endpoints.site + "\r\n" +
           Text(14, ' ') + "可自行对接开发  客服QQ " + kContactNumber + " ";
}

}  // namespace

WindowDesign::WindowDesign(const Endpoints& endpoints)
    : m_title(Text("岚雀AI原创内容生成软件V5版本 -全网独家原创算法（非近义词伪原创）适合任何行业使用") + " " +
              "官网：" + endpoints.site + " " + "客服QQ" + kContactNumber),
      m_tabNames{"软件首页", "原创生成", "内容采集", "使用说明"},
      m_menuItems{"导入文件", "导入剪辑版", "-", "全选", "不选", "反选", "-", "导出所有", "-", "清空"},
      m_usageText(MakeUsageText(endpoints)) {
    using K = ControlKind;
    const Text group = "分组框1";
    m_controls = {
        {"窗口", K::Window, kNoTab, "", 50, 50, 868, 631, m_title, true, false},
        {"选择夹1", K::TabControl, kNoTab, "", 0, 0, 864, 584, "", true, false},
        // 软件首页
        {"超文本浏览框1", K::WebBrowser, kHome, "", 0, 32, 864, 584, endpoints.homePage, true, false},
        // 原创生成
        {"标签2", K::Label, kGenerate, "", 8, 40, 96, 24, "待原创处理的文章", true, false},
        {"编辑框2", K::EditBox, kGenerate, "", 8, 64, 416, 408, "", true, true},
        {"标签3", K::Label, kGenerate, "", 440, 40, 104, 24, "处理后的原创文章", true, false},
        {"编辑框3", K::EditBox, kGenerate, "", 432, 64, 424, 408, "", true, true},
        {"选择框3", K::CheckBox, kGenerate, "", 600, 40, 136, 24, "是否启动AI智能2.0", true, false},
        {"标签7", K::Label, kGenerate, "", 8, 488, 192, 16, "在网站上面可以支持文字+图片处理", true, false},
        {"按钮5", K::Button, kGenerate, "", 203, 484, 85, 36, "点击进入", true, false},
        {"标签5", K::Label, kGenerate, "", 360, 485, 48, 24, "处理次数", true, false},
        {"编辑框5", K::EditBox, kGenerate, "", 414, 485, 34, 24, "1", true, false},
        {"按钮1", K::Button, kGenerate, "", 456, 479, 80, 32, "开始生成", true, false},
        {"按钮2", K::Button, kGenerate, "", 552, 479, 96, 32, "批量导入文件", true, false},
        {"按钮4", K::Button, kGenerate, "", 656, 478, 96, 32, "选择保存目录", true, false},
        {"按钮3", K::Button, kGenerate, "", 760, 478, 96, 32, "一键批量处理", true, false},
        {"标签4", K::Label, kGenerate, "", 11, 512, 85, 16, "原创度检测数据", true, false},
        {"编辑框4", K::EditBox, kGenerate, "", 0, 527, 856, 48, "", true, true},
        {"编辑框6", K::EditBox, kGenerate, "", 992, 216, 0, 0, "", false, false},
        {"编辑框7", K::EditBox, kGenerate, "", 896, 184, 0, 0, "", false, false},
        {"按钮7", K::Button, kGenerate, "", 1264, 168, 152, 80, "", true, false},
        // 内容采集
        {"列表内容采集", K::ListView, kCollect, "", 0, 32, 520, 392, "", true, false},
        {"拖放对象_列表内容采集", K::DropTarget, kCollect, "", 80, 152, 0, 0, "", false, false},
        {"编辑框_日志", K::EditBox, kCollect, "", 3, 432, 853, 145, "", true, true},
        {"标签19", K::Label, kCollect, "", 760, 4, 80, 24, "当前版本V54", true, false},
        {"选择框1", K::CheckBox, kCollect, "", 1224, 360, 112, 24, "是否启动伪原创", true, false},
        {"分组框1", K::GroupBox, kCollect, "", 520, 32, 344, 392, "", true, false},
        // 分组框1
        {"选择框_启用伪原创", K::CheckBox, kCollect, group, 5, 8, 160, 24, "是否启动岚雀AI内容处理", true,
         false},
        {"选择框_启用中英转换", K::CheckBox, kCollect, group, 200, 8, 136, 24, "是否启动岚雀AI2.0", true,
         false},
        {"标签6", K::Label, kCollect, group, 5, 32, 27, 24, "账号", true, false},
        {"编辑框_User伪原创", K::EditBox, kCollect, group, 61, 32, 128, 24, "rdjek61139160", true, false},
        {"选择框2", K::CheckBox, kCollect, group, 202, 32, 128, 24, "是否启动标题AI处理", true, false},
        {"标签8", K::Label, kCollect, group, 5, 56, 40, 24, "secret", true, false},
        {"编辑框_secret伪原创", K::EditBox, kCollect, group, 61, 56, 128, 24, "a6c29e30d851f7b", true, false},
        {"选择框5", K::CheckBox, kCollect, group, 200, 56, 128, 24, "保存本地TXT文本", true, false},
        {"标签16", K::Label, kCollect, group, 120, 80, 208, 24,
         Text("账号不存在可联系客服QQ") + kContactNumber, true, false},
        {"标签11", K::Label, kCollect, group, 8, 83, 49, 24, "处理次数", true, false},
        {"编辑框_处理次数伪原创", K::EditBox, kCollect, group, 64, 83, 48, 24, "1", true, false},
        {"选择框6", K::CheckBox, kCollect, group, 200, 104, 136, 24, "是否启动所有关键词保存同个数据库", true,
         false},
        {"标签9", K::Label, kCollect, group, 8, 115, 128, 24, "每个关键词采集多少页", true, false},
        {"编辑框_Page", K::EditBox, kCollect, group, 134, 113, 48, 24, "5", true, false},
        {"选择框_启用代理", K::CheckBox, kCollect, group, 4, 142, 152, 18, "是否启动讯代理动态转发", true,
         false},
        {"选择框4", K::CheckBox, kCollect, group, 4, 163, 192, 24, "启动岚雀AI2.0 讯代理动态转发 ", true,
         false},
        {"标签20", K::Label, kCollect, group, -1, 184, 344, 24,
         "使用岚雀AI2.0内核必须启动岚雀AI2.0讯代理 否则会出现IP限制", true, false},
        {"标签13", K::Label, kCollect, group, 10, 216, 48, 24, "订单号", true, false},
        {"编辑框_orderno代理", K::EditBox, kCollect, group, 60, 216, 160, 24, "ZF3125947360QwTbNe", true,
         false},
        {"标签12", K::Label, kCollect, group, 10, 240, 40, 24, "secret", true, false},
        {"编辑框_secret代理", K::EditBox, kCollect, group, 58, 240, 208, 24, "", true, false},
        {"标签14", K::Label, kCollect, group, 10, 272, 50, 24, "采集线程", true, false},
        {"编辑框_采集线程", K::EditBox, kCollect, group, 66, 272, 48, 24, "1", true, false},
        {"标签15", K::Label, kCollect, group, 122, 276, 50, 24, "文章线程", true, false},
        {"编辑框_文章线程", K::EditBox, kCollect, group, 178, 276, 48, 24, "1", true, false},
        {"按钮_清空所有库文件", K::Button, kCollect, group, 8, 302, 96, 32, "清空所有库文件", true, false},
        {"按钮_清空链接表", K::Button, kCollect, group, 112, 302, 96, 32, "清空重复数据", true, false},
        {"按钮_打开保存路径", K::Button, kCollect, group, 8, 342, 96, 32, "打开保存路径", true, false},
        {"按钮_启动", K::Button, kCollect, group, 160, 354, 80, 32, "启动", true, false},
        {"按钮_暂停", K::Button, kCollect, group, 248, 352, 80, 32, "暂停", true, false},
        {"标签17", K::Label, kCollect, group, -40, -40, 72, 32, "当前版本V52", true, false},
        {"标签18", K::Label, kCollect, group, 464, 248, 80, 24, "", true, false},
        {"标签10", K::Label, kCollect, group, 728, 264, 344, 24, "", true, false},
        // 使用说明
        {"编辑框1", K::EditBox, kUsage, "", 0, 40, 856, 152, m_usageText, true, true},
        {"按钮6", K::Button, kUsage, "", 768, 144, 72, 32, "进入API", true, false},
        {"标签1", K::Label, kUsage, "", 8, 192, 840, 88,
         "岚雀AI原创文章生成网是全网独家最好的原创内容生成工具，为SEO优化者免费提供高质量原创内容生成服务，快"
         "速提升搜索引擎收录和关键词排名，SEO网站优化首选的站长工具，100%"
         "原创内容生成而并非伪原创（非近义词）处理，相关性原创文章一键生成，让天下再也没有难写的原创文章！",
         true, false},
        {"图片框1", K::PictureBox, kUsage, "", 62, 276, 706, 310, "", true, false},
    };
}

const ControlDesign* WindowDesign::Find(const Text& name) const {
    auto it = std::find_if(m_controls.begin(), m_controls.end(),
                           [&](const ControlDesign& c) { return c.name == name; });
    return it == m_controls.end() ? nullptr : &*it;
}

}  // namespace lanque
