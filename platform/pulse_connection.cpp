// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse_connection.h"

#include "base/blocks.h"

#include <algorithm>

namespace platform {

pa_sample_spec InternalFormat() {
    pa_sample_spec format{};
    format.format = PA_SAMPLE_S16LE;
    format.rate = base::SampleRate;
    format.channels = base::Channels;
    return format;
}

PulseConnection::PulseConnection(Direction direction)
    : direction_(direction), loop_(pa_threaded_mainloop_new()) {
    if (loop_ && pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }
}

PulseConnection::~PulseConnection() {
    if (!loop_) {
        return;
    }
    Disconnect();
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

PulseConnection::Lock::Lock(PulseConnection& connection) : loop_(connection.loop_) {
    if (loop_) {
        pa_threaded_mainloop_lock(loop_);
    }
}

PulseConnection::Lock::~Lock() {
    if (loop_) {
        pa_threaded_mainloop_unlock(loop_);
    }
}

bool PulseConnection::Connect(std::chrono::milliseconds wait) {
    if (!loop_) {
        return false;
    }
    Lock lock(*this);
    if (context_) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
            DropContext();
        }
    }
    if (!context_) {
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Velmar Recorder");
        if (!context_) {
            return false;
        }
        pa_context_set_state_callback(context_, &PulseConnection::ContextState, this);
        // Never start a server of our own: a missing one is "no device" until it comes back.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            DropContext();
            return false;
        }
    }
    if (wait.count() > 0) {
        WaitUntil(
            [this] {
                const pa_context_state_t state = pa_context_get_state(context_);
                return Ready() || state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
            },
            wait);
    }
    return Ready();
}

void PulseConnection::Disconnect() {
    if (!loop_) {
        return;
    }
    Lock lock(*this);
    DropContext();
}

void PulseConnection::DropContext() {
    if (!context_) {
        return;
    }
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
    listed_ = false;
    querying_ = false;
    queryAgain_ = false;
    devices_.clear();
    defaultName_.clear();
}

bool PulseConnection::Ready() const {
    return context_ && listed_ && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

int PulseConnection::LastError() const {
    return context_ ? pa_context_errno(context_) : PA_ERR_CONNECTIONTERMINATED;
}

PulseConnection::Device PulseConnection::FirstDevice() const {
    if (!Ready() || devices_.empty()) {
        return {};
    }
    const auto it = std::find_if(devices_.begin(), devices_.end(),
                                 [this](const Device& d) { return d.name == defaultName_; });
    return it != devices_.end() ? *it : devices_.front();
}

namespace {

struct TimerFlag {
    pa_threaded_mainloop* loop;
    bool fired = false;
};

void TimerFired(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* flag) {
    auto* f = static_cast<TimerFlag*>(flag);
    f->fired = true;
    pa_threaded_mainloop_signal(f->loop, 0);
}

} // namespace

bool PulseConnection::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds wait) {
    if (done()) {
        return true;
    }
    if (!loop_ || wait.count() <= 0) {
        return false;
    }
    // A timer on the loop wakes the wait at the deadline: the loop's wait itself has none.
    TimerFlag flag{loop_};
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    struct timeval at {};
    pa_gettimeofday(&at);
    pa_timeval_add(&at, pa_usec_t(wait.count()) * PA_USEC_PER_MSEC);
    pa_time_event* timer = api->time_new(api, &at, &TimerFired, &flag);
    while (!done() && !flag.fired) {
        pa_threaded_mainloop_wait(loop_);
    }
    api->time_free(timer);
    return done();
}

void PulseConnection::Wake() {
    pa_threaded_mainloop_signal(loop_, 0);
}

void PulseConnection::ContextState(pa_context* context, void* self) {
    auto* c = static_cast<PulseConnection*>(self);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        pa_context_set_subscribe_callback(context, &PulseConnection::ServerEvent, c);
        const pa_subscription_mask_t mask =
            pa_subscription_mask_t((c->direction_ == Direction::Input ? PA_SUBSCRIPTION_MASK_SOURCE
                                                                      : PA_SUBSCRIPTION_MASK_SINK) |
                                   PA_SUBSCRIPTION_MASK_SERVER);
        if (pa_operation* op = pa_context_subscribe(context, mask, nullptr, nullptr)) {
            pa_operation_unref(op);
        }
        c->Refresh();
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        // The server went away (or refused us): no devices until a new connection lists them.
        c->listed_ = false;
        c->querying_ = false;
        c->devices_.clear();
        break;
    default:
        break;
    }
    c->Wake();
}

void PulseConnection::ServerEvent(pa_context*, pa_subscription_event_type_t type, uint32_t,
                                  void* self) {
    auto* c = static_cast<PulseConnection*>(self);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    // A device's own changes (volume, running or idle) come often and change nothing we keep.
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER || kind != PA_SUBSCRIPTION_EVENT_CHANGE) {
        c->Refresh();
    }
}

void PulseConnection::Refresh() {
    if (querying_) {
        queryAgain_ = true;
        return;
    }
    pa_operation* op = pa_context_get_server_info(context_, &PulseConnection::ServerInfo, this);
    if (!op) {
        return;
    }
    pa_operation_unref(op);
    querying_ = true;
    queryAgain_ = false;
    pending_.clear();
}

void PulseConnection::ServerInfo(pa_context* context, const pa_server_info* info, void* self) {
    auto* c = static_cast<PulseConnection*>(self);
    if (!info) {
        c->ListArrived(false);
        return;
    }
    const char* name =
        c->direction_ == Direction::Input ? info->default_source_name : info->default_sink_name;
    c->pendingDefault_ = name ? name : "";
    pa_operation* op =
        c->direction_ == Direction::Input
            ? pa_context_get_source_info_list(context, &PulseConnection::SourceInfo, c)
            : pa_context_get_sink_info_list(context, &PulseConnection::SinkInfo, c);
    if (!op) {
        c->ListArrived(false);
        return;
    }
    pa_operation_unref(op);
}

void PulseConnection::SourceInfo(pa_context*, const pa_source_info* info, int eol, void* self) {
    auto* c = static_cast<PulseConnection*>(self);
    if (eol != 0) {
        c->ListArrived(eol > 0);
        return;
    }
    // A sink's monitor is the speakers' sound, not an input: the server falls back to one when
    // the last real input goes, and recording it would be recording the wrong thing.
    if (info && info->monitor_of_sink == PA_INVALID_INDEX) {
        c->pending_.push_back(
            {info->name, QString::fromUtf8(info->description ? info->description : info->name)});
    }
}

void PulseConnection::SinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self) {
    auto* c = static_cast<PulseConnection*>(self);
    if (eol != 0) {
        c->ListArrived(eol > 0);
        return;
    }
    if (info) {
        c->pending_.push_back(
            {info->name, QString::fromUtf8(info->description ? info->description : info->name)});
    }
}

void PulseConnection::ListArrived(bool ok) {
    querying_ = false;
    if (ok) {
        devices_.swap(pending_);
        defaultName_ = pendingDefault_;
        listed_ = true;
    }
    pending_.clear();
    if (queryAgain_ && context_ && pa_context_get_state(context_) == PA_CONTEXT_READY) {
        Refresh();
    }
    Wake();
}

} // namespace platform
