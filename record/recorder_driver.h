// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/pipeline.h"

#include <QObject>
#include <QTimer>

namespace record {

// Runs a Recorder in time: its record tick every 100 ms and its status tick every 500 ms, and
// its start-up. Qt Core only, so a recorder can run without any window; a window connects to
// the recorder's events and reads its views.
class RecorderDriver : public QObject {
    Q_OBJECT
  public:
    explicit RecorderDriver(Recorder& recorder, QObject* parent = nullptr);

    // The start-up of a recorder whose work folder exists: opens the device (monitoring
    // begins), takes the free space, and starts both ticks.
    void Start();
    // Both ticks, without touching the device (a start-up without a work folder, or the return
    // from the editor).
    void StartTimers();
    void StopTimers();
    bool Ticking() const { return statusTimer_.isActive(); }

    QTimer& RecordTimer() { return recordTimer_; }
    QTimer& StatusTimer() { return statusTimer_; }

  private:
    Recorder& recorder_;
    QTimer recordTimer_;
    QTimer statusTimer_;
};

} // namespace record
