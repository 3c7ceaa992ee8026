#pragma once

// Every image the windows load by resource id: its kind, pixel size, the look the artwork
// generator (gen_art.cpp) paints and the words it shows. This table is the one source of the
// artwork; the build paints each entry and embeds it as ":/res/<kind>/<id>.<ext>".
//
// Sizes follow the controls that show the images, at 1.5 pixels per dialog unit across and
// 1.625 down (rounded as the dialog manager rounds): feature buttons 59-60 x 27 units, side labels 31 x 165, home-screen bars
// 166 x 24, small navigation buttons 25-28 x 21. Page bitmap buttons size themselves to the
// image (113 x 22, Stop 42 x 22).

#include <array>
#include <cstdint>
#include <string_view>

namespace vellumin::res {

enum class Kind : std::uint8_t {
    Png,     // PNG with alpha, loaded through CGdiPlusBitmapResource
    Bitmap,  // opaque 24-bit bitmap (BMP)
    Icon,    // application icon (PNG at 256 x 256)
};

// How the generator paints an entry.
enum class Look : std::uint8_t {
    FeatureButton,      // main window's six feature buttons, normal
    FeatureButtonHi,    // ... highlight (hover and pressed)
    SideLabel,          // vertical page name beside the page area, transparent around it
    Divider,            // thin glowing line between drive list and page area
    NavButton,          // home / about / refresh, normal
    NavButtonHi,        // ... highlight
    HomeBar,            // home screen's feature bars, normal
    HomeBarHi,          // ... highlight
    Description,        // home screen's hover description strip
    PageButton,         // page bitmap button (blue), normal
    PageButtonPressed,  // ... pressed
    PageButtonDimmed,   // ... disabled
    SwitchButton,       // TRIM switch: white word on a grey-to-black gradient
    SwitchButtonPressed,
    MainBackground,     // main window client area
    HomeBackground,     // home screen client area
    AppIcon,
};

// Small pictures drawn beside or above the words.
enum class Glyph : std::uint8_t { None, House, Drive, Info, Refresh };

struct ResourceInfo {
    int id;
    Kind kind;
    int width;
    int height;
    Look look;
    Glyph glyph;
    std::string_view caption;  // the words the image shows ("" for none)
};

inline constexpr std::array kResources = {
    // Main window: feature buttons (normal / highlight).
    ResourceInfo{130, Kind::Png, 89, 44, Look::FeatureButton, Glyph::None, "Drive Info"},
    ResourceInfo{131, Kind::Png, 89, 44, Look::FeatureButton, Glyph::None, "S.M.A.R.T. Status"},
    ResourceInfo{132, Kind::Png, 89, 44, Look::FeatureButton, Glyph::None, "Diagnostic Scan"},
    ResourceInfo{133, Kind::Png, 89, 44, Look::FeatureButton, Glyph::None, "Secure Erase"},
    ResourceInfo{134, Kind::Png, 89, 44, Look::FeatureButton, Glyph::None, "Firmware Update"},
    ResourceInfo{135, Kind::Png, 89, 44, Look::FeatureButton, Glyph::None, "Trim Detect & Enable"},
    ResourceInfo{136, Kind::Png, 89, 44, Look::FeatureButtonHi, Glyph::None, "Drive Info"},
    ResourceInfo{137, Kind::Png, 89, 44, Look::FeatureButtonHi, Glyph::None, "S.M.A.R.T. Status"},
    ResourceInfo{138, Kind::Png, 89, 44, Look::FeatureButtonHi, Glyph::None, "Diagnostic Scan"},
    ResourceInfo{139, Kind::Png, 89, 44, Look::FeatureButtonHi, Glyph::None, "Secure Erase"},
    ResourceInfo{140, Kind::Png, 89, 44, Look::FeatureButtonHi, Glyph::None, "Firmware Update"},
    ResourceInfo{141, Kind::Png, 89, 44, Look::FeatureButtonHi, Glyph::None,
                 "Trim Detect & Enable"},
    // Main window: side labels of the current page.
    ResourceInfo{172, Kind::Png, 47, 268, Look::SideLabel, Glyph::None, "DRIVE"},
    ResourceInfo{173, Kind::Png, 47, 268, Look::SideLabel, Glyph::None, "S.M.A.R.T."},
    ResourceInfo{189, Kind::Png, 47, 268, Look::SideLabel, Glyph::None, "SCAN"},
    ResourceInfo{190, Kind::Png, 47, 268, Look::SideLabel, Glyph::None, "ERASE"},
    ResourceInfo{191, Kind::Png, 47, 268, Look::SideLabel, Glyph::None, "UPDATE"},
    ResourceInfo{192, Kind::Png, 47, 268, Look::SideLabel, Glyph::None, "TRIM"},
    // Main window: divider, navigation (home is shared with the home screen).
    ResourceInfo{160, Kind::Png, 9, 258, Look::Divider, Glyph::None, ""},
    ResourceInfo{161, Kind::Png, 38, 34, Look::NavButton, Glyph::House, "HOME"},
    ResourceInfo{162, Kind::Png, 38, 34, Look::NavButtonHi, Glyph::House, "HOME"},
    ResourceInfo{165, Kind::Png, 39, 34, Look::NavButton, Glyph::Info, "ABOUT"},
    ResourceInfo{166, Kind::Png, 39, 34, Look::NavButtonHi, Glyph::Info, "ABOUT"},
    ResourceInfo{170, Kind::Png, 42, 34, Look::NavButton, Glyph::Refresh, "REFRESH"},
    ResourceInfo{171, Kind::Png, 42, 34, Look::NavButtonHi, Glyph::Refresh, "REFRESH"},
    // Home screen: feature bars (normal / highlight).
    ResourceInfo{176, Kind::Png, 249, 39, Look::HomeBar, Glyph::None, "DRIVE"},
    ResourceInfo{177, Kind::Png, 249, 39, Look::HomeBarHi, Glyph::None, "DRIVE"},
    ResourceInfo{178, Kind::Png, 249, 39, Look::HomeBar, Glyph::None, "S.M.A.R.T."},
    ResourceInfo{179, Kind::Png, 249, 39, Look::HomeBarHi, Glyph::None, "S.M.A.R.T."},
    ResourceInfo{180, Kind::Png, 249, 39, Look::HomeBar, Glyph::None, "SCAN"},
    ResourceInfo{181, Kind::Png, 249, 39, Look::HomeBarHi, Glyph::None, "SCAN"},
    ResourceInfo{182, Kind::Png, 249, 39, Look::HomeBar, Glyph::None, "ERASE"},
    ResourceInfo{183, Kind::Png, 249, 39, Look::HomeBarHi, Glyph::None, "ERASE"},
    ResourceInfo{184, Kind::Png, 249, 39, Look::HomeBar, Glyph::None, "UPDATE"},
    ResourceInfo{185, Kind::Png, 249, 39, Look::HomeBarHi, Glyph::None, "UPDATE"},
    ResourceInfo{186, Kind::Png, 249, 39, Look::HomeBar, Glyph::None, "TRIM"},
    ResourceInfo{188, Kind::Png, 249, 39, Look::HomeBarHi, Glyph::None, "TRIM"},
    ResourceInfo{217, Kind::Png, 249, 39, Look::HomeBar, Glyph::None, "System Clone"},
    ResourceInfo{218, Kind::Png, 249, 39, Look::HomeBarHi, Glyph::None, "System Clone"},
    // Home screen: hover descriptions.
    ResourceInfo{193, Kind::Png, 249, 39, Look::Description, Glyph::Drive, "Drive Info"},
    ResourceInfo{194, Kind::Png, 249, 39, Look::Description, Glyph::None, "S.M.A.R.T. Status"},
    ResourceInfo{195, Kind::Png, 249, 39, Look::Description, Glyph::None, "Diagnostic Scan"},
    ResourceInfo{196, Kind::Png, 249, 39, Look::Description, Glyph::None, "Secure Erase"},
    ResourceInfo{197, Kind::Png, 249, 39, Look::Description, Glyph::None, "Firmware Update"},
    ResourceInfo{198, Kind::Png, 249, 39, Look::Description, Glyph::None,
                 "Trim Detect & Enable"},
    ResourceInfo{219, Kind::Png, 249, 39, Look::Description, Glyph::None, "System Clone"},
    // Scan page bitmap buttons.
    ResourceInfo{150, Kind::Bitmap, 113, 22, Look::PageButton, Glyph::None, "Quick Scan"},
    ResourceInfo{132, Kind::Bitmap, 113, 22, Look::PageButtonPressed, Glyph::None, "Quick Scan"},
    ResourceInfo{151, Kind::Bitmap, 113, 22, Look::PageButton, Glyph::None, "Full Scan"},
    ResourceInfo{149, Kind::Bitmap, 113, 22, Look::PageButtonPressed, Glyph::None, "Full Scan"},
    ResourceInfo{203, Kind::Bitmap, 42, 22, Look::PageButton, Glyph::None, "Stop"},
    ResourceInfo{202, Kind::Bitmap, 42, 22, Look::PageButtonPressed, Glyph::None, "Stop"},
    // Erase page bitmap buttons.
    ResourceInfo{157, Kind::Bitmap, 113, 22, Look::PageButton, Glyph::None, "Quick Erase"},
    ResourceInfo{156, Kind::Bitmap, 113, 22, Look::PageButtonPressed, Glyph::None, "Quick Erase"},
    ResourceInfo{159, Kind::Bitmap, 113, 22, Look::PageButton, Glyph::None, "Full Erase"},
    ResourceInfo{158, Kind::Bitmap, 113, 22, Look::PageButtonPressed, Glyph::None, "Full Erase"},
    // Firmware page download / cancel button.
    ResourceInfo{204, Kind::Bitmap, 113, 22, Look::PageButton, Glyph::None, "Download"},
    ResourceInfo{205, Kind::Bitmap, 113, 22, Look::PageButtonPressed, Glyph::None, "Download"},
    ResourceInfo{206, Kind::Bitmap, 113, 22, Look::PageButtonDimmed, Glyph::None, "Download"},
    ResourceInfo{207, Kind::Bitmap, 113, 22, Look::PageButton, Glyph::None, "Cancel"},
    ResourceInfo{208, Kind::Bitmap, 113, 22, Look::PageButtonPressed, Glyph::None, "Cancel"},
    ResourceInfo{209, Kind::Bitmap, 113, 22, Look::PageButtonDimmed, Glyph::None, "Cancel"},
    // TRIM page switch.
    ResourceInfo{152, Kind::Bitmap, 113, 22, Look::SwitchButton, Glyph::None, "Enable"},
    ResourceInfo{153, Kind::Bitmap, 113, 22, Look::SwitchButtonPressed, Glyph::None, "Enable"},
    ResourceInfo{154, Kind::Bitmap, 113, 22, Look::SwitchButton, Glyph::None, "Disable"},
    ResourceInfo{155, Kind::Bitmap, 113, 22, Look::SwitchButtonPressed, Glyph::None, "Disable"},
    // Window backgrounds (stretched to the 532 x 277 unit client area) and the icon.
    ResourceInfo{129, Kind::Bitmap, 800, 450, Look::MainBackground, Glyph::None, "Vellumin"},
    ResourceInfo{175, Kind::Bitmap, 800, 450, Look::HomeBackground, Glyph::None, "Vellumin"},
    ResourceInfo{128, Kind::Icon, 256, 256, Look::AppIcon, Glyph::None, "V"},
};

// The entry of that kind and id, or nullptr. PNG and bitmap ids are separate name spaces
// (132 is both a feature button PNG and a scan-page bitmap).
constexpr const ResourceInfo* Find(Kind kind, int id) {
    for (const auto& r : kResources) {
        if (r.kind == kind && r.id == id) {
            return &r;
        }
    }
    return nullptr;
}

constexpr bool IdsAreUnique() {
    for (size_t i = 0; i < kResources.size(); ++i) {
        for (size_t j = i + 1; j < kResources.size(); ++j) {
            if (kResources[i].kind == kResources[j].kind && kResources[i].id == kResources[j].id) {
                return false;
            }
        }
    }
    return true;
}
static_assert(IdsAreUnique(), "a resource id appears twice for one kind");

// Directory and file extension of a kind inside the embedded resources.
constexpr std::string_view KindDir(Kind kind) {
    switch (kind) {
        case Kind::Png: return "png";
        case Kind::Bitmap: return "bmp";
        case Kind::Icon: return "icon";
    }
    return "";
}
constexpr std::string_view KindExtension(Kind kind) {
    return kind == Kind::Bitmap ? "bmp" : "png";
}

}  // namespace vellumin::res
