#pragma once

#include <vector>

#include "http/endpoints.h"
#include "text/text.h"

namespace lanque {

enum class ControlKind {
    Window,
    TabControl,
    WebBrowser,
    Label,
    EditBox,
    CheckBox,
    Button,
    GroupBox,
    PictureBox,
    ListView,
    DropTarget,
};

// One control of the main window. Places are in pixels, relative to the tab page, or to the group box
// named as parent; the window and the tab control are on no tab (tab -1).
struct ControlDesign {
    Text name;
    ControlKind kind;
    int tab;
    Text parent;
    int x;
    int y;
    int width;
    int height;
    Text defaultText;
    bool visible;
    bool multiLine;
};

// The contact number shown in the title, the notes and the usage text.
inline constexpr const char* kContactNumber = "800012345";
// The tab selected when the window opens: "内容采集".
inline constexpr int kStartTab = 2;

// The main window's design: every control with its kind, place, size, default text and visibility,
// the title, the tab names, the list's popup menu and the usage text. One source for the window
// builder, the control board and the control-state file.
class WindowDesign {
public:
    // The addresses shown in the window (site, API documentation, home page) come from the endpoints.
    explicit WindowDesign(const Endpoints& endpoints);

    const Text& Title() const { return m_title; }
    const std::vector<Text>& TabNames() const { return m_tabNames; }
    const std::vector<ControlDesign>& Controls() const { return m_controls; }
    // The control of that name; nullptr when the window has none.
    const ControlDesign* Find(const Text& name) const;
    // The items of the list view's popup menu "菜单", "-" being a separator.
    const std::vector<Text>& MenuItems() const { return m_menuItems; }
    const Text& UsageText() const { return m_usageText; }

private:
    Text m_title;
    std::vector<Text> m_tabNames;
    std::vector<ControlDesign> m_controls;
    std::vector<Text> m_menuItems;
    Text m_usageText;
};

}  // namespace lanque
