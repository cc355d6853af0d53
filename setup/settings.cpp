// SPDX-License-Identifier: GPL-3.0-or-later
#include "setup/settings.h"

#include "base/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <limits>
#include <optional>
#include <vector>

namespace setup {

namespace {

constexpr qint64 MaxFileBytes = 1 << 20; // a settings file is a few hundred bytes
constexpr int MaxLineBytes = 4096;

const char* const SaveFormat = "Save Format";
const char* const OutputFolderSection = "Output Folder";
const char* const RecordingMode = "Recording Mode";

// One line of an INI file as read, so that a rewrite keeps comments and foreign keys.
struct Line {
    enum Kind { Blank, Section, Key, Other } kind = Other;
    QByteArray raw;
    QString section; // the section this line belongs to (for Key) or opens (for Section)
    QString key;
    QString value;
};

class IniDocument {
  public:
    void Parse(const QByteArray& bytes) {
        QString section;
        for (QByteArray raw : bytes.split('\n')) {
            if (raw.endsWith('\r')) {
                raw.chop(1);
            }
            Line line;
            line.raw = raw;
            line.section = section;
            if (raw.size() > MaxLineBytes || !IsText(raw)) {
                lines_.push_back(line); // kept on rewrite, never read
                continue;
            }
            QString text = QString::fromUtf8(raw).trimmed();
            if (text.isEmpty()) {
                line.kind = Line::Blank;
            } else if (text.startsWith(';') || text.startsWith('#')) {
                line.kind = Line::Other;
            } else if (text.startsWith('[') && text.indexOf(']') > 0) {
                section = text.mid(1, text.indexOf(']') - 1).trimmed();
                line.kind = Line::Section;
                line.section = section;
            } else if (text.indexOf('=') > 0) {
                line.kind = Line::Key;
                line.key = text.left(text.indexOf('=')).trimmed();
                line.value = text.mid(text.indexOf('=') + 1).trimmed();
                if (line.value.size() >= 2 && line.value.startsWith('"') &&
                    line.value.endsWith('"')) {
                    line.value = line.value.mid(1, line.value.size() - 2);
                }
            }
            lines_.push_back(line);
        }
        // split() gives one empty piece after a final line end; it is not a line of the file.
        if (!lines_.empty() && lines_.back().raw.isEmpty() && bytes.endsWith('\n')) {
            lines_.pop_back();
        }
    }

    // The first value of the key in the section, as Windows' profile functions answer.
    std::optional<QString> Get(const QString& section, const QString& key) const {
        for (const Line& line : lines_) {
            if (line.kind == Line::Key && Same(line.section, section) && Same(line.key, key)) {
                return line.value;
            }
        }
        return std::nullopt;
    }

    void Set(const QString& section, const QString& key, const QString& value) {
        QByteArray raw = (key + "=" + value).toUtf8();
        int lastInSection = -1;
        for (int i = 0; i < int(lines_.size()); ++i) {
            Line& line = lines_[i];
            if (line.kind == Line::Key && Same(line.section, section) && Same(line.key, key)) {
                line.raw = raw;
                line.value = value;
                return;
            }
            if ((line.kind == Line::Key || line.kind == Line::Section) &&
                Same(line.section, section)) {
                lastInSection = i;
            }
        }
        Line line;
        line.kind = Line::Key;
        line.raw = raw;
        line.section = section;
        line.key = key;
        line.value = value;
        if (lastInSection < 0) {
            if (!lines_.empty() && lines_.back().kind != Line::Blank) {
                lines_.push_back(Line{Line::Blank, {}, {}, {}, {}});
            }
            lines_.push_back(Line{Line::Section, ("[" + section + "]").toUtf8(), section, {}, {}});
            lines_.push_back(line);
        } else {
            lines_.insert(lines_.begin() + lastInSection + 1, line);
        }
    }

    QByteArray Serialize() const {
        QByteArray out;
        for (const Line& line : lines_) {
            out += line.raw;
            out += '\n';
        }
        return out;
    }

  private:
    static bool Same(const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }
    static bool IsText(const QByteArray& raw) {
        for (char c : raw) {
            auto u = static_cast<unsigned char>(c);
            if (u < 0x20 && c != '\t') {
                return false;
            }
        }
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString ignored = decoder(raw);
        return !decoder.hasError();
    }

    std::vector<Line> lines_;
};

// Strict readers: a value that is not exactly of the key's type gives nullopt.
std::optional<qint64> ToInteger(const std::optional<QString>& text, qint64 min, qint64 max) {
    if (!text) {
        return std::nullopt;
    }
    bool ok = false;
    qint64 v = text->toLongLong(&ok, 10);
    if (!ok || v < min || v > max) {
        return std::nullopt;
    }
    return v;
}

template <typename T>
void ReadInt(const IniDocument& ini, const char* section, const char* key, T& out) {
    if (auto v = ToInteger(ini.Get(section, key), std::numeric_limits<T>::min(),
                           std::numeric_limits<T>::max())) {
        out = T(*v);
    }
}

// A save-format value counts only when the save-settings window offers it; any other keeps the
// default, as a missing key does, so that no save fails on a value nobody could choose.
template <typename T, size_t N>
void ReadOffered(const IniDocument& ini, const char* key, const T (&offered)[N], T& out) {
    T value = out;
    ReadInt(ini, SaveFormat, key, value);
    if (OfferedIndex(offered, value) >= 0) {
        out = value;
    }
}

void ReadBool(const IniDocument& ini, const char* section, const char* key, bool& out) {
    auto text = ini.Get(section, key);
    if (text && (*text == "0" || *text == "1")) {
        out = (*text == "1");
    }
}

QString B(bool v) {
    return v ? "1" : "0";
}

} // namespace

QString Settings::DefaultOutputFolder() {
    return QDir::homePath();
}

QString SettingsFilePathFor(const QString& executablePath) {
    QFileInfo fi(executablePath);
    return fi.path() + "/" + fi.completeBaseName() + ".INI";
}

QString SettingsFilePathFor(Placement placement, const QString& executablePath,
                            const QString& configFolder) {
    if (placement == Placement::InPlace) {
        return SettingsFilePathFor(executablePath);
    }
    return configFolder.isEmpty() ? QString()
                                  : configFolder + "/velmar-recorder/velmar-recorder.INI";
}

Settings LoadSettings(const QString& path) {
    Settings s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return s; // first run, or unreadable: the defaults
    }
    IniDocument ini;
    ini.Parse(file.read(MaxFileBytes));

