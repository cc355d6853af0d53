// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/capture_device.h"

namespace record {

QString CaptureErrorText(CaptureError code) {
    switch (code) {
    case CaptureError::Ok:
        return QStringLiteral("The command completed successfully.");
    case CaptureError::NoDevice:
        return QStringLiteral("There is no sound input device.");
    case CaptureError::DeviceBusy:
        return QStringLiteral("The sound input device is already in use by another program.");
    case CaptureError::NoDriver:
        return QStringLiteral("The sound service is not available.");
    case CaptureError::NoMemory:
        return QStringLiteral("Not enough memory to open the sound input device.");
    case CaptureError::BadFormat:
        return QStringLiteral(
            "The sound input device does not support 44100 Hz, 16-bit stereo recording.");
    case CaptureError::StreamLost:
        return QStringLiteral("The sound input device stopped working.");
    default:
        return QStringLiteral("The sound input device could not be opened.");
    }
}

void HeaderQueue::Push(SlotHeader* header) {
    if (count_ == base::SlotCount) {
        return;
    }
    header->flags |= SlotQueued;
    ring_[size_t((head_ + count_) % base::SlotCount)] = header;
    ++count_;
}

HeaderQueue::Space HeaderQueue::FrontSpace() const {
    const SlotHeader* h = Front();
    if (!h) {
        return {};
    }
    return {h->data + h->bytesRecorded,
            h->bufferLength > h->bytesRecorded ? h->bufferLength - h->bytesRecorded : 0};
}

bool HeaderQueue::Filled(uint32_t bytes) {
    SlotHeader* h = Front();
    if (!h) {
        return false;
    }
    h->bytesRecorded += bytes;
    if (h->bytesRecorded < h->bufferLength) {
        return false;
    }
    PopFront();
    return true;
}

void HeaderQueue::PopFront() {
    if (count_ == 0) {
        return;
    }
    ring_[size_t(head_)]->flags &= ~SlotQueued;
    head_ = (head_ + 1) % base::SlotCount;
    --count_;
}

void HeaderQueue::Clear() {
    for (int k = 0; k < count_; ++k) {
        ring_[size_t((head_ + k) % base::SlotCount)]->flags &= ~SlotQueued;
    }
    head_ = 0;
    count_ = 0;
}

} // namespace record
