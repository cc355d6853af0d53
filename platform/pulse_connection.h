// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <pulse/pulseaudio.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// One connection to the sound server, shared by nothing: the capture and the output adapter each
// own one. A pa_threaded_mainloop runs the connection on a thread of its own; every call below
// that touches the server, and everything an adapter does with its pa_stream, happens with the
// loop's lock held (PulseConnection::Lock), and the loop's callbacks run with it held too.
//
// The connection keeps a list of the server's devices of one direction (sources without the
// sinks' monitors, or sinks) and the default one, refreshed by the server's own events (a device
// added or removed, the default changed), so asking for it costs a lock and nothing more. A
// connection the server dropped or refused answers "no devices"; Connect makes a new one.
namespace platform {

class PulseConnection {
  public:
    enum class Direction { Input, Output };

    explicit PulseConnection(Direction direction);
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Holds the loop's lock for a scope; never taken inside one of the loop's callbacks.
    class Lock {
      public:
        explicit Lock(PulseConnection& connection);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        pa_threaded_mainloop* loop_;
    };

    // Makes sure a connection is up or on its way: one that failed or ended is dropped and a new
    // one started. Waits up to `wait` for it and its first device list; true when both are there.
    // With a zero wait it returns at once, so a poll never blocks on a server that does not
    // answer. Called without the lock.
    bool Connect(std::chrono::milliseconds wait);
    // Ends the connection; the next Connect starts a new one. Streams made on it must be gone.
    void Disconnect();

    // Under the lock: the connection is up and its device list has arrived.
    bool Ready() const;
    // Under the lock: the context, for making streams; nullptr when there is none.
    pa_context* Context() const { return context_; }
    // Under the lock: why the last request failed, as a PA_ERR_* code.
    int LastError() const;

    // Under the lock: the devices now present (0 while not Ready).
    int DeviceCount() const { return Ready() ? int(devices_.size()) : 0; }
    // Under the lock: the server's default device if it is one of the list, else the first;
    // empty names when there is none. `name` is the server's, `description` the user's.
    struct Device {
        std::string name;
        QString description;
    };
    Device FirstDevice() const;

    // Under the lock: waits until `done` holds or `wait` has passed; true when `done` held. The
    // loop's callbacks wake it (Wake) whenever something changed.
    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds wait);
    // From a loop callback: wakes a WaitUntil.
    void Wake();

  private:
    static void ContextState(pa_context* context, void* self);
    static void ServerEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index,
                            void* self);
    static void ServerInfo(pa_context* context, const pa_server_info* info, void* self);
    static void SourceInfo(pa_context* context, const pa_source_info* info, int eol, void* self);
    static void SinkInfo(pa_context* context, const pa_sink_info* info, int eol, void* self);

    void DropContext();
    // Asks the server for its default and its devices; a request while one runs asks again once
    // it has ended, so the list never mixes two answers.
    void Refresh();
    void ListArrived(bool ok);

    const Direction direction_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool listed_ = false; // a device list arrived on this connection
    bool querying_ = false;
    bool queryAgain_ = false;
    std::string defaultName_;
    std::vector<Device> devices_;
    std::string pendingDefault_; // the list being gathered
    std::vector<Device> pending_;
};

// The one internal format: 44100 Hz, 2 channels, 16-bit signed little-endian.
pa_sample_spec InternalFormat();

// The code a device port answers for a server error (record::CaptureError or
// playback::OutputError: each has NoDevice, DeviceBusy, NoDriver, NoMemory, BadFormat and
// OpenFailed).
template <typename Code> Code CodeOfServerError(int error) {
    switch (error) {
    case PA_ERR_NOENTITY:
        return Code::NoDevice;
    case PA_ERR_BUSY:
        return Code::DeviceBusy;
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_CONNECTIONTERMINATED:
        return Code::NoDriver;
    case PA_ERR_NOTSUPPORTED:
        return Code::BadFormat;
    default:
        return Code::OpenFailed;
    }
}

} // namespace platform
