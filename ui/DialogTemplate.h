#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vellumin::ui {

// What the framework creates for a template control when the window does not bind a control
// object of its own to the id.
enum class ControlKind : uint8_t {
    Static,       // text label (wraps like a Windows static)
    PushButton,   // ordinary push button with its caption
    ImageButton,  // owner-drawn button, drawn by the control bound to it (images, bitmaps)
    Edit,         // single-line edit
    ListView,     // report-view list
    Tab,          // tab control used as a page area
    Progress,     // progress bar
};

// Window styles that matter to this program.
enum ControlStyle : uint32_t {
    StyleNone = 0,
    Hidden = 1u << 0,          // created without WS_VISIBLE
    Disabled = 1u << 1,        // WS_DISABLED
    TabStop = 1u << 2,         // WS_TABSTOP
    Border = 1u << 3,          // WS_BORDER
    ReadOnly = 1u << 4,        // ES_READONLY
    AutoHScroll = 1u << 5,     // ES_AUTOHSCROLL
    NoColumnHeader = 1u << 6,  // LVS_NOCOLUMNHEADER
    SingleSel = 1u << 7,       // LVS_SINGLESEL
    ShowSelAlways = 1u << 8,   // LVS_SHOWSELALWAYS
    Report = 1u << 9,          // LVS_REPORT
    OwnerDraw = 1u << 10,      // BS_OWNERDRAW
    Bitmap = 1u << 11,         // BS_BITMAP (bitmap push button)
    Center = 1u << 12,         // SS_CENTER
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    int x, y, cx, cy;  // dialog units
    std::string_view text;
    uint32_t style = StyleNone;

    constexpr bool visible() const { return (style & Hidden) == 0; }
    constexpr bool enabled() const { return (style & Disabled) == 0; }
};

enum DialogStyle : uint32_t {
    DialogNone = 0,
    Child = 1u << 0,        // WS_CHILD, no caption: a page inside another window
    SysMenu = 1u << 1,      // WS_SYSMENU
    MinimizeBox = 1u << 2,  // WS_MINIMIZEBOX
};

// A dialog resource: its id, size in dialog units, caption and controls in creation order.
struct DialogTemplate {
    int id;
    int cx, cy;
    std::string_view caption;
    uint32_t style;
    std::span<const ControlTemplate> controls;

    constexpr const ControlTemplate* Find(int controlId) const {
        for (const auto& c : controls) {
            if (c.id == controlId) {
                return &c;
            }
        }
        return nullptr;
    }
};

}  // namespace vellumin::ui
