// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/recorder_driver.h"

namespace record {

RecorderDriver::RecorderDriver(Recorder& recorder, QObject* parent)
    : QObject(parent), recorder_(recorder), recordTimer_(this), statusTimer_(this) {
    recordTimer_.setObjectName("TimerRec");
    recordTimer_.setInterval(100);
    statusTimer_.setObjectName("TimerStatus");
    statusTimer_.setInterval(500);
    connect(&recordTimer_, &QTimer::timeout, this, &RecorderDriver::RecordTick);
    connect(&statusTimer_, &QTimer::timeout, this, &RecorderDriver::StatusTick);
}

void RecorderDriver::Run(const std::function<void()>& command) {
    try {
        command();
    } catch (const RecorderFailure& failure) {
        for (const RecorderFailure::Box& box : failure.Boxes()) {
            emit Told(box.text, box.error);
        }
    } catch (const base::UserError& error) { // any other failure of a command is an error box
        emit Told(QString::fromUtf8(error.what()), true);
    }
}

void RecorderDriver::RecordTick() {
    Run([this] { recorder_.RecordTimerTick(); });
}

void RecorderDriver::StatusTick() {
    Run([this] { recorder_.StatusTimerTick(); });
}

void RecorderDriver::Start() {
    Run([this] { recorder_.OpenDevice(); });
    recorder_.ComputeFreeTime();
    StartTimers();
}

void RecorderDriver::StartTimers() {
    recordTimer_.start();
    statusTimer_.start();
}

void RecorderDriver::StopTimers() {
    recordTimer_.stop();
    statusTimer_.stop();
}

} // namespace record
