// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse_capture.h"

#include "base/blocks.h"

#include <chrono>

namespace platform {

namespace {

using namespace std::chrono_literals;

// A local server answers in milliseconds; these only bound a server that hangs.
constexpr auto ConnectWait = 2000ms;
constexpr auto OpenWait = 3000ms;
// Two seconds of sound between the connection's thread and the pipeline's 100 ms tick.
constexpr size_t RingBytes = 20 * base::BlockBytes;

} // namespace

PulseCapture::PulseCapture() : ring_(RingBytes) {
    // The first answer of DeviceCount must already know the devices.
    connection_.Connect(ConnectWait);
}

PulseCapture::~PulseCapture() {
    Close();
}

int PulseCapture::DeviceCount() {
    connection_.Connect(0ms);
    PulseConnection::Lock lock(connection_);
    return connection_.DeviceCount();
}

QString PulseCapture::FirstDeviceName() {
    connection_.Connect(0ms);
    PulseConnection::Lock lock(connection_);
    return connection_.FirstDevice().description;
}

record::CaptureError PulseCapture::Open() {
    Close();
    // No server is no input, as an unplugged device is: the device watch opens one when a
    // server comes back, and nobody is told about a server that is simply not running.
    if (!connection_.Connect(ConnectWait)) {
        return record::CaptureError::NoDevice;
    }
    PulseConnection::Lock lock(connection_);
    const PulseConnection::Device device = connection_.FirstDevice();
    if (device.name.empty()) {
        return record::CaptureError::NoDevice;
    }
    const pa_sample_spec format = InternalFormat();
    stream_ = pa_stream_new(connection_.Context(), "Recording", &format, nullptr);
    if (!stream_) {
        return CodeOfServerError<record::CaptureError>(connection_.LastError());
    }
    pa_stream_set_state_callback(stream_, &PulseCapture::StreamState, this);
    pa_stream_set_read_callback(stream_, &PulseCapture::Readable, this);
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(-1);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(base::BlockBytes); // data ten times a second, as the pipeline polls
    const auto flags = pa_stream_flags_t(PA_STREAM_DONT_MOVE | PA_STREAM_ADJUST_LATENCY);
    int failure = 0;
    if (pa_stream_connect_record(stream_, device.name.c_str(), &attr, flags) < 0) {
        failure = connection_.LastError();
    } else {
        connection_.WaitUntil(
            [this] {
                const pa_stream_state_t state = pa_stream_get_state(stream_);
                return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
            },
            OpenWait);
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
            failure = connection_.LastError();
            if (failure == PA_OK) {
                failure = PA_ERR_TIMEOUT;
            }
        }
    }
    if (failure != PA_OK) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        return CodeOfServerError<record::CaptureError>(failure);
    }
    return record::CaptureError::Ok;
}

void PulseCapture::StreamState(pa_stream*, void* self) {
    static_cast<PulseCapture*>(self)->connection_.Wake();
}

void PulseCapture::Readable(pa_stream*, size_t, void* self) {
    static_cast<PulseCapture*>(self)->Pull();
}

void PulseCapture::Pull() {
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        return;
    }
    for (;;) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) {
            return;
        }
        if (running_) {
            if (bytes > ring_.Room()) {
                return; // stays in the stream's queue until the pipeline has taken some
            }
            // No data but a length is a hole in the stream: silence of that length keeps time.
            ring_.Append(static_cast<const uint8_t*>(data), bytes);
        }
        pa_stream_drop(stream_);
    }
}

void PulseCapture::AddBuffer(record::SlotHeader* header) {
    queue_.Push(header);
}

void PulseCapture::Start() {
    PulseConnection::Lock lock(connection_);
    if (!running_ && stream_) {
        Pull(); // what came before Start is dropped
        ring_.Clear();
        running_ = true;
    }
}

void PulseCapture::Collect() {
    PulseConnection::Lock lock(connection_);
    if (!running_) {
        return;
    }
    Pull();
    // With every buffer full the rest waits, here and in the server's queue, for the buffers
    // the pipeline queues again: after a stall it catches up over a few ticks, nothing lost.
    while (ring_.MoveInto(queue_) > 0) {
        Pull(); // room was made: take what waited in the stream's queue
    }
}

bool PulseCapture::StreamLost() const {
    if (!stream_) {
        return false;
    }
    const pa_context* context = connection_.Context();
    return pa_stream_get_state(stream_) != PA_STREAM_READY || !context ||
           pa_context_get_state(const_cast<pa_context*>(context)) != PA_CONTEXT_READY;
}

record::CaptureError PulseCapture::StreamError() {
    PulseConnection::Lock lock(connection_);
    if (!StreamLost()) {
        return record::CaptureError::Ok;
    }
    if (running_) {
        // The last bytes the device delivered go to the buffers before the loss is told.
        ring_.MoveInto(queue_);
        ring_.Clear();
    }
    return record::CaptureError::StreamLost;
}

void PulseCapture::Reset() {
    PulseConnection::Lock lock(connection_);
    running_ = false;
    ring_.Clear();
    queue_.Clear();
}

void PulseCapture::Close() {
    Reset();
    PulseConnection::Lock lock(connection_);
    if (!stream_) {
        return;
    }
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    if (pa_stream_get_state(stream_) == PA_STREAM_READY) {
        pa_stream_disconnect(stream_);
    }
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

} // namespace platform
