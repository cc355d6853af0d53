// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ui/form_save_settings.h"

#include "gauges/window_font.h"
#include "gauges/window_parts.h"
#include "setup/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

using gauges::Make;

using setup::OfferedIndex;

// The lists' items stand, in order, for the values of app's Offered lists.
constexpr int BitRateCount = int(std::size(setup::OfferedBitRates));

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items, int left, int top,
                    int width) {
    auto* list = Make<QComboBox>(parent, name, left, top, width, 21);
    list->addItems(items); // not editable: selection only
    return list;
}

QStringList BitRateItems() {
    QStringList items;
    for (int rate : setup::OfferedBitRates) {
        items << QString::number(rate);
    }
    return items;
}

// The pages' pictures: a plain wave for WAV, the same wave cut into steps for MP3.
QPixmap FormatPicture(bool stepped) {
    QPixmap picture(96, 64);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, picture.width() - 1, picture.height() - 1);
    painter.drawLine(4, 32, 91, 32);
    QPainterPath wave;
    for (int x = 4; x <= 91; ++x) {
        const int sample = stepped ? x - (x - 4) % 6 : x;
        const double y = 32 - 24 * std::sin((sample - 4) * 2 * M_PI / 44) *
                                  (0.4 + 0.6 * std::sin((sample - 4) * M_PI / 88));
        if (x == 4) {
            wave.moveTo(x, y);
        } else {
            wave.lineTo(x, y);
        }
    }
    painter.setPen(QPen(stepped ? QColor(180, 0, 0) : QColor(0, 0, 150), 1.5));
    painter.drawPath(wave);
    return picture;
}

} // namespace

TFormSaveSettings::TFormSaveSettings(setup::SettingsStore& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName("FormSaveSettings");
    setWindowTitle("Save Settings");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(gauges::WindowFont());
    setFixedSize(347, 266);

    PControlFormat = Make<QTabWidget>(this, "PControlFormat", 8, 8, 331, 218);
    TSheetWav = new QWidget;
    TSheetWav->setObjectName("TSheetWav");
    TSheetMP3 = new QWidget;
    TSheetMP3->setObjectName("TSheetMP3");
    PControlFormat->addTab(TSheetWav, "WAV");
    PControlFormat->addTab(TSheetMP3, "MP3");
    BuildWavPage();
    BuildMp3Page();
    // Only the user's switch counts; FormShow turns pages with the signal blocked.
    connect(PControlFormat, &QTabWidget::currentChanged, this,
            &TFormSaveSettings::PControlFormatChange);

    BitBtnOK = Make<QPushButton>(this, "BitBtnOK", 133, 234, 81, 25);
    BitBtnOK->setText("OK");
    BitBtnOK->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtnOK->setDefault(true);
    connect(BitBtnOK, &QPushButton::clicked, this, &TFormSaveSettings::BitBtnOKClick);

    FormCreate();
}

void TFormSaveSettings::BuildWavPage() {
    QWidget* page = TSheetWav;
    MakeLabel(page, "LabSampleRate", "Sample Rate", 16, 12);
    CBoxWavSpsIn =
        MakeList(page, "CBoxWavSpsIn", {"44100 Hz", "22050 Hz ", "11025 Hz "}, 16, 28, 97);
    MakeLabel(page, "LabChannel", "Channel", 16, 64);
    CBoxWavChannel = MakeList(page, "CBoxWavChannel", {"stereo", "mono"}, 16, 80, 97);
    MakeLabel(page, "LabBitPerSample", "Bit Per Sample", 16, 116);
    CBoxWavBits = MakeList(page, "CBoxWavBits", {"16 bit", "8  bit"}, 16, 132, 97);
    ImageWAV = Make<QLabel>(page, "ImageWAV", 168, 44, 96, 64);
    ImageWAV->setPixmap(FormatPicture(false));
}

