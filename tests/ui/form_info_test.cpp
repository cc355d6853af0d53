// SPDX-License-Identifier: GPL-3.0-or-later
#include "recovery/ui/form_info.h"

#include "base/errors.h"
#include "platform/dialogs.h"
#include "record/pipeline.h"
#include "recovery/found_recording.h"
#include "support/caption_fit.h"
#include "support/record_harness.h"
#include "support/recording_dialogs.h"
#include "support/temp_dir.h"

#include <QFontInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Runs what the test gives it whenever the load lets pending messages run.
struct TestPump : base::EventPump {
    void ProcessMessages() override {
        if (pending) {
            pending();
        }
    }
    std::function<void()> pending;
};

class FormInfoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder.DiscardRecording(); // the current take, empty
        std::ofstream(dir.file("test"), std::ios::binary) << std::string(3 * 17640, '\x40');
        form.show();
    }

    testsupport::TempDir dir;
    testsupport::RecorderRig rig;
    record::Recorder recorder{rig.Ports(), rig.events, {dir.file("Velmar.raw"), 0}};
    testsupport::RecordingDialogs dialogs;
    TestPump pump;
    recovery::RecorderTakeHolder take{recorder};
    base::SystemFileSystem fileSystem;
    recovery::Recovery found{take, fileSystem, pump, {dir.file("test"), dir.file("Velmar.spv")}};
    TFormInfo form{found, dialogs};
};

TEST_F(FormInfoTest, TextsButtonsAndHiddenProgress) {
    EXPECT_EQ(form.windowTitle(), "Velmar Recorder");
    EXPECT_EQ(form.size(), QSize(341, 179));
    EXPECT_EQ(form.LabMessage->text(), "Velmar Recorder has found the recorded waveform:");
    EXPECT_EQ(form.LabQuestion->text(), "What do you want to do with the recorded waveform?");
    EXPECT_EQ(form.BtnLoad->text(), "Load");
    EXPECT_EQ(form.BtnDiscard->text(), "Discard");
    EXPECT_FALSE(form.BtnLoad->icon().isNull() || form.BtnDiscard->icon().isNull());
    EXPECT_TRUE(form.ProgressBar1->isHidden() && form.LabProgress->isHidden());
    EXPECT_EQ(form.LabProgress->text(), "");
    EXPECT_EQ(form.ProgressBar1->maximum(), 100);
    EXPECT_EQ(form.Timer1->interval(), 100);
    EXPECT_TRUE(form.Timer1->isActive()); // shown by the fixture
    form.hide();
    EXPECT_FALSE(form.Timer1->isActive()) << "a hidden window does not tick";
    form.show();
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(QFontInfo(form.LabMessage->font()).family().toStdString(), "Liberation Sans");
    EXPECT_EQ(testsupport::CaptionsThatDoNotFit(&form).join("; ").toStdString(), "");
    form.Timer1Timer();
    EXPECT_EQ(form.LabProgress->text(), "Loading...0.0%");
    EXPECT_TRUE(form.LabProgress->isHidden()) << "shown only by a scan";
}

TEST_F(FormInfoTest, LoadShowsTheScanToOneHundredPercentAndCloses) {
    bool shownDuringScan = false, openDuringScan = true;
    std::vector<QString> texts;
    pump.pending = [&] {
        form.Timer1Timer();
        texts.push_back(form.LabProgress->text());
        shownDuringScan = !form.ProgressBar1->isHidden() && !form.LabProgress->isHidden();
        form.close(); // the close box and Escape wait for the load
        QTest::keyClick(&form, Qt::Key_Escape);
        openDuringScan = openDuringScan && form.isVisible() && !form.BtnDiscard->isEnabled();
    };
    QTest::mouseClick(form.BtnLoad, Qt::LeftButton);
    EXPECT_TRUE(shownDuringScan);
    EXPECT_TRUE(openDuringScan);
    EXPECT_EQ(texts,
              (std::vector<QString>{"Loading...33.3%", "Loading...66.7%", "Loading...100.0%"}));
    EXPECT_EQ(form.LabProgress->text(), "Loading...100.0%");
    EXPECT_EQ(form.ProgressBar1->value(), 100);
    EXPECT_EQ(testsupport::CaptionsThatDoNotFit(&form).join("; ").toStdString(), "");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(recorder.TakeFile().Path(), dir.file("test"));
    EXPECT_EQ(recorder.TakeBlocks(), 3u);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(FormInfoTest, DiscardAndTheCloseBoxChangeNothing) {
    for (bool closeBox : {false, true}) {
        form.show();
        closeBox ? void(form.close()) : QTest::mouseClick(form.BtnDiscard, Qt::LeftButton);
        EXPECT_FALSE(form.isVisible()) << closeBox;
        EXPECT_EQ(recorder.TakeFile().Path(), dir.file("Velmar.raw")) << closeBox;
        EXPECT_EQ(fs::file_size(dir.file("test")), 3u * 17640);
        EXPECT_FALSE(fs::exists(dir.file("Velmar.spv")));
    }
}

// What the window shows when the load cannot open the file, or loads only part of it; either
// way the window closes and the editor goes on with what the load left.
struct LoadOutcome {
    const char* name;
    void (*make)(const std::string& test, const std::string& peaks);
    const char* error;  // a part of the one error box, or empty for none
    const char* notice; // a part of the one message box, or empty for none
    bool loaded;        // the found recording became the recording
};
class FormInfoLoad : public FormInfoTest, public ::testing::WithParamInterface<LoadOutcome> {};

TEST_P(FormInfoLoad, ShowsWhatTheLoadSaysAndCloses) {
    const LoadOutcome c = GetParam();
    fs::remove(dir.file("test"));
    c.make(dir.file("test"), dir.file("Velmar.spv"));
    QTest::mouseClick(form.BtnLoad, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    auto shows = [](const QStringList& boxes, const char* part) {
        return *part ? boxes.size() == 1 && boxes[0].contains(part) : boxes.isEmpty();
    };
    EXPECT_TRUE(shows(dialogs.errors, c.error)) << dialogs.errors.join("|").toStdString();
    EXPECT_TRUE(shows(dialogs.messages, c.notice)) << dialogs.messages.join("|").toStdString();
    for (const QStringList* boxes : {&dialogs.errors, &dialogs.messages}) {
        for (const QString& box : *boxes) {
            EXPECT_TRUE(box.contains(QString::fromStdString(dir.file("test"))))
                << "names the file: " << box.toStdString();
        }
    }
    EXPECT_EQ(recorder.TakeFile().Path(), dir.file(c.loaded ? "test" : "Velmar.raw"));
    EXPECT_EQ(recorder.TakeBlocks(), c.loaded ? uint32_t(base::PeakArrayLength) : 0u);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, FormInfoLoad,
    ::testing::Values(
        LoadOutcome{"AFolderCannotBeOpened",
                    [](const std::string& test, const std::string&) { fs::create_directory(test); },
                    "Is a directory", "", false},
        // Longer than the peak tables hold; its peak file is there, so nothing is scanned.
        LoadOutcome{"OverTenHoursLoadsTheFirstTen",
                    [](const std::string& test, const std::string& peaks) {
                        std::ofstream(test, std::ios::binary).flush();
                        fs::resize_file(test, (uint64_t(base::PeakArrayLength) + 5) * 17640);
                        std::ofstream(peaks, std::ios::binary)
                            << std::string(8 * size_t(base::PeakArrayLength), '\0');
                        recovery::MarkPeakFileAs(peaks, test);
                    },
                    "", "only its first 10 hours were loaded", true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
