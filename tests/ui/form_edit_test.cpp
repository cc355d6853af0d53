// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/form_edit.h"
#include "export/ui/save_flow_ui.h"

#include "app/ui/form_main.h"
#include "app/ui/started_run.h"
#include "base/event_pump.h"
#include "base/file_system.h"
#include "base/folders.h"
#include "editor/view_state.h"
#include "editor/wave_widget.h"
#include "export/encoder_library.h"
#include "export/save_flow.h"
#include "export/ui/form_save_settings.h"
#include "operations/editor.h"
#include "playback/playback.h"
#include "record/pipeline.h"
#include "recovery/ui/form_info.h"
#include "setup/settings.h"
#include "setup/startup.h"
#include "support/paint_log.h"
#include "support/record_harness.h"
#include "support/recording_dialogs.h"
#include "support/scripted_capture.h"
#include "support/scripted_output.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t TakeBlocks = 60;

// Left sample of position p's first frame: the take's block k holds 100 * k in every frame.
int16_t LeftAt(const operations::SoundSource& sound, uint32_t position, int frame = 0) {
    std::vector<unsigned char> block(base::BlockBytes);
    sound.ReadPosition(position, block.data());
    int16_t left;
    std::memcpy(&left, block.data() + 4 * frame, 2);
    return left;
}

void Select(operations::Editor& editor, uint32_t from, uint32_t to) {
    editor.Select({from, to, from});
}

// Runs what the test gives it whenever an operation lets pending messages run.
struct HookPump : base::EventPump {
    void ProcessMessages() override {
        if (hook) {
            hook();
        }
    }
    std::function<void()> hook;
};

// Also notes whether playback was running when each input box was asked.
class PromptDialogs : public testsupport::RecordingDialogs {
  public:
    QString InputBox(const QString& caption, const QString& prompt,
                     const QString& defaultText) override {
        playingWhenAsked.push_back(form && form->Playback().Playing());
        return RecordingDialogs::InputBox(caption, prompt, defaultText);
    }
    std::vector<bool> playingWhenAsked;
    const TFormEdit* form = nullptr; // whose playback to look at
};

// An editor over a stopped take of TakeBlocks blocks in a work folder of its own.
class FormEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        environment.WorkFolder = QString::fromStdString(dir.path());
        environment.paths = setup::WorkPathsFor(environment.WorkFolder);
        environment.SettingsFilePath = QString::fromStdString(dir.file("Velmar.INI"));
        recorder = std::make_unique<record::Recorder>(
            rig.Ports(), rig.events,
            record::RecorderConfig{environment.paths.RecordingFilePath.toStdString(), 0});
        WriteTake(TakeBlocks);
        // The editor's operations and its saves' progress window pump through `events`.
        events.hook = [this] {
            if (pump) {
                pump();
            }
        };
        form = std::make_unique<TFormEdit>(output, fileSystem, events, environment, settings,
                                           dialogs, launcher, *recorder);
        dialogs.form = form.get();
        form->TimerPlay->stop(); // the test is the clock
        form->show();
    }

    void TearDown() override {
        dialogs.form = nullptr;
        form.reset();
        recorder.reset();
    }

    // Blocks after `written` (but the last) get their peaks and no sound: the file stays sparse,
    // for a long take that is only viewed.
    void WriteTake(uint32_t blocks, uint32_t written = TakeBlocks) {
        record::State& r = Take();
        r.RecordingStream.Create(r.RecordingFilePath);
        std::vector<unsigned char> block(base::BlockBytes);
        for (uint32_t k = 1; k <= blocks; ++k) {
            const int16_t left = int16_t(100 * k), right = int16_t(-100 * k);
            if (k <= written || k == blocks) {
                for (int j = 0; j < base::BlockFrames; ++j) {
                    std::memcpy(block.data() + 4 * j, &left, 2);
                    std::memcpy(block.data() + 4 * j + 2, &right, 2);
                }
                r.RecordingStream.WriteBlock(k, block.data());
            }
            r.PeakMaxL[k] = r.PeakMinL[k] = left;
            r.PeakMaxR[k] = r.PeakMinR[k] = right;
        }
        r.FileBlocks = r.NewestBlock = blocks;
    }

    // The take the editor opens, as a recording left it.
    record::State& Take() { return record::RecorderProbe::Of(*recorder); }

    // A fresh session over the same take, as when the editor opens again.
    void Reopen(uint32_t blocks = TakeBlocks) {
        form->close();
        WriteTake(blocks);
        form->show();
    }

    // Starts Play All and lets the first tick queue its buffers.
    void StartPlayAll() {
        QTest::mouseClick(form->SBtnPlayAll, Qt::LeftButton);
        form->TimerPlayTimer();
    }

    // Form y of a row inside the wave area.
    int WaveY() const { return View().ViewTop + View().WaveTop + 10; }
    const editor::ViewState& View() const { return form->Wave->View(); }
    // The editor of the window's current opening.
    operations::Editor& E() { return *form->Editing(); }
    const operations::Selection& Marks() { return E().CurrentSelection(); }
    void Select(uint32_t from, uint32_t to) { ::Select(E(), from, to); }
    int16_t LeftAt(uint32_t position, int frame = 0) { return ::LeftAt(E(), position, frame); }

    testsupport::TempDir dir;
    testsupport::RecorderRig rig;
    std::unique_ptr<record::Recorder> recorder;
    testsupport::ScriptedOutput output;
    PromptDialogs dialogs;
    std::function<void()> pump;
    base::SystemFileSystem fileSystem;
    HookPump events;
    setup::Environment environment;
    setup::SettingsStore settings;
    testsupport::RecordingLauncher launcher;
    std::unique_ptr<TFormEdit> form;
};

