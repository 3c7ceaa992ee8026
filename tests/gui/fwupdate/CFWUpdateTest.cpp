// The firmware-update page offscreen against the lab's loopback update service.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <QAbstractButton>

#include "pages/fwupdate/CFWUpdate.h"
#include "pages/fwupdate/CFolderDialog.h"
#include "platform/sim/SimPlatform.h"
#include "ui/MessageBox.h"
#include "ui/UiThread.h"

namespace vellumin::fwupdate {

namespace {

namespace fs = std::filesystem;
using P = CFWUpdate;

constexpr int kPageArea = 1020;
constexpr ui::ControlTemplate kMainControls[] = {
    {kPageArea, ui::ControlKind::Tab, 180, 75, 330, 190, ""}};
constexpr ui::DialogTemplate kMainTemplate{102,          520, 280, "Vellumin", ui::DialogNone,
                                           kMainControls};

// The default lab with the service's host replaced (for an unreachable one).
struct HostLab : platform::sim::SimPlatform {
    HostLab() : SimPlatform(platform::sim::DefaultLab()) {}
    std::string host;
    std::string UpdateServiceHost() override {
        return host.empty() ? LabUpdateServer().Host() : host;
    }
};

struct UpdatePageTest : ::testing::Test {
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vellumin-fwpage-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        main = std::make_unique<ui::Dialog>(kMainTemplate);
        main->Create(nullptr);
        page = new P(lab);  // owned by the page area
        page->CreatePage(main->Item(kPageArea));
        page->ShowWindow(true);
    }
    void TearDown() override {
        main.reset();
        fs::remove_all(folder);
    }

    const ata::IdentifyBlock& Identify(int slot) {
        identify[slot] = lab.Device(slot)->IdentifyData();
        return identify[slot];
    }
    void Query(int slot) {
        page->StartUpdateQuery(Identify(slot));
        WaitForEnd();
    }
    void WaitForEnd() {
        ui::WaitUntil([&] { return !page->IsBusy(); });
    }
    void Click(int id) { page->ItemAs<QAbstractButton>(id)->click(); }
    void ChooseFolder() {
        CFolderDialog::ScopedChooser chooser(
            [&](const std::string&) { return std::optional<std::string>(folder); });
        Click(P::IDC_BROWSE);
    }
    std::string Text(int id) { return page->ItemText(id); }
    void ExpectShown(std::initializer_list<int> ids, bool shown) {
        for (int id : ids) {
            EXPECT_EQ(page->IsItemShown(id), shown) << id;
        }
    }
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    // Starts the offered download and waits until some of it has arrived.
    void StartDownload() {
        boxes.Answer(ui::kIdYes);
        Query(3);
        ChooseFolder();
        Click(P::IDC_DOWNLOAD);
        ASSERT_TRUE(page->IsBusy());
        ui::WaitUntil([&] { return page->ProgressBar().GetPos() > 0 || !page->IsBusy(); });
    }

    HostLab lab;
    ui::ScriptedMessageBoxes boxes;
    ui::ScopedMessageBoxes scoped{boxes};
    std::unique_ptr<ui::Dialog> main;
    P* page = nullptr;
    std::string folder;
    ata::IdentifyBlock identify[16]{};
};

TEST_F(UpdatePageTest, QueryOutcomesOnTheStatusLine) {
    struct Case {
        int slot;
        int answer;  // to the confirmation box, 0: none expected
        const char* status;
        bool offer;
    };
    const Case cases[] = {
        {1, 0, fwupdate::kLatestText, false},  // current firmware
        {4, 0, fwupdate::kLatestText, false},  // reply without "P/N="
        {3, ui::kIdNo, fwupdate::kLatestText, false},
        {3, ui::kIdYes, fwupdate::kSelectFolderText, true},
    };
    for (const Case& c : cases) {
        boxes.Clear();
        if (c.answer != 0) {
            boxes.Answer(c.answer);
        }
        Query(c.slot);
        EXPECT_EQ(Text(P::IDC_STATUS), c.status) << c.slot;
        ExpectShown({P::IDC_FOLDER, P::IDC_BROWSE, P::IDC_DOWNLOAD}, c.offer);
        ExpectShown({P::IDC_PROGRESS}, false);
        ASSERT_EQ(boxes.Count(), c.answer != 0 ? 1u : 0u) << c.slot;
        if (c.answer != 0) {
            EXPECT_EQ(boxes.Shown()[0].caption, "Confirmation");
            EXPECT_EQ(boxes.Shown()[0].text, fwupdate::kConfirmationText);
            EXPECT_EQ(boxes.Shown()[0].flags, ui::mb::kYesNo | ui::mb::kIconInformation);
        }
    }
    EXPECT_NE(page->DownloadUrl().find("/fw/VQ41.bin"), std::string::npos);

    boxes.Clear();
    lab.host = "127.0.0.1:1";  // nobody listens there
    Query(3);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Shown()[0].caption, "Error");
    EXPECT_EQ(boxes.Shown()[0].flags, ui::mb::kOk | ui::mb::kIconStop);
    EXPECT_NE(boxes.Shown()[0].text.find("onnect"), std::string::npos) << boxes.Shown()[0].text;
    EXPECT_EQ(Text(P::IDC_STATUS), boxes.Shown()[0].text);
}

