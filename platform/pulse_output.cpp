// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse_output.h"

#include "base/blocks.h"

#include <algorithm>
#include <chrono>

namespace platform {

namespace {

using namespace std::chrono_literals;

constexpr auto ConnectWait = 2000ms;
constexpr auto StartWait = 3000ms;
// What the server may still hold at the end of a playback is its sink's latency, well under this.
constexpr auto DrainWait = 3000ms;
// The playback engine keeps at most two halves of 20 blocks out.
constexpr uint32_t StreamBufferBytes = 40 * base::BlockBytes;
// Within this of the last byte written a playback is near its end (a fed stream runs about the
// whole buffer ahead of what has played).
constexpr uint64_t EndWatchBytes = 10 * base::BlockBytes;

} // namespace

PulseOutput::PulseOutput() = default;

PulseOutput::~PulseOutput() {
    Close();
}

playback::OutputError PulseOutput::Open() {
    Close();
    if (!connection_.Connect(ConnectWait)) {
        connection_.Disconnect();
        return playback::OutputError::NoDriver;
    }
    {
        PulseConnection::Lock lock(connection_);
        if (connection_.DeviceCount() == 0) {
            connection_.Disconnect();
            return playback::OutputError::NoDevice;
        }
    }
    open_ = true;
    volume_ = 65535;
    return playback::OutputError::Ok;
}

pa_cvolume PulseOutput::StreamVolume() const {
    pa_cvolume volume;
    pa_cvolume_set(&volume, base::Channels, pa_sw_volume_from_linear(double(volume_) / 65535.0));
    return volume;
}

bool PulseOutput::StartStream() {
    pa_context* context = connection_.Context();
    if (!context || pa_context_get_state(context) != PA_CONTEXT_READY) {
        return false;
    }
    const pa_sample_spec format = InternalFormat();
    pa_stream* stream = pa_stream_new(context, "Playback", &format, nullptr);
    if (!stream) {
        return false;
    }
    pa_stream_set_state_callback(stream, &PulseOutput::StreamState, this);
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = StreamBufferBytes;
    attr.prebuf = uint32_t(base::BlockBytes);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING |
                                         PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_START_UNMUTED);
    const pa_cvolume volume = StreamVolume();
    if (pa_stream_connect_playback(stream, nullptr, &attr, flags, &volume, nullptr) < 0) {
        DropStream(stream);
        return false;
    }
    connection_.WaitUntil(
        [stream] {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
        },
        StartWait);
    if (pa_stream_get_state(stream) != PA_STREAM_READY) {
        DropStream(stream);
        return false;
    }
    stream_ = stream;
    return true;
}

void PulseOutput::DropStream(pa_stream* stream) {
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    if (pa_stream_get_state(stream) == PA_STREAM_READY) {
        pa_stream_disconnect(stream);
    }
    pa_stream_unref(stream);
}

void PulseOutput::StreamState(pa_stream*, void* self) {
    static_cast<PulseOutput*>(self)->connection_.Wake();
}

void PulseOutput::Write(const uint8_t* data, uint32_t bytes) {
    if (!open_ || bytes == 0) {
        return;
    }
    written_ += bytes;
    PulseConnection::Lock lock(connection_);
    if (!stream_ && !streamFailed_) {
        streamFailed_ = !StartStream();
    }
    if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
        // The server copies the bytes; the stream's buffer takes the whole ring.
        pa_stream_write(stream_, data, bytes, nullptr, 0, PA_SEEK_RELATIVE);
    }
}

uint64_t PulseOutput::PlayedBytes() {
    if (!open_) {
        return 0;
    }
    PulseConnection::Lock lock(connection_);
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        // No stream (it failed to start or the server went away): nothing will play, so count
        // everything as played rather than keep a playback waiting for ever.
        played_ = written_;
        return played_;
    }
    pa_usec_t usec = 0;
    if (pa_stream_get_time(stream_, &usec) == 0) {
        const uint64_t frames = (uint64_t(usec) * base::SampleRate + 500000) / 1000000;
        played_ = std::max(played_, std::min(frames * base::FrameBytes, written_));
    }
    // Between the server's own readings (about one every 1.5 s) the time is interpolated, which
    // is close enough while the ring keeps the stream fed. Near the last byte written it would
    // run on past the end, so there every tick asks for a fresh reading for the next one; a round
    // trip to the server on every tick of a whole playback would cost more than the rest of it.
    if (written_ - played_ <= EndWatchBytes) {
        if (pa_operation* op = pa_stream_update_timing_info(stream_, nullptr, nullptr)) {
            pa_operation_unref(op);
        }
    }
    // Once the server has read every byte and stopped for want of more, the time stands still
    // short of the end by the sink's latency at that moment: the stream has played out.
    const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
    if (timing && !timing->read_index_corrupt && !timing->playing &&
        timing->read_index >= int64_t(written_)) {
        played_ = written_;
    }
    return played_;
}

void PulseOutput::Drained(pa_stream* stream, int, void* self) {
    auto* out = static_cast<PulseOutput*>(self);
    auto& draining = out->draining_;
    const auto it = std::find(draining.begin(), draining.end(), stream);
    if (it != draining.end()) {
        draining.erase(it);
        DropStream(stream);
    }
    out->connection_.Wake();
}

void PulseOutput::Reset() {
    const bool ranToEnd = written_ > 0 && PlayedBytes() >= written_;
    PulseConnection::Lock lock(connection_);
    if (pa_stream* stream = std::exchange(stream_, nullptr)) {
        pa_operation* drain = nullptr;
        if (ranToEnd && pa_stream_get_state(stream) == PA_STREAM_READY) {
            draining_.push_back(stream);
            drain = pa_stream_drain(stream, &PulseOutput::Drained, this);
        }
        if (drain) {
            pa_operation_unref(drain);
        } else {
            draining_.erase(std::remove(draining_.begin(), draining_.end(), stream),
                            draining_.end());
            DropStream(stream);
        }
    }
    streamFailed_ = false;
    written_ = 0;
    played_ = 0;
}

void PulseOutput::Close() {
    Reset();
    {
        PulseConnection::Lock lock(connection_);
        // The end of the last playback is still being played: let it finish, unless the server
        // has gone (a lost stream ends its drain without an answer).
        connection_.WaitUntil(
            [this] {
                return std::all_of(draining_.begin(), draining_.end(), [](pa_stream* s) {
                    return pa_stream_get_state(s) != PA_STREAM_READY;
                });
            },
            DrainWait);
        for (pa_stream* stream : draining_) {
            DropStream(stream);
        }
        draining_.clear();
    }
    open_ = false;
    connection_.Disconnect();
}

uint16_t PulseOutput::Volume() {
    return open_ ? volume_ : 0;
}

void PulseOutput::SetVolume(uint16_t value) {
    if (!open_) {
        return;
    }
    volume_ = value;
    PulseConnection::Lock lock(connection_);
    if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
        const pa_cvolume volume = StreamVolume();
        if (pa_operation* op = pa_context_set_sink_input_volume(
                connection_.Context(), pa_stream_get_index(stream_), &volume, nullptr, nullptr)) {
            pa_operation_unref(op);
        }
    }
}

} // namespace platform