// ---- every command reaches the engine, through its menu item, its button and its key --------

struct CommandCase {
    const char* name;
    const char* action;
    const char* button; // "" when the command has none
    const char* key;    // "" when the command has no shortcut
    const char* answer; // for the input box, "" when none is asked
    std::function<void(operations::Editor&)> setUp;
    std::function<bool(const operations::Editor&)> done;
    bool stopsPlayback = true; // every editing command does; Select All is none
};
void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

const CommandCase Commands[] = {
    {"Undo", "menuUndo", "SBtnUndo", "Ctrl+Z", "",
     [](operations::Editor& e) { Select(e, 11, 20), e.Delete(); },
     [](const operations::Editor& e) { return e.Blocks() == 60 && e.UndoLevel() == 0; }},
    {"Redo", "menuRedo", "SBtnRedo", "Ctrl+Y", "",
     [](operations::Editor& e) { Select(e, 11, 20), e.Delete(), e.Undo(); },
     [](const operations::Editor& e) { return e.Blocks() == 50 && e.UndoLevel() == 1; }},
    {"Cut", "menuCut", "SBtnCut", "Ctrl+X", "", [](operations::Editor& e) { Select(e, 11, 20); },
     [](const operations::Editor& e) {
         return e.Blocks() == 50 && e.ClipBlocks() == 10 && LeftAt(e, 11) == 2100;
     }},
    {"Copy", "menuCopy", "SBtnCopy", "Ctrl+C", "", [](operations::Editor& e) { Select(e, 11, 20); },
     [](const operations::Editor& e) {
         return e.Blocks() == 60 && e.ClipBlocks() == 10 && e.UndoLevel() == 0;
     }},
    {"Paste", "menuPaste", "SBtnPaste", "Ctrl+V", "",
     [](operations::Editor& e) { Select(e, 11, 20), e.Copy(), Select(e, 30, 30); },
     [](const operations::Editor& e) {
         return e.Blocks() == 70 && LeftAt(e, 31) == 1100 && LeftAt(e, 41) == 3100;
     }},
    {"Delete", "menuDelete", "SBtnDelete", "Del", "",
     [](operations::Editor& e) { Select(e, 11, 20); },
     [](const operations::Editor& e) { return e.Blocks() == 50 && LeftAt(e, 11) == 2100; }},
    {"SelectAll", "menuSelectAll", "", "Ctrl+A", "", [](operations::Editor&) {},
     [](const operations::Editor& e) {
         return e.CurrentSelection().SelStart == 1 && e.CurrentSelection().SelEnd == 60;
     },
     false},
    {"FadeIn", "menuFadeIn", "SBtnFadeIn", "", "", [](operations::Editor& e) { Select(e, 11, 20); },
     [](const operations::Editor& e) {
         return LeftAt(e, 11) == 0 && LeftAt(e, 20, 4409) == 2000 && LeftAt(e, 21) == 2100;
     }},
    {"FadeOut", "menuFadeOut", "SBtnFadeOut", "", "",
     [](operations::Editor& e) { Select(e, 11, 20); },
     [](const operations::Editor& e) { return LeftAt(e, 11) == 1100 && LeftAt(e, 20, 4409) == 0; }},
    {"Amplify", "menuAmplify", "SBtnAmplify", "", "250",
     [](operations::Editor& e) { Select(e, 11, 20); },
     [](const operations::Editor& e) { return LeftAt(e, 11) == 2750 && LeftAt(e, 21) == 2100; }},
    {"Normalize", "menuNormalize", "SBtnNormalize", "", "",
     [](operations::Editor& e) { Select(e, 11, 20); },
     [](const operations::Editor& e) { return LeftAt(e, 20) == 32767 && LeftAt(e, 10) == 1000; }},
    {"InsertSilence", "menuSilence", "SBtnSilence", "", "1.2",
     [](operations::Editor& e) { Select(e, 5, 5); },
     [](const operations::Editor& e) {
         return e.Blocks() == 72 && LeftAt(e, 6) == 0 && LeftAt(e, 18) == 600;
     }},
};

