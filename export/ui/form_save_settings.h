// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QTabWidget;
class QWidget;
namespace setup {
class SettingsStore;
}

// The save-format window: shows the WAV and MP3 settings of the run's settings store on two pages
// and stores them back on every close (there is no Cancel). The page showing when it closes
// chooses the output format. Created once and reused; every opening reloads the controls.
class TFormSaveSettings : public QDialog {
    Q_OBJECT
  public:
    // `settings` must outlive the window.
    explicit TFormSaveSettings(setup::SettingsStore& settings, QWidget* parent = nullptr);

    // Puts every list at its first-use default.
    void FormCreate();
    // Loads the controls from the settings.
    void FormShow();
    // The user switched pages: the format flags and the tab captions follow at once.
    void PControlFormatChange();
    // The VBR limits and quality are editable only while VBR is on.
    void ChBoxEnableVBRClick();
    void BitBtnOKClick();
    // Stores the controls into the settings, on every close.
    void FormClose();

    // Controls, named as in the window's layout.
    QTabWidget* PControlFormat = nullptr;
    QWidget* TSheetWav = nullptr;
    QWidget* TSheetMP3 = nullptr;
    QComboBox* CBoxWavSpsIn = nullptr;
    QComboBox* CBoxWavChannel = nullptr;
    QComboBox* CBoxWavBits = nullptr;
    QLabel* ImageWAV = nullptr;
    QComboBox* CBoxMP3BitRate = nullptr;
    QComboBox* CBoxMP3Mode = nullptr;
    QLabel* ImageMP3 = nullptr;
    QGroupBox* GBoxVBR = nullptr;
    QCheckBox* ChBoxEnableVBR = nullptr;
    QComboBox* CBoxMinBRate = nullptr;
    QComboBox* CBoxMaxBRate = nullptr;
    QSlider* TBarVBRQuality = nullptr;
    QCheckBox* ChBoxCopyright = nullptr;
    QCheckBox* ChBoxOriginal = nullptr;
    QCheckBox* ChBoxPrivate = nullptr;
    QPushButton* BitBtnOK = nullptr;

    // Closing by OK, the close box or Escape alike runs FormClose.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BuildWavPage();
    void BuildMp3Page();
    void ShowPageCaptions(bool wavShowing);

    setup::SettingsStore& settings_;
};
