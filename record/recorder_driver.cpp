// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/recorder_driver.h"

namespace record {

RecorderDriver::RecorderDriver(Recorder& recorder, QObject* parent)
    : QObject(parent), recorder_(recorder), recordTimer_(this), statusTimer_(this) {
    recordTimer_.setObjectName("TimerRec");
    recordTimer_.setInterval(100);
    statusTimer_.setObjectName("TimerStatus");
    statusTimer_.setInterval(500);
    connect(&recordTimer_, &QTimer::timeout, this, [this] { recorder_.RecordTimerTick(); });
    connect(&statusTimer_, &QTimer::timeout, this, [this] { recorder_.StatusTimerTick(); });
}

void RecorderDriver::Start() {
    recorder_.OpenDevice();
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