class EditorCommand : public FormEditTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(EditorCommand, ReachesTheEngineFromMenuButtonAndKey) {
    const CommandCase& c = GetParam();
    std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"menu", [&] { form->findChild<QAction*>(c.action)->trigger(); }}};
    if (*c.button) {
        ways.push_back(
            {"button",
             [&] { QTest::mouseClick(form->findChild<QToolButton*>(c.button), Qt::LeftButton); }});
    }
    if (*c.key) {
        EXPECT_EQ(form->findChild<QAction*>(c.action)->shortcut(), QKeySequence(c.key));
        ways.push_back({"key", [&] {
                            form->activateWindow();
                            ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
                            QTest::keySequence(form.get(), QKeySequence(c.key));
                        }});
    }
    for (const auto& [way, run] : ways) {
        SCOPED_TRACE(way);
        Reopen();
        c.setUp(E());
        StartPlayAll();
        ASSERT_TRUE(form->Playback().Playing());
        const int resets = output.ResetCalls();
        if (*c.answer) {
            dialogs.inputAnswers = {c.answer};
        }
        run();
        EXPECT_TRUE(c.done(E())) << "FileBlocks " << E().Blocks() << ", level " << E().UndoLevel();
        EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("; ").toStdString();
        EXPECT_FALSE(form->Busy());
        EXPECT_FALSE(form->ProgressBar->isVisible());
        EXPECT_EQ(form->Playback().Playing(), !c.stopsPlayback);
        EXPECT_EQ(output.ResetCalls() > resets, c.stopsPlayback);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, EditorCommand, ::testing::ValuesIn(Commands),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the prompts, answered through the dialog double ------------------------------------------

struct PromptCase {
    const char* name;
    const char* action;
    const char* answer; // nullptr: the box is cancelled
    QString error;      // "" when none is shown
    uint32_t fileBlocks;
    uint16_t level;
};
void PrintTo(const PromptCase& c, std::ostream* os) {
    *os << c.name;
}

// clang-format off
const PromptCase Prompts[] = {
    {"AmplifyNotAWholeNumber", "menuAmplify", "12.5", "'12.5' is not a valid integer value", 60, 0},
    {"AmplifyDefaultRunsNothing", "menuAmplify", nullptr, "", 60, 0},
    {"AmplifyHalf", "menuAmplify", "50", "", 60, 1},
    {"SilenceCancelledInsertsTheDefault", "menuSilence", nullptr, "", 65, 1},
    {"SilenceRoundingToNothing", "menuSilence", "0.04", "", 60, 0},
    {"SilenceNotANumber", "menuSilence", "abc", "'abc' is not a valid floating point value", 60, 0},
    {"SilenceNegative", "menuSilence", "-1", "Enter a length of silence from 0 to 36000 seconds.",
     60, 0},
};
// clang-format on

class EditorPrompt : public FormEditTest, public ::testing::WithParamInterface<PromptCase> {};

TEST_P(EditorPrompt, AsksAfterStoppingPlaybackAndEndsIdleWhateverTheAnswer) {
    const PromptCase& c = GetParam();
    Select(11, 21);
    StartPlayAll();
    ASSERT_TRUE(form->Playback().Playing());
    if (c.answer) {
        dialogs.inputAnswers = {c.answer};
    }
    form->findChild<QAction*>(c.action)->trigger();
    EXPECT_EQ(dialogs.playingWhenAsked, std::vector<bool>{false});
    EXPECT_FALSE(form->Playback().Playing());
    // 1560: 32767 / 2100, the loudest block of 11..21, as a percentage.
    EXPECT_EQ(dialogs.inputs,
              QStringList{QString(c.action) == "menuAmplify"
                              ? "Amplify|Input Amplification Factor (1-1000%)\rOriginal Level - "
                                "100%\rSound Clipping Level - 1560"
                              : "Insert Silence|Insert Silence in seconds:"});
    EXPECT_EQ(dialogs.errors, c.error.isEmpty() ? QStringList() : QStringList{c.error});
    EXPECT_EQ(E().Blocks(), c.fileBlocks);
    EXPECT_EQ(E().UndoLevel(), c.level);
    EXPECT_FALSE(form->Busy());
    EXPECT_FALSE(form->ProgressBar->isVisible());
    // The next command runs normally.
    form->menuCopyClick();
    EXPECT_EQ(E().ClipBlocks(), Marks().SelEnd - Marks().SelStart + 1);
}

INSTANTIATE_TEST_SUITE_P(Prompts, EditorPrompt, ::testing::ValuesIn(Prompts),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- mended faults ----------------------------------------------------------------------------

TEST_F(FormEditTest, NothingButTheProgressRunsWhileAnOperationRuns) {
    Select(1, 60);
    E().Copy();
    Select(30, 30);
    int pumps = 0;
    bool closeRefused = false;
    pump = [&] {
        if (!form->Editing() || !E().Running() || pumps++ > 0) {
            return;
        }
        EXPECT_TRUE(form->Busy());
        EXPECT_TRUE(form->ProgressBar->isVisible());
        form->TimerPlayTimer();
        EXPECT_EQ(form->ProgressBar->value(), int(E().ProgressPercent() + 0.5));
        const uint32_t selStart = Marks().SelStart, selEnd = Marks().SelEnd;
        for (QAction* action : form->findChildren<QAction*>()) {
            if (action->objectName().startsWith("menu") && !action->menu()) {
                action->trigger();
            }
        }
        for (QToolButton* button : form->findChildren<QToolButton*>()) {
            if (button->objectName().startsWith("SBtn")) {
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
        QTest::mousePress(form->Wave, Qt::LeftButton, {}, QPoint(40, WaveY()));
        QTest::mouseMove(form->Wave, QPoint(60, WaveY()));
        QTest::mouseRelease(form->Wave, Qt::LeftButton, {}, QPoint(60, WaveY()));
        EXPECT_FALSE(form->Playback().Playing());
        closeRefused = !form->close() && form->isVisible();
        EXPECT_EQ(Marks().SelStart, selStart);
        EXPECT_EQ(Marks().SelEnd, selEnd);
    };
    form->menuPasteClick();
    EXPECT_GT(pumps, 0);
    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(dialogs.inputs.isEmpty()) << "a prompt was asked during the paste";
    EXPECT_TRUE(dialogs.saveRequests.isEmpty()) << "a save was started during the paste";
    EXPECT_EQ(E().Blocks(), 120u); // pasted once, nothing else done
    EXPECT_EQ(E().UndoLevel(), 1);
    EXPECT_EQ(E().ClipBlocks(), 60u);
    EXPECT_FALSE(form->ProgressBar->isVisible());
    // The refused close follows once the paste is over.
    EXPECT_TRUE(form->isVisible());
    QTest::qWait(20);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(QFile::exists(environment.paths.EditFilePath));
}

TEST_F(FormEditTest, LevelZeroFollowsTheTakesOrderNotTheModeInTheList) {
    struct Row {
        bool loopMode, wrapped;
        uint32_t newest;
        int16_t first, last; // left samples at positions 1 and 60
    } rows[] = {
        {false, true, 20, 2100, 2000}, // a wrapped ring, Continuous chosen afterwards
        {true, true, 20, 2100, 2000},
        {true, false, 20, 100, 6000}, // a loop that never wrapped
        {false, false, 60, 100, 6000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.loopMode << row.wrapped << row.newest);
        form->close();
        WriteTake(TakeBlocks);
        Take().LoopMode = row.loopMode;
        Take().LoopWrapped = row.wrapped;
        Take().NewestBlock = row.newest;
        form->show();
        EXPECT_EQ(E().Blocks(), TakeBlocks);
        EXPECT_EQ(LeftAt(1), row.first);
        EXPECT_EQ(LeftAt(60), row.last);
    }
}

// Without its work files the editor cannot edit: it says so and closes, and the take stays for
// the main window's Save As.
TEST_F(FormEditTest, WorkFilesThatCannotBeMadeCloseTheEditorAndKeepTheTake) {
    form->close();
    ASSERT_TRUE(QDir().mkdir(environment.paths.ClipFilePath)); // a folder where the clip goes
    WriteTake(TakeBlocks);
    form->show();
    EXPECT_EQ(form->Editing(), nullptr);
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_TRUE(dialogs.errors[0].contains(environment.paths.ClipFilePath))
        << dialogs.errors[0].toStdString();
    QTest::qWait(20);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(QFile::exists(environment.paths.EditFilePath)) << "a half-made editor left a file";
    EXPECT_EQ(recorder->TakeBlocks(), TakeBlocks);
    EXPECT_EQ(QFileInfo(environment.paths.RecordingFilePath).size(),
              int64_t(TakeBlocks) * base::BlockBytes);

    ASSERT_TRUE(QDir().rmdir(environment.paths.ClipFilePath));
    form->show();
    ASSERT_NE(form->Editing(), nullptr);
    EXPECT_EQ(E().Blocks(), TakeBlocks);
}

TEST_F(FormEditTest, TheHistoryNoteIsShownOnceWhenTheOldestEditGoes) {
    Select(1, 2);
    for (int i = 0; i < operations::MaxUndoLevel; ++i) {
        form->menuFadeOutClick();
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
    form->menuFadeOutClick();
    form->menuFadeOutClick();
    EXPECT_EQ(dialogs.messages, QStringList{operations::HistoryTrimmedText});
}

TEST_F(FormEditTest, MenusWithSeparatorsAndFixedCaptionsFit) {
    EXPECT_EQ(form->SBar->maximum() + form->SBar->pageStep(), 10000);
    EXPECT_EQ(form->ProgressBar->geometry(),
              QRect(450, 4, form->StBar->width() - 452, form->StBar->height() - 6));
    QStringList menus;
    for (QAction* menu : form->Menu2->actions()) {
        QStringList items;
        for (QAction* item : menu->menu()->actions()) {
            items << (item->isSeparator() ? "-" : item->text());
        }
        menus << menu->text() + ": " + items.join(", ");
    }
    EXPECT_EQ(menus,
              QStringList({"File : Save All As..., Save Selection As..., -, Save Settings..., "
                           "Output Folder, -, Exit",
                           "Edit: Undo, Redo, -, Cut, Copy, Paste, Delete, -, Select All",
                           "Effects: Fade In, Fade Out, -, Amplify +/- ..., Normalize, -, "
                           "Insert Silence...",
                           "Help: Help Contents, About"}));
    // Widest texts the status panels show.
    Select(1, 60);
    form->TimerPlayTimer();
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w)) {
            continue;
        }
        if (w->minimumWidth() == w->maximumWidth() || w->parentWidget() == form->StBar) {
            EXPECT_LE(w->sizeHint().width(), w->width()) << w->objectName().toStdString();
        }
    }
}

// The window's 100 ms timer, ticked by the test: an idle editor paints nothing, and during
// playback only the play markers' columns on the wave widget are painted, old and new.
TEST_F(FormEditTest, TicksRepaintOnlyTheColumnsOfAMovingPlayMarker) {
    testsupport::PaintLog log(form.get());
    log.Settle();
    for (int tick = 0; tick < 50; ++tick) {
        form->TimerPlayTimer();
        QApplication::processEvents();
    }
    EXPECT_TRUE(log.paints.empty()) << log.paints.size() << " paints in 50 idle ticks";

    StartPlayAll();
    log.Settle();
    int markerPaints = 0;
    for (uint32_t block = 1; block < TakeBlocks && form->Playback().Playing(); ++block) {
        output.Play(base::BlockBytes);
        form->TimerPlayTimer();
        QApplication::processEvents();
        for (const auto& [widget, region] : log.paints) {
            EXPECT_EQ(widget, form->Wave)
                << widget->objectName().toStdString() << " painted during playback";
            for (const QRect& r : region) {
                EXPECT_LE(r.width(), 2) << "a play tick painted " << r.width() << " columns";
            }
        }
        markerPaints += int(log.paints.size());
        log.paints.clear();
    }
    EXPECT_GT(markerPaints, 0) << "the play marker was never painted";

    QTest::mouseClick(form->SBtnStop, Qt::LeftButton);
    form->TimerPlayTimer();
    log.Settle();
    for (int tick = 0; tick < 20; ++tick) {
        form->TimerPlayTimer();
        QApplication::processEvents();
    }
    EXPECT_TRUE(log.paints.empty()) << log.paints.size() << " paints in 20 ticks after Stop";
}

TEST_F(FormEditTest, ClosingDuringPlaybackStopsItBeforeReleasingAnything) {
    StartPlayAll();
    output.Play(5 * base::BlockBytes);
    form->TimerPlayTimer();
    ASSERT_TRUE(form->Playback().Playing());
    struct Seen {
        bool playing, editFile;
        int64_t takeBytes;
    };
    std::vector<Seen> seen;
    output.SetInsideResetClose([&] {
        seen.push_back({form->Playback().Playing(), QFile::exists(environment.paths.EditFilePath),
                        QFileInfo(environment.paths.RecordingFilePath).size()});
    });
    form->close();
    ASSERT_FALSE(seen.empty());
    EXPECT_FALSE(seen[0].playing) << "the output was reset while still playing";
    EXPECT_TRUE(seen[0].editFile) << "the edit file went before playback stopped";
    EXPECT_EQ(seen[0].takeBytes, int64_t(TakeBlocks) * base::BlockBytes);
    EXPECT_FALSE(output.IsOpen());
    EXPECT_FALSE(form->Playback().Playing());
    const size_t sent = output.Sent().size();
    form->TimerPlayTimer(); // the timer runs on while the window is hidden
    EXPECT_EQ(output.Sent().size(), sent);
}

TEST_F(FormEditTest, PlayButtonsVolumeAndAClickDuringPlayAll) {
    EXPECT_EQ(form->TrackBarVolume->value(), 65535); // a new stream plays at full volume
    form->TrackBarVolume->setValue(32768);
    EXPECT_EQ(output.Volume(), 32768);

    StartPlayAll();
    while (form->Playback().Playing()) {
        output.PlayQueued();
        form->TimerPlayTimer();
    }
    std::vector<uint8_t> take(size_t(TakeBlocks) * base::BlockBytes);
    recorder->TakeFile().ReadBlocks(1, take.data(), TakeBlocks);
    EXPECT_TRUE(output.Sent() == take) << "Play All did not send the take as recorded";

    // A click in the wave area during Play All restarts it from the clicked block.
    StartPlayAll();
    const int x = View().WaveLeft + 30;
    QTest::mouseClick(form->Wave, Qt::LeftButton, {}, QPoint(x, WaveY()));
    EXPECT_TRUE(form->Playback().Playing());
    EXPECT_TRUE(form->Playback().PlayAllMode());
    EXPECT_EQ(form->Playback().PlayFrom(), uint32_t(editor::BlockAt(View(), x)));
    QTest::mouseClick(form->SBtnStop, Qt::LeftButton);
    EXPECT_FALSE(form->Playback().Playing());

    // Play Selection from the cursor to the end of the selection.
    Select(11, 40);
    QTest::mouseClick(form->SBtnPlaySelection, Qt::LeftButton);
    EXPECT_FALSE(form->Playback().PlayAllMode());
    EXPECT_EQ(form->Playback().PlayFrom(), 11u);
    EXPECT_EQ(form->Playback().PlayTo(), 40u);
    form->TimerPlayTimer();

    // A click inside the selection restarts it at the clicked block; the cursor then goes back
    // to the selection's start.
    const size_t before = output.Sent().size();
    const int inside = View().WaveLeft + 25;
    ASSERT_EQ(editor::BlockAt(View(), inside), 25);
    QTest::mouseClick(form->Wave, Qt::LeftButton, {}, QPoint(inside, WaveY()));
    form->TimerPlayTimer();
    ASSERT_GT(output.Sent().size(), before);
    int16_t first;
    std::memcpy(&first, output.Sent().data() + before, 2);
    EXPECT_EQ(first, 2500) << "the first buffer queued after the click holds block " << first / 100;
    EXPECT_TRUE(form->Playback().Playing());
    EXPECT_FALSE(form->Playback().PlayAllMode());
    EXPECT_EQ(form->Playback().PlayFrom(), 25u);
    EXPECT_EQ(form->Playback().PlayTo(), 40u);
    EXPECT_EQ(Marks().CursorBlock, 11u);
    EXPECT_EQ(Marks().SelStart, 11u);
    EXPECT_EQ(Marks().SelEnd, 40u);
}

// Clicks in the scroll bar's trough, the zoom buttons, and the zoom kept when the editor opens
// again, over an hour's take.
TEST_F(FormEditTest, ScrollBarAndZoomButtonsMoveTheViewAndTheZoomOutlivesTheSession) {
    constexpr uint32_t Hour = 36000;
    Reopen(Hour);
    QScrollBar* bar = form->SBar;
    auto clickTrough = [&](bool right) {
        const int x = right ? bar->width() - 25 : 25; // inside the arrows, beside the thumb
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(x, bar->height() / 2));
        form->TimerPlayTimer(); // the timer takes the new position
    };
    auto expectBar = [&](int value, int zoom, uint32_t scrollBlock) {
        EXPECT_EQ(bar->value(), value);
        EXPECT_EQ(View().ZoomLevel, zoom);
        EXPECT_EQ(View().ScrollBlock, scrollBlock);
        const editor::ScrollBarSettings settings = editor::UpdateScrollBar(View(), Hour);
        EXPECT_EQ(bar->singleStep(), settings.SmallChange);
        EXPECT_EQ(bar->pageStep(), settings.PageSize); // the thumb's length, not the step
    };
    clickTrough(true);
    expectBar(10, 1, 36); // 10 units of 10000: 36 blocks of an hour
    QTest::mouseClick(form->SBtnDec, Qt::LeftButton);
    expectBar(10, 2, 36);
    clickTrough(true);
    expectBar(30, 2, 108);
    bar->setValue(5000); // the thumb dragged to the middle
    form->TimerPlayTimer();
    clickTrough(false);
    expectBar(4980, 2, 17928);
    QTest::mouseClick(form->SBtnInc, Qt::LeftButton);
    QTest::mouseClick(form->SBtnInc, Qt::LeftButton); // nothing closer than level 1
    expectBar(4980, 1, 17928);
    QTest::mouseClick(form->SBtnDec, Qt::LeftButton);
    QTest::mouseClick(form->SBtnDec, Qt::LeftButton);
    expectBar(4980, 3, 17928);
    Select(100, 200);

    Reopen(Hour);
    expectBar(0, 3, 0);
    EXPECT_EQ(Marks().SelStart, 1u);
    EXPECT_EQ(Marks().SelEnd, 1u);
    EXPECT_EQ(Marks().CursorBlock, 1u);
    clickTrough(true);
    expectBar(40, 3, 144);
}

// ---- the save commands -----------------------------------------------------------------------

// Each save stops playback before it writes, writes exactly its range of the take, and redraws
// the wave afterwards (the test smears the drawing while the save runs).
TEST_F(FormEditTest, SavesStopPlaybackWriteTheirRangeAndRedrawTheWave) {
    settings.SetOutputFormat(true);
    const struct {
        const char* control;
        uint32_t first, last;
    } rows[] = {{"menuSaveSelection", 11, 20}, {"SBtnSaveSel", 11, 20}, {"SBtnSaveAll", 1, 60}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.control);
        const QString target = QString::fromStdString(dir.file(row.control)) + ".wav";
        Select(11, 20);
        form->Wave->Redraw(); // Select() passes the selection to the editor only
        StartPlayAll();
        ASSERT_TRUE(form->Playback().Playing());
        const QImage drawn = View().WaveBitmap.copy();
        bool playedDuringSave = false;
        qint64 drawingDuringSave = 0; // the bitmap's contents, changed only by a redraw
        pump = [&] {
            if (SaveFlow::Exporting()) {
                playedDuringSave = playedDuringSave || form->Playback().Playing();
                drawingDuringSave = View().WaveBitmap.cacheKey();
            }
        };
        dialogs.saveAnswers = {target};
        if (auto* action = form->findChild<QAction*>(row.control)) {
            action->trigger();
        } else {
            QTest::mouseClick(form->findChild<QToolButton*>(row.control), Qt::LeftButton);
        }
        pump = nullptr;
        EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("; ").toStdString();
        EXPECT_FALSE(playedDuringSave);
        EXPECT_FALSE(form->Playback().Playing());
        EXPECT_NE(drawingDuringSave, 0);
        EXPECT_NE(View().WaveBitmap.cacheKey(), drawingDuringSave)
            << "the wave was not redrawn after the save";
        EXPECT_TRUE(View().WaveBitmap == drawn);

        QFile wav(target);
        ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
        const uint32_t blocks = row.last - row.first + 1;
        std::vector<uint8_t> take(size_t(blocks) * base::BlockBytes);
        recorder->TakeFile().ReadBlocks(row.first, take.data(), blocks);
        const QByteArray data = wav.readAll().mid(44);
        EXPECT_TRUE(data ==
                    QByteArray(reinterpret_cast<const char*>(take.data()), qsizetype(take.size())))
            << "the file is not blocks " << row.first << ".." << row.last << " of the take";
    }

    // Without a selection the editor's own command says so and asks for no file.
    Select(7, 7);
    QTest::mouseClick(form->SBtnSaveSel, Qt::LeftButton);
    EXPECT_EQ(dialogs.messages, QStringList{exporting::PleaseSelectWaveformText});
    EXPECT_EQ(dialogs.saveRequests.size(), 3);
}