void TFormSaveSettings::BuildMp3Page() {
    QWidget* page = TSheetMP3;
    MakeLabel(page, "LabBitRate", "Bit rate, kbps", 8, 6);
    CBoxMP3BitRate = MakeList(page, "CBoxMP3BitRate", BitRateItems(), 8, 22, 73);
    MakeLabel(page, "LabChannelMode", "Channel mode", 96, 6);
    CBoxMP3Mode = MakeList(page, "CBoxMP3Mode", {"stereo", "joint stereo", "mono"}, 96, 22, 105);
    ImageMP3 = Make<QLabel>(page, "ImageMP3", 232, 6, 72, 40);
    ImageMP3->setPixmap(
        FormatPicture(true).scaled(72, 40, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));

    GBoxVBR = Make<QGroupBox>(page, "GBoxVBR", 8, 50, 305, 106);
    GBoxVBR->setTitle("VBR - Variable Bit Rate");
    ChBoxEnableVBR = Make<QCheckBox>(GBoxVBR, "ChBoxEnableVBR", 8, 20, 97, 17);
    ChBoxEnableVBR->setText("Enable VBR");
    connect(ChBoxEnableVBR, &QCheckBox::toggled, this, &TFormSaveSettings::ChBoxEnableVBRClick);
    MakeLabel(GBoxVBR, "LabMinBitRate", "Min Bit Rate", 8, 44);
    CBoxMinBRate = MakeList(GBoxVBR, "CBoxMinBRate", BitRateItems(), 8, 60, 73);
    MakeLabel(GBoxVBR, "LabMaxBitRate", "Max Bit Rate", 92, 44);
    CBoxMaxBRate = MakeList(GBoxVBR, "CBoxMaxBRate", BitRateItems(), 92, 60, 73);
    MakeLabel(GBoxVBR, "LabVBRQuality", "VBR Quality", 184, 20);
    TBarVBRQuality = Make<QSlider>(GBoxVBR, "TBarVBRQuality", 180, 38, 113, 28);
    TBarVBRQuality->setOrientation(Qt::Horizontal);
    TBarVBRQuality->setRange(0, setup::MaxVBRQuality);
    TBarVBRQuality->setPageStep(1);
    TBarVBRQuality->setTickPosition(QSlider::TicksBelow);
    TBarVBRQuality->setTickInterval(1);
    MakeLabel(GBoxVBR, "LabBest", "best", 184, 70);
    QLabel* worst = MakeLabel(GBoxVBR, "LabWorst", "worst", 0, 70);
    worst->move(TBarVBRQuality->geometry().right() - 4 - worst->width(), 70);

    ChBoxCopyright = Make<QCheckBox>(page, "ChBoxCopyright", 8, 164, 89, 17);
    ChBoxCopyright->setText("Copyrighted");
    ChBoxOriginal = Make<QCheckBox>(page, "ChBoxOriginal", 112, 164, 73, 17);
    ChBoxOriginal->setText("Original");
    ChBoxPrivate = Make<QCheckBox>(page, "ChBoxPrivate", 200, 164, 65, 17);
    ChBoxPrivate->setText("Private");
    ChBoxEnableVBRClick();
}

void TFormSaveSettings::FormCreate() {
    CBoxWavSpsIn->setCurrentIndex(0);
    CBoxWavChannel->setCurrentIndex(0);
    CBoxWavBits->setCurrentIndex(0);
    CBoxMP3BitRate->setCurrentIndex(
        OfferedIndex(setup::OfferedBitRates, setup::Settings{}.BitRate));
    CBoxMP3Mode->setCurrentIndex(0);
    CBoxMinBRate->setCurrentIndex(0);
    CBoxMaxBRate->setCurrentIndex(BitRateCount - 1);
}

void TFormSaveSettings::ShowPageCaptions(bool wavShowing) {
    PControlFormat->setTabText(0, wavShowing ? "WAV" : "wav");
    PControlFormat->setTabText(1, wavShowing ? "mp3" : "MP3");
}

