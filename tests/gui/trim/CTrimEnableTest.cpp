#include <memory>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QImage>

#include "pages/trim/CTrimEnable.h"
#include "platform/sim/SimPlatform.h"
#include "res/ResourcePath.h"

namespace vellumin::trim {

namespace {

using platform::sim::LabTrimCommand;
using P = CTrimEnable;

constexpr const char* kEnabled = "Status: TRIM is enabled on this system";
constexpr const char* kDisabled = "Status: TRIM is disabled on this system";

struct TrimPageTest : ::testing::Test {
    void Open(bool enabled, LabTrimCommand mode = LabTrimCommand::Works, uint8_t productType = 1) {
        platform::sim::LabDescription desc;
        desc.machine.trimEnabled = enabled;
        desc.machine.trimCommand = mode;
        desc.machine.os.version.productType = productType;
        lab = std::make_unique<platform::sim::SimPlatform>(std::move(desc));
        area = std::make_unique<QWidget>();
        page = new P(*lab);  // owned by the area
        page->CreatePage(area.get());
        page->ShowWindow(true);
    }
    QAbstractButton& Switch() { return *page->ItemAs<QAbstractButton>(P::IDC_SWITCH); }
    // The switch shows the normal image of the pair.
    bool ShowsImage(int id) {
        return Switch().grab().toImage().convertToFormat(QImage::Format_RGB32) ==
               res::LoadBitmap(id).toImage().convertToFormat(QImage::Format_RGB32);
    }

    ui::ScriptedMessageBoxes boxes;
    ui::ScopedMessageBoxes useBoxes{boxes};
    std::unique_ptr<platform::sim::SimPlatform> lab;
    std::unique_ptr<QWidget> area;
    P* page = nullptr;
};

TEST_F(TrimPageTest, EachClickSwitchesAndShowsWhatTheCommandReported) {
    Open(true);
    EXPECT_EQ(page->ItemText(P::IDC_OS_LINE), "Operating System: Windows 7 Service Pack 1");
    const struct {
        const char* status;
        const char* caption;
        int image;
        bool labEnabled;
    } states[] = {{kEnabled, "Disable TRIM", 154, true},
                  {kDisabled, "Enable TRIM", 152, false},
                  {kEnabled, "Disable TRIM", 154, true}};
    for (const auto& state : states) {
        EXPECT_EQ(page->ItemText(P::IDC_STATUS), state.status);
        EXPECT_EQ(Switch().text().toStdString(), state.caption);
        EXPECT_TRUE(page->IsItemShown(P::IDC_SWITCH));
        EXPECT_EQ(Switch().size(), QSize(113, 22));
        EXPECT_TRUE(ShowsImage(state.image)) << state.image;
        EXPECT_FALSE(ShowsImage(state.image == 154 ? 152 : 154));
        EXPECT_EQ(lab->Machine().trimEnabled, state.labEnabled);
        Switch().click();
    }
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(TrimPageTest, NotOfferedRunsNothingAndHidesTheSwitch) {
    Open(true, LabTrimCommand::CannotStart, 3);  // a server: a command would say "Launch failed"
    EXPECT_EQ(page->ItemText(P::IDC_OS_LINE),
              "Operating System: Windows Serser 2008 R2 Service Pack 1");
    EXPECT_EQ(page->ItemText(P::IDC_STATUS), "Your operating system does not support TRIM");
    EXPECT_FALSE(page->IsItemShown(P::IDC_SWITCH));
    EXPECT_EQ(boxes.Count(), 0u);
}

// Only a command that could not start says so in a box; one that ran but told nothing is
// reported by the status line alone. Either, on opening or after a switch, shows no state:
// never the one a switch asked for.
TEST_F(TrimPageTest, AStateThatCouldNotBeReadHidesTheSwitch) {
    const std::pair<LabTrimCommand, std::vector<std::string>> cases[] = {
        {LabTrimCommand::CannotStart, {"Launch failed"}},
        {LabTrimCommand::WritesNothing, {}},
        {LabTrimCommand::NoNumber, {}},
    };
    for (const bool switched : {false, true}) {
        for (const auto& [mode, messages] : cases) {
            boxes.Clear();
            Open(false, switched ? LabTrimCommand::Works : mode);
            if (switched) {
                lab->Machine().trimCommand = mode;
                Switch().click();
            }
            EXPECT_EQ(page->ItemText(P::IDC_STATUS),
                      "Status: the TRIM state of this system could not be read");
            EXPECT_FALSE(page->IsItemShown(P::IDC_SWITCH));
            EXPECT_EQ(page->TrimEnabled(), -1);
            EXPECT_EQ(boxes.Texts(), messages);
            EXPECT_FALSE(lab->Machine().trimEnabled);
        }
    }
    EXPECT_EQ(boxes.Shown().size(), 0u);
    Open(false, LabTrimCommand::CannotStart);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Shown()[0].caption, "Error");
    EXPECT_EQ(boxes.Shown()[0].flags, ui::mb::kOk | ui::mb::kIconStop);
}

}  // namespace

}  // namespace vellumin::trim