TEST_F(FormEditTest, SaveSettingsLeadToTheNextSavesFilter) {
    settings.SetOutputFormat(true);
    QTimer::singleShot(0, [] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* settings = qobject_cast<TFormSaveSettings*>(modal);
        if (!settings) {
            ADD_FAILURE() << "no save-settings window";
            return modal ? void(modal->close()) : void();
        }
        settings->PControlFormat->setCurrentWidget(settings->TSheetMP3);
        settings->CBoxMP3BitRate->setCurrentText("320");
        settings->CBoxMP3Mode->setCurrentText("joint stereo");
        settings->BitBtnOK->click();
    });
    QTest::mouseClick(form->SBtnSettings, Qt::LeftButton);
    form->menuSaveAll->trigger(); // the dialog is cancelled
    ASSERT_EQ(dialogs.saveRequests.size(), 1);
    EXPECT_EQ(dialogs.saveRequests[0].section('|', 1, 2), "320 kbps joint stereo (*.mp3)|*.MP3");
}

// ---- the take's length after the editor closes, seen from the main window ---------------------

// The real main window over a work folder of the test's own, with scripted devices and dialogs.
class FormEditFromMainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        QDir().mkdir(work);
        setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    }
    void TearDown() override {
        main.reset();
        unsetenv("XDG_DATA_HOME");
    }
    // Starts the program's main window; the test is the clock.
    TFormMain& Start() {
        run = std::make_unique<app::StartedRun>(
            app::StartRun(QString::fromStdString(data.file("velmar-recorder")), dialogs));
        main = std::make_unique<TFormMain>(*run, ports.For(device), output, fileSystem, events,
                                           dialogs, launcher, encoders);
        main->TimerRec->stop();
        main->TimerStatus->stop();
        return *main;
    }

    testsupport::TempDir data;
    const QString work = QString::fromStdString(data.file("Velmar Recorder"));
    testsupport::ScriptedCapture device;
    testsupport::WindowRecorderPorts ports;
    testsupport::RecordingDialogs dialogs;
    testsupport::ScriptedOutput output;
    base::SystemFileSystem fileSystem;
    base::IdleEventPump events;
    testsupport::RecordingLauncher launcher;
    exporting::SystemEncoderLoader encoders;
    std::unique_ptr<app::StartedRun> run;
    std::unique_ptr<TFormMain> main;
};