void TFormSaveSettings::FormShow() {
    const setup::Settings& s = settings_.Values();
    {
        // With both flags set the MP3 page wins; with neither, the last page stays.
        const QSignalBlocker quiet(PControlFormat);
        if (s.Wav) {
            PControlFormat->setCurrentWidget(TSheetWav);
            ShowPageCaptions(true);
        }
        if (s.MP3) {
            PControlFormat->setCurrentWidget(TSheetMP3);
            ShowPageCaptions(false);
        }
    }
    // Values no item matches leave the list as it was (sample rate, mode) or at a fixed item.
    if (const int rate = OfferedIndex(setup::OfferedSampleRates, s.SamplePerSecond); rate >= 0) {
        CBoxWavSpsIn->setCurrentIndex(rate);
    }
    CBoxWavChannel->setCurrentIndex(std::max(OfferedIndex(setup::OfferedChannels, s.Channels), 0));
    CBoxWavBits->setCurrentIndex(
        std::max(OfferedIndex(setup::OfferedBitsPerSample, s.BitPerSample), 0));
    CBoxMP3BitRate->setCurrentIndex(std::max(OfferedIndex(setup::OfferedBitRates, s.BitRate), 0));
    if (const int mode = OfferedIndex(setup::OfferedModes, s.Mode); mode >= 0) {
        CBoxMP3Mode->setCurrentIndex(mode);
    }
    CBoxMinBRate->setCurrentIndex(std::max(OfferedIndex(setup::OfferedBitRates, s.MinBitRate), 0));
    const int maxItem = OfferedIndex(setup::OfferedBitRates, s.MaxBitRate);
    CBoxMaxBRate->setCurrentIndex(maxItem >= 0 ? maxItem : BitRateCount - 1);
    TBarVBRQuality->setValue(s.VBRQuality);
    ChBoxEnableVBR->setChecked(s.VBR);
    ChBoxCopyright->setChecked(s.Copyright);
    ChBoxOriginal->setChecked(s.Original);
    ChBoxPrivate->setChecked(s.Private);
}

void TFormSaveSettings::PControlFormatChange() {
    const bool wav = PControlFormat->currentWidget() == TSheetWav;
    settings_.SetOutputFormat(wav);
    ShowPageCaptions(wav);
}

void TFormSaveSettings::ChBoxEnableVBRClick() {
    const bool on = ChBoxEnableVBR->isChecked();
    for (QWidget* control : GBoxVBR->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control != ChBoxEnableVBR) {
            control->setEnabled(on);
        }
    }
}

void TFormSaveSettings::BitBtnOKClick() {
    accept();
}

void TFormSaveSettings::FormClose() {
    setup::Settings s = settings_.Values();
    const bool wav = PControlFormat->currentWidget() == TSheetWav;
    s.Wav = wav;
    s.MP3 = !wav;
    // Every list has an item chosen (FormCreate), so each index is in range.
    auto item = [](QComboBox* list) { return size_t(std::max(list->currentIndex(), 0)); };
    s.SamplePerSecond = setup::OfferedSampleRates[item(CBoxWavSpsIn)];
    s.Channels = setup::OfferedChannels[item(CBoxWavChannel)];
    s.BitPerSample = setup::OfferedBitsPerSample[item(CBoxWavBits)];
    s.BitRate = setup::OfferedBitRates[item(CBoxMP3BitRate)];
    s.Mode = setup::OfferedModes[item(CBoxMP3Mode)];
    s.VBR = ChBoxEnableVBR->isChecked();
    s.MinBitRate = setup::OfferedBitRates[item(CBoxMinBRate)];
    s.MaxBitRate = setup::OfferedBitRates[item(CBoxMaxBRate)];
    s.VBRQuality = TBarVBRQuality->value();
    s.Copyright = ChBoxCopyright->isChecked();
    s.Original = ChBoxOriginal->isChecked();
    s.Private = ChBoxPrivate->isChecked();
    settings_.SetSaveFormat(s);
}

void TFormSaveSettings::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TFormSaveSettings::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
}
