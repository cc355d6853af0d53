// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless/control_channel.h"

#include "record/pipeline.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>

#include <cstdlib>
#include <future>
#include <sys/stat.h>

namespace {

// Answers as a recorder would and counts what it was asked.
class CountingCommands : public app::ControlCommands {
  public:
    void Raise() override { ++raised; }
    Reply Status() override { return {true, "not recording, Loop 3 min, 00:00:00, device: none"}; }
    Reply Record() override { return {false, "no input\ndevice"}; }
    Reply Stop() override { return {true, "not recording"}; }
    // Says what it was asked: the save ends at once, or is left pending when `later`.
    void SaveNow(uint32_t newest, const QString& folder, std::function<void(Reply)> done) override {
        const Reply reply{newest != 7, QString("%1 blocks into [%2]").arg(newest).arg(folder)};
        if (later) {
            pending = [=] { done(reply); };
        } else {
            done(reply);
        }
    }
    int raised = 0;
    bool later = false;
    std::function<void()> pending;
};

struct Case {
    QByteArray request;
    QByteArray answer;
};

class ControlAnswer : public ::testing::TestWithParam<Case> {};

TEST_P(ControlAnswer, IsOneLineForEveryRequest) {
    CountingCommands commands;
    QByteArray answer;
    app::ControlChannel::Answer(GetParam().request, commands,
                                [&](const QByteArray& line) { answer += line; });
    EXPECT_EQ(answer, GetParam().answer);
    EXPECT_EQ(answer.count('\n'), 1);
    EXPECT_EQ(commands.raised, GetParam().request == "raise\n" ? 1 : 0);
}

const Case cases[] = {
    {"raise\n", "ok\n"},
    {"status\n", "ok not recording, Loop 3 min, 00:00:00, device: none\n"},
    // A text with a line break stays one line.
    {"record\n", "error no input device\n"},
    {"stop\n", "ok not recording\n"},
    {"STOP\n", "error unknown request \"STOP\"\n"},
    {"status \n", "error unknown request \"status \"\n"},
    {"save-now 0\n", "ok 0 blocks into []\n"},
    {"save-now 600 %2Ftmp%2Fmy%20takes%2F%C3%A4\n",
     "ok 600 blocks into [/tmp/my takes/\xc3\xa4]\n"},
    {"save-now 7\n", "error 7 blocks into []\n"},
    {"save-now\n", "error malformed save-now request\n"},
    {"save-now \n", "error malformed save-now request\n"},
    {"save-now -1\n", "error malformed save-now request\n"},
    {"save-now +5\n", "error malformed save-now request\n"},
    {"save-now 10s\n", "error malformed save-now request\n"},
    {"save-now 360001\n", "error malformed save-now request\n"},
    {"save-now 99999999999999999999\n", "error malformed save-now request\n"},
    {"save-now 5 \n", "error malformed save-now request\n"},
    {"save-now 5 %2Fa b\n", "error malformed save-now request\n"},
    {"save-nowx\n", "error unknown request \"save-nowx\"\n"},
    {"\n", "error unknown request \"\"\n"},
    {"status", "error request without line end\n"},
    {"", "error request without line end\n"},
    {QByteArray("sta\0tus\n", 8), "error malformed request\n"},
    {"stop\r\n", "error malformed request\n"},
    {"st\xc3\xb6p\n", "error malformed request\n"},
    {"\xff\xfe\n", "error malformed request\n"},
    {QByteArray(64, 'x') + '\n', "error unknown request \"" + QByteArray(64, 'x') + "\"\n"},
    {QByteArray(65, 'x') + '\n', "error unknown request \"" + QByteArray(64, 'x') + "...\"\n"},
    {QByteArray(app::ControlChannel::MaxRequestBytes, 'x') + '\n', "error request too long\n"},
    {QByteArray(100000, 'x'), "error request too long\n"},
};
INSTANTIATE_TEST_SUITE_P(Requests, ControlAnswer, ::testing::ValuesIn(cases));

TEST(StatusLine, SaysRecordingModeTimeAndDevice) {
    record::State state;
    state.Recording = true;
    state.ModeIndex = 1;
    state.TimeText = "00:01:12";
    state.DeviceName = "Built-in Audio";
    EXPECT_EQ(app::StatusLine(state), "recording, Loop 3 min, 00:01:12, device: Built-in Audio");
    state.Recording = false;
    state.ModeIndex = 0;
    state.DeviceName.clear();
    EXPECT_EQ(app::StatusLine(state), "not recording, Continuous, 00:01:12, device: none");
}

// Runs the event loop until `done` or `ms` have passed.
template <typename Done> void Spin(int ms, Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

// What a caller gets back for `bytes`: the answer up to the closed connection.
QByteArray Exchange(const QString& name, const QByteArray& bytes) {
    QLocalSocket caller;
    caller.connectToServer(name);
    EXPECT_TRUE(caller.waitForConnected(1000));
    caller.write(bytes);
    caller.flush();
    QByteArray answer;
    Spin(3000, [&] {
        answer += caller.readAll();
        return caller.state() == QLocalSocket::UnconnectedState;
    });
    return answer + caller.readAll();
}

// Each test case runs in a process of its own, so the runtime folder set here is this one's.
TEST(ControlChannel, AnswersMalformedAndOversizedLinesAndServesOn) {
    testsupport::TempDir runtime, work;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const QString folder = QString::fromStdString(work.path());
    CountingCommands commands;
    app::ControlChannel channel(folder, commands);
    ASSERT_TRUE(channel.IsListening());
    const QString name = app::ControlChannel::NameFor(folder);
    struct stat socket {};
    ASSERT_EQ(::stat(name.toLocal8Bit().constData(), &socket), 0);
    EXPECT_TRUE(S_ISSOCK(socket.st_mode));
    EXPECT_EQ(socket.st_mode & 077, 0u) << "open to other users";

    EXPECT_EQ(Exchange(name, QByteArray(100000, 'x')), "error request too long\n");
    EXPECT_EQ(Exchange(name, QByteArray(app::ControlChannel::MaxRequestBytes, 'y') + "\nstatus\n"),
              "error request too long\n");
    EXPECT_EQ(Exchange(name, QByteArray("\xff\0raise\n", 8)), "error malformed request\n");
    EXPECT_EQ(Exchange(name, "stop\nstop\n"), "ok not recording\n"); // one request a connection
    EXPECT_EQ(Exchange(name, "rais"), ""); // dropped after a second without its line end
    EXPECT_EQ(commands.raised, 0);

    // A caller in another thread, as another start of the program would be.
    auto status = std::async(std::launch::async,
                             [&] { return app::ControlChannel::Send(folder, "status", 3000); });
    Spin(5000,
         [&] { return status.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    const app::ControlChannel::Reply reply = status.get();
    EXPECT_EQ(reply.outcome, app::ControlChannel::Reply::Outcome::Ok);
    EXPECT_EQ(reply.text, "not recording, Loop 3 min, 00:00:00, device: none");
    auto record = std::async(std::launch::async,
                             [&] { return app::ControlChannel::Send(folder, "record", 3000); });
    Spin(5000,
         [&] { return record.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    const app::ControlChannel::Reply refused = record.get();
    EXPECT_EQ(refused.outcome, app::ControlChannel::Reply::Outcome::Error);
    EXPECT_EQ(refused.text, "no input device");

    // A save-now is answered when the save has ended, however long after the idle second.
    commands.later = true;
    auto save = std::async(std::launch::async, [&] {
        return app::ControlChannel::Send(
            folder, app::ControlChannel::SaveNowRequest(50, "/tmp/my takes"), 60000);
    });
    Spin(3000, [&] { return bool(commands.pending); });
    ASSERT_TRUE(commands.pending);
    Spin(1500, [] { return false; });
    EXPECT_NE(save.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    commands.pending();
    Spin(5000, [&] { return save.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    const app::ControlChannel::Reply saved = save.get();
    EXPECT_EQ(saved.outcome, app::ControlChannel::Reply::Outcome::Ok);
    EXPECT_EQ(saved.text, "50 blocks into [/tmp/my takes]");
    unsetenv("XDG_RUNTIME_DIR");
}

TEST(ControlChannel, SendWithoutARunningProgramSaysNotRunning) {
    testsupport::TempDir runtime, work;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    EXPECT_EQ(app::ControlChannel::Send(QString::fromStdString(work.path()), "status", 500).outcome,
              app::ControlChannel::Reply::Outcome::NotRunning);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(app::ControlChannel::Send(QString::fromStdString(work.path()), "status", 500).outcome,
              app::ControlChannel::Reply::Outcome::NotRunning);
}

} // namespace