    ReadBool(ini, SaveFormat, "Wav", s.Wav);
    ReadOffered(ini, "SamplePerSecond", OfferedSampleRates, s.SamplePerSecond);
    ReadOffered(ini, "BitPerSample", OfferedBitsPerSample, s.BitPerSample);
    ReadOffered(ini, "Channels", OfferedChannels, s.Channels);
    ReadBool(ini, SaveFormat, "MP3", s.MP3);
    ReadOffered(ini, "BitRate", OfferedBitRates, s.BitRate);
    ReadOffered(ini, "Mode", OfferedModes, s.Mode);
    ReadBool(ini, SaveFormat, "VBR", s.VBR);
    ReadOffered(ini, "MinBitRate", OfferedBitRates, s.MinBitRate);
    ReadOffered(ini, "MaxBitRate", OfferedBitRates, s.MaxBitRate);
    if (auto quality = ToInteger(ini.Get(SaveFormat, "VBRQuality"), 0, MaxVBRQuality)) {
        s.VBRQuality = int32_t(*quality);
    }
    ReadBool(ini, SaveFormat, "Copyright", s.Copyright);
    ReadBool(ini, SaveFormat, "Original", s.Original);
    ReadBool(ini, SaveFormat, "Private", s.Private);
    if (auto name = ini.Get(OutputFolderSection, "Name")) {
        s.OutputFolder = *name;
    }
    ReadInt(ini, RecordingMode, "Index", s.RecordingModeIndex);
    if (s.RecordingModeIndex < 0 || s.RecordingModeIndex > 7) {
        s.RecordingModeIndex = 0; // the mode list has no such item: fall back to "Continuous"
    }
    return s;
}

void SaveSettings(const QString& path, const Settings& s) {
    if (path.isEmpty()) {
        throw base::UserError(
            "The settings were not saved: neither XDG_CONFIG_HOME nor HOME is set.");
    }
    IniDocument ini;
    QFile old(path);
    if (old.exists()) {
        if (!QFileInfo(path).isWritable()) {
            throw base::UserError(
                ("The settings file " + path + " is read-only; the settings were not saved.")
                    .toStdString());
        }
        if (old.open(QIODevice::ReadOnly)) {
            ini.Parse(old.read(MaxFileBytes));
            old.close();
        }
    }
    ini.Set(SaveFormat, "Wav", B(s.Wav));
    ini.Set(SaveFormat, "SamplePerSecond", QString::number(s.SamplePerSecond));
    ini.Set(SaveFormat, "BitPerSample", QString::number(s.BitPerSample));
    ini.Set(SaveFormat, "Channels", QString::number(s.Channels));
    ini.Set(SaveFormat, "MP3", B(s.MP3));
    ini.Set(SaveFormat, "BitRate", QString::number(s.BitRate));
    ini.Set(SaveFormat, "Mode", QString::number(s.Mode));
    ini.Set(SaveFormat, "VBR", B(s.VBR));
    ini.Set(SaveFormat, "MinBitRate", QString::number(s.MinBitRate));
    ini.Set(SaveFormat, "MaxBitRate", QString::number(s.MaxBitRate));
    ini.Set(SaveFormat, "VBRQuality", QString::number(s.VBRQuality));
    ini.Set(SaveFormat, "Copyright", B(s.Copyright));
    ini.Set(SaveFormat, "Original", B(s.Original));
    ini.Set(SaveFormat, "Private", B(s.Private));
    // A line end inside the folder name would break the file; such a name cannot be kept.
    QString folder = s.OutputFolder;
    folder.remove('\r').remove('\n');
    ini.Set(OutputFolderSection, "Name", folder);
    ini.Set(RecordingMode, "Index", QString::number(s.RecordingModeIndex));

    QDir().mkpath(QFileInfo(path).path()); // a failure shows as the open's error below
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(ini.Serialize()) < 0 || !out.commit()) {
        throw base::UserError(
            ("The settings could not be saved to " + path + ": " + out.errorString())
                .toStdString());
    }
}

void SettingsStore::SetOutputFormat(bool wav) {
    settings_.Wav = wav;
    settings_.MP3 = !wav;
}

void SettingsStore::SetSaveFormat(const Settings& format) {
    Settings next = format;
    next.OutputFolder = settings_.OutputFolder;
    next.RecordingModeIndex = settings_.RecordingModeIndex;
    settings_ = std::move(next);
}

} // namespace setup