// After a crash the take is kept as "test"; Edit opens with no take of this run, the editor
// offers the kept one, and Load makes it the sound (one segment, in file order). Closing gives the
// work folder's recording file back, empty, and leaves the kept file as it was.
TEST_F(FormEditFromMainWindow, AKeptTakeIsOfferedAndLoadedWithoutARecordingOfThisRun) {
    QFile leftover(work + "/Velmar.raw"); // what a killed run leaves
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.write(QByteArray(7 * base::BlockBytes + 100, '\x02'));
    leftover.close();
    TFormMain& main = Start();
    EXPECT_EQ(dialogs.messages.size(), 1); // where the take was kept
    bool offered = false;
    int64_t opened = -1, segments = -1;
    // The offer comes from inside the editor's opening, so the editor is visible while the
    // offer waits: answer the offer first.
    std::function<void()> answer = [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* info = qobject_cast<TFormInfo*>(w); info && info->isVisible()) {
                offered = true;
                info->BtnLoad->click();
                QTimer::singleShot(0, answer);
                return;
            }
        }
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* editor = qobject_cast<TFormEdit*>(w); editor && editor->isVisible()) {
                opened = editor->Editing()->Blocks();
                segments = editor->Editing()->CurrentList().SegmentCount;
                editor->close();
                return;
            }
        }
        QTimer::singleShot(10, answer);
    };
    QTimer::singleShot(0, answer);
    main.BtnEditClick();
    EXPECT_TRUE(offered);
    EXPECT_EQ(opened, 7);
    EXPECT_EQ(segments, 1);
    EXPECT_EQ(QFileInfo(work + "/test").size(), 7 * base::BlockBytes + 100);
    EXPECT_EQ(QFileInfo(work + "/Velmar.raw").size(), 0);
    EXPECT_EQ(main.Recorder().View().FileBlocks, 0u);
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("; ").toStdString();
}

