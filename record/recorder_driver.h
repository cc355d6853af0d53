// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "record/pipeline.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace record {

// Runs a Recorder in time: its record tick every 100 ms and its status tick every 500 ms, and
// its start-up. Qt Core only, so a recorder can run without any window; a window connects to
// the recorder's events and to Told, and reads its views.
//
// Where the recorder's failures are caught: a RecorderFailure thrown by a tick, by the start-up or
// by a command run through Run goes out through Told box by box, and the ticks go on.
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

    // One record tick and one status tick, as the timers run them.
    void RecordTick();
    void StatusTick();
    // Runs one of the recorder's commands (a window's button, a test) and tells what it throws.
    void Run(const std::function<void()>& command);

    QTimer& RecordTimer() { return recordTimer_; }
    QTimer& StatusTimer() { return statusTimer_; }

  signals:
    // A box to show, in the order the recorder told them: an error box when `error`, else an
    // information box.
    void Told(const QString& text, bool error);

  private:
    Recorder& recorder_;
    QTimer recordTimer_;
    QTimer statusTimer_;
};

} // namespace record
