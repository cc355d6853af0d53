// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/capture_device.h"

namespace record {

namespace {

// What the pipeline sees before a real device is installed: a system without inputs.
class NoCaptureDevice : public CaptureDevice {
  public:
    int DeviceCount() override { return 0; }
    QString FirstDeviceName() override { return {}; }
    int Open() override { return CaptureNoDevice; }
    void AddBuffer(SlotHeader* header) override { header->flags |= SlotQueued; }
    void Start() override {}
    void Reset() override {}
    void Close() override {}
};

NoCaptureDevice noDevice;
CaptureDevice* current = &noDevice;

} // namespace

QString CaptureErrorText(int code) {
    switch (code) {
    case CaptureOk:
        return QStringLiteral("The command completed successfully.");
    case CaptureNoDevice:
        return QStringLiteral("There is no sound input device.");
    case CaptureDeviceBusy:
        return QStringLiteral("The sound input device is already in use by another program.");
    case CaptureNoDriver:
        return QStringLiteral("The sound service is not available.");
    case CaptureNoMemory:
        return QStringLiteral("Not enough memory to open the sound input device.");
    case CaptureBadFormat:
        return QStringLiteral(
            "The sound input device does not support 44100 Hz, 16-bit stereo recording.");
    case CaptureStreamLost:
        return QStringLiteral("The sound input device stopped working.");
    default:
        return QStringLiteral("The sound input device could not be opened.");
    }
}

CaptureDevice& CurrentCaptureDevice() {
    return *current;
}

void SetCaptureDevice(CaptureDevice* device) {
    current = device ? device : &noDevice;
}

} // namespace record