TEST_F(FormEditFromMainWindow, ClosingEmptiesTheTakeAndItsLength) {
    TFormMain& main = Start();
    auto record = [&](int blocks) {
        main.BtnRecordClick();
        for (int b = 0; b < blocks; ++b) {
            device.DeliverBlocks(1);
            main.TimerRecTimer();
        }
        main.BtnStopClick();
    };
    auto saveAsEnabled = [&] {
        main.menuFileClick();
        return main.menuSaveAs->isEnabled();
    };
    // Opens the editor from Edit; returns the sound length it opened with.
    auto edit = [&] {
        int64_t opened = -1;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* editor = qobject_cast<TFormEdit*>(w); editor && editor->isVisible()) {
                    opened = editor->Editing()->Blocks();
                    editor->close();
                }
            }
        });
        main.BtnEditClick();
        return opened;
    };
    main.CmbBoxTime->setCurrentIndex(1); // a three-minute loop, recorded round once
    main.CmbBoxTimeChange();
    record(1850);
    EXPECT_TRUE(main.Recorder().View().LoopWrapped);
    EXPECT_TRUE(saveAsEnabled());
    EXPECT_EQ(edit(), 1800);
    EXPECT_EQ(main.Recorder().View().FileBlocks, 0u);
    EXPECT_EQ(main.Recorder().View().NewestBlock, 0u);
    EXPECT_FALSE(main.Recorder().View().LoopWrapped);
    EXPECT_EQ(QFileInfo(run->environment.paths.RecordingFilePath).size(), 0);
    EXPECT_FALSE(QFile::exists(run->environment.paths.EditFilePath));
    EXPECT_FALSE(QFile::exists(run->environment.paths.ClipFilePath));
    EXPECT_TRUE(main.Recorder().View().DeviceOpen); // monitoring again
    EXPECT_FALSE(saveAsEnabled());
    EXPECT_EQ(edit(), 0); // an empty sound, not the old length over an empty file
    EXPECT_FALSE(saveAsEnabled());
    record(1);
    EXPECT_FALSE(saveAsEnabled());
    record(2);
    EXPECT_TRUE(saveAsEnabled());
    EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("; ").toStdString();
}

} // namespace