TEST_F(UpdatePageTest, OfferDownloadFinished) {
    boxes.Answer(ui::kIdYes);
    Query(3);
    EXPECT_EQ(Text(P::IDC_FOLDER), fwupdate::FolderFieldText(page->Folder()));
    ChooseFolder();
    EXPECT_EQ(Text(P::IDC_FOLDER), folder + "/");

    page->ShowItem(P::IDC_AHCI_NOTE, false);  // as the main window does for most models
    Click(P::IDC_DOWNLOAD);
    EXPECT_EQ(Text(P::IDC_STATUS), fwupdate::kDownloadingText);
    EXPECT_EQ(Text(P::IDC_DOWNLOAD), "Cancel");
    ExpectShown({P::IDC_PROGRESS, P::IDC_FOLDER, P::IDC_BROWSE, P::IDC_DOWNLOAD}, true);
    WaitForEnd();

    const std::string path = folder + "/VQ41.bin";
    EXPECT_EQ(Text(P::IDC_STATUS), "The file is downloaded at " + path + ".");
    ExpectShown({P::IDC_PROGRESS, P::IDC_FOLDER, P::IDC_BROWSE, P::IDC_DOWNLOAD}, false);
    ExpectShown({P::IDC_AHCI_NOTE, P::IDC_STATUS}, true);
    EXPECT_EQ(Text(P::IDC_DOWNLOAD), "Download");
    EXPECT_TRUE(page->IsItemEnabled(P::IDC_DOWNLOAD));
    int lower = 0, upper = 0;
    page->ProgressBar().GetRange(lower, upper);
    EXPECT_EQ(page->ProgressBar().GetPos(), upper);
    EXPECT_EQ(Files(), std::vector<std::string>{"VQ41.bin"});
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(bytes.size(), 1048576u);
    EXPECT_EQ(bytes.substr(0, 32), "VQ41 firmware image (simulated)\n");
}

TEST_F(UpdatePageTest, CancelAndLeavingEndTheDownloadWithoutAFile) {
    StartDownload();
    ASSERT_TRUE(page->IsBusy());
    Click(P::IDC_DOWNLOAD);  // the button reads Cancel now
    EXPECT_FALSE(page->IsItemEnabled(P::IDC_DOWNLOAD));
    WaitForEnd();
    EXPECT_EQ(Text(P::IDC_STATUS), fwupdate::kCancelledText);
    EXPECT_TRUE(page->IsItemEnabled(P::IDC_DOWNLOAD));
    EXPECT_TRUE(Files().empty());

    StartDownload();
    ASSERT_TRUE(page->IsBusy());
    page->StopAndWait();  // home or close box
    EXPECT_FALSE(page->IsBusy());
    EXPECT_TRUE(Files().empty());
    EXPECT_EQ(page->LastDownload().ending, fwupdate::DownloadEnding::Cancelled);
}

TEST_F(UpdatePageTest, DriveChangeDuringADownloadKeepsTheDownloadsStateUntilItEnds) {
    StartDownload();
    ASSERT_TRUE(page->IsBusy());
    const uint64_t runs = page->WorkerRuns();
    page->StartUpdateQuery(Identify(1));
    EXPECT_EQ(page->WorkerRuns(), runs) << "no second worker";
    EXPECT_EQ(Text(P::IDC_DOWNLOAD), "Cancel");
    EXPECT_EQ(Text(P::IDC_STATUS), fwupdate::kDownloadingText);
    Click(P::IDC_DOWNLOAD);
    page->StartUpdateQuery(Identify(1));  // the cancel asked for stands
    EXPECT_EQ(Text(P::IDC_DOWNLOAD), "Cancel");
    EXPECT_EQ(page->DownloadButton().CurrentLook(), ui::BitmapButton::Look::Disabled);
    WaitForEnd();
    EXPECT_EQ(page->LastDownload().ending, fwupdate::DownloadEnding::Cancelled);
    EXPECT_TRUE(Files().empty());
}

}  // namespace

}  // namespace vellumin::fwupdate
