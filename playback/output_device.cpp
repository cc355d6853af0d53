// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/output_device.h"

namespace playback {

namespace {

// What the engine sees before a real device is installed: a system without outputs.
class NoOutputDevice : public OutputDevice {
  public:
    int Open() override { return OutputNoDevice; }
    void Write(const uint8_t*, uint32_t) override {}
    uint64_t PlayedBytes() override { return 0; }
    void Reset() override {}
    void Close() override {}
    uint16_t Volume() override { return 0; }
    void SetVolume(uint16_t) override {}
};

NoOutputDevice noDevice;
OutputDevice* current = &noDevice;

} // namespace

QString OutputErrorText(int code) {
    switch (code) {
    case OutputOk:
        return QStringLiteral("The command completed successfully.");
    case OutputNoDevice:
        return QStringLiteral("There is no sound output device.");
    case OutputDeviceBusy:
        return QStringLiteral("The sound output device is already in use by another program.");
    case OutputNoDriver:
        return QStringLiteral("The sound service is not available.");
    case OutputNoMemory:
        return QStringLiteral("Not enough memory to open the sound output device.");
    case OutputBadFormat:
        return QStringLiteral(
            "The sound output device does not support 44100 Hz, 16-bit stereo playback.");
    default:
        return QStringLiteral("The sound output device could not be opened.");
    }
}

OutputDevice& CurrentOutputDevice() {
    return *current;
}

void SetOutputDevice(OutputDevice* device) {
    current = device ? device : &noDevice;
}

} // namespace playback
