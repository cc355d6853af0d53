// SPDX-License-Identifier: GPL-3.0-or-later
// What the layers may see of each other. The engine stays testable without a screen (no QtWidgets
// or QtGui header); no source keeps process-wide mutable state behind an `extern`; windows read
// engine state and never write it; and no include runs from a lower layer up to a higher one.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <set>
#include <vector>

namespace {

// Windows of a folder that also holds engine code live in its ui/ folder.
bool IsWindowCode(const QString& path) {
    return path.contains("/ui/");
}

struct Source {
    QString path; // relative to the source folder: "record/pipeline.cpp"
    QString text; // comments blanked out, so a comment never counts as code
};

QString WithoutComments(QString text) {
    static const QRegularExpression comment(R"(//[^\n]*|/\*.*?\*/)",
                                            QRegularExpression::DotMatchesEverythingOption);
    return text.replace(comment, " ");
}

// Every .h and .cpp below `folders`; a folder that does not exist (yet) gives none.
std::vector<Source> Sources(const QStringList& folders) {
    const QDir root(VELMAR_SOURCE_DIR);
    std::vector<Source> sources;
    for (const QString& folder : folders) {
        QDirIterator it(root.filePath(folder), {"*.h", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            if (f.open(QIODevice::ReadOnly)) {
                sources.push_back(
                    {root.relativeFilePath(path), WithoutComments(QString::fromUtf8(f.readAll()))});
            }
        }
    }
    return sources;
}

// The program's folders, engine first. setup/ holds the engine half of today's app/.
const QStringList engineFolders = {"base",     "setup",  "record",   "operations",
                                   "playback", "export", "recovery", "platform"};
const QStringList windowFolders = {"app", "editor", "gauges", "about"};

// The layers, lowest first; a source may include its own layer and the ones below. base/ is what
// every module stands on; setup/ reads only base/; the adapters in platform/ sit above the
// modules whose ports they implement; app/ is the windows' and the program entry's.
struct Layer {
    const char* folder;
    int rank;
};
constexpr Layer layers[] = {
    {"base", 0},     {"setup", 1},  {"record", 2},   {"operations", 3},
    {"playback", 4}, {"export", 5}, {"recovery", 6}, {"platform", 7},
    {"app", 8},      {"editor", 8}, {"gauges", 8},   {"about", 8},
};
constexpr int WindowsRank = 8;

// The layer of a source or included header by its path; -1 outside the layers (lame_enc/, whose
// interface mirrors a library, tests, benchmarks).
int RankOf(const QString& path) {
    if (IsWindowCode(path)) {
        return WindowsRank;
    }
    int rank = -1;
    qsizetype matched = 0;
    for (const Layer& layer : layers) { // the longest folder that holds the path
        const QString folder = QString::fromLatin1(layer.folder) + "/";
        if (path.startsWith(folder) && folder.size() > matched) {
            rank = layer.rank;
            matched = folder.size();
        }
    }
    return rank;
}

// A declaration after `extern` declares something writable unless the object itself is const:
// "const int N" and "const char* const T" are not, "State state" and "const char* T" are.
bool DeclaresMutable(const QString& declaration) {
    const QString d = declaration.simplified();
    const qsizetype star = d.lastIndexOf('*');
    if (star < 0) {
        return !d.startsWith("const ") && !d.startsWith("constexpr ");
    }
    return !d.mid(star + 1).trimmed().startsWith("const ");
}

// Rule (a): "path: name" of every extern declaration of mutable state.
QStringList ExternMutableState(const Source& source) {
    static const QRegularExpression externDecl(R"(\bextern\s+(?!"C")([^;{()]*?)\s*(\w+)\s*;)");
    QStringList found;
    for (auto it = externDecl.globalMatch(source.text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (DeclaresMutable(m.captured(1) + " " + m.captured(2))) {
            found << source.path + ": " + m.captured(2);
        }
    }
    return found;
}

// Rule (b): "path: root" for every write to engine state in a window source: an assignment or
// step of anything reached through a module-wide state struct, a non-const reference or pointer
// bound to one (a write waiting to happen), or a const_cast, the one way past an engine object's
// const accessors.
QStringList WritesToEngineState(const Source& source) {
    const QString root =
        R"(\b(?:operations|app|setup|record|playback|exporting|recovery)::state\b)";
    const QString member = R"((?:\s*(?:\.|->)\s*\w+|\s*\[[^\]]*\])*)";
    static const QRegularExpression write("(" + root + ")" + member +
                                          R"(\s*(?:[-+*/%|&^]?=(?!=)|\+\+|--))");
    static const QRegularExpression step(R"((?:\+\+|--)\s*()" + root + ")");
    static const QRegularExpression constCast(R"(\bconst_cast\s*<)");
    static const QRegularExpression alias(R"((\bconst\s+)?[\w:<>]+\s*[&*]\s*\w+\s*=\s*&?\s*()" +
                                          root + ")");
    QStringList found;
    for (const QRegularExpression* re : {&write, &step}) {
        for (auto it = re->globalMatch(source.text); it.hasNext();) {
            found << source.path + ": " + it.next().captured(1);
        }
    }
    if (constCast.match(source.text).hasMatch()) {
        found << source.path + ": const_cast";
    }
    for (auto it = alias.globalMatch(source.text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(1).isEmpty()) {
            found << source.path + ": " + m.captured(2);
        }
    }
    return found;
}

// Rule (c): "path -> header" for every include of a higher layer.
QStringList UpwardIncludes(const Source& source) {
    static const QRegularExpression include(R"re(#\s*include\s*"([^"]+)")re");
    const int from = RankOf(source.path);
    QStringList found;
    for (auto it = include.globalMatch(source.text); it.hasNext();) {
        const QString header = it.next().captured(1);
        if (from >= 0 && RankOf(header) > from) {
            found << source.path + " -> " + header;
        }
    }
    return found;
}

bool IsWindowSource(const QString& path) {
    return IsWindowCode(path) || path.startsWith("editor/") || path.startsWith("gauges/") ||
           path.startsWith("about/");
}

struct Rule {
    const char* name;
    QStringList (*offences)(const Source&);
    bool windowSourcesOnly;
    friend void PrintTo(const Rule& rule, std::ostream* os) { *os << rule.name; }
};

const Rule rules[] = {
    {"NoExternMutableState", ExternMutableState, false},
    {"WindowsNeverWriteEngineState", WritesToEngineState, true},
    {"NoIncludeRunsUpward", UpwardIncludes, false},
};

class Layering : public ::testing::TestWithParam<Rule> {};

TEST_P(Layering, Holds) {
    const Rule& rule = GetParam();
    std::set<QString> offences;
    int checked = 0;
    for (const Source& source : Sources(engineFolders + windowFolders)) {
        if (rule.windowSourcesOnly && !IsWindowSource(source.path)) {
            continue;
        }
        ++checked;
        for (const QString& offence : rule.offences(source)) {
            offences.insert(offence);
        }
    }
    EXPECT_GT(checked, 20);
    QStringList found(offences.begin(), offences.end());
    EXPECT_TRUE(found.isEmpty()) << "offences:\n  " << found.join("\n  ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Rules, Layering, ::testing::ValuesIn(rules),
                         [](const ::testing::TestParamInfo<Rule>& info) {
                             return std::string(info.param.name);
                         });

// The rules read code as text; these lines show what each one takes for an offence.
struct Sample {
    QStringList (*offences)(const Source&);
    const char* path;
    const char* code;
    bool offends;
};

TEST(LayeringRules, TellOffencesFromInnocentCode) {
    const Sample samples[] = {
        {ExternMutableState, "operations/editing_state.h", "extern State state;", true},
        {ExternMutableState, "export/x.h", "extern const char* Text;", true},
        {ExternMutableState, "setup/x.h", "extern std::vector<int> table;", true},
        {ExternMutableState, "export/x.h", "extern const char* const Text;", false},
        {ExternMutableState, "record/x.h", "extern const int Count;", false},
        {ExternMutableState, "record/x.h", "extern \"C\" {", false},
        {ExternMutableState, "record/x.h", "// extern State state;", false},
        {WritesToEngineState, "editor/x.cpp", "operations::state.SelStart = 3;", true},
        {WritesToEngineState, "export/ui/x.cpp", "app::state.settings.Wav = wav;", true},
        {WritesToEngineState, "editor/x.cpp", "operations::state.Levels[i].Count += 1;", true},
        {WritesToEngineState, "gauges/x.cpp", "++operations::state.CursorBlock;", true},
        {WritesToEngineState, "gauges/x.cpp", "operations::state.CursorBlock--;", true},
        {WritesToEngineState, "editor/x.cpp", "operations::State& s = operations::state;", true},
        {WritesToEngineState, "app/ui/x.cpp", "auto* s = &app::state;", true},
        {WritesToEngineState, "editor/x.cpp", "const operations::State& s = operations::state;",
         false},
        {WritesToEngineState, "editor/x.cpp", "if (operations::state.SelStart == 1) {", false},
        {WritesToEngineState, "editor/x.cpp", "x = operations::state.SelStart;", false},
        {WritesToEngineState, "editor/x.cpp", "const_cast<operations::Editor&>(e).Undo();", true},
        {UpwardIncludes, "export/exporter.h", "#include \"app/settings.h\"", true},
        {UpwardIncludes, "base/clock.h", "#include \"record/pipeline.h\"", true},
        {UpwardIncludes, "base/clock.h", "#include \"base/blocks.h\"", false},
        {UpwardIncludes, "record/pipeline.h", "#include \"platform/pulse_capture.h\"", true},
        {UpwardIncludes, "export/exporter.cpp", "#include \"export/ui/form_progress.h\"", true},
        {UpwardIncludes, "export/exporter.h", "#include \"setup/settings.h\"", false},
        {UpwardIncludes, "setup/startup.cpp", "#include \"base/blocks.h\"", false},
        {UpwardIncludes, "setup/startup.cpp", "#include \"record/raw_file.h\"", true},
        {UpwardIncludes, "setup/startup.cpp", "#include \"record/pipeline.h\"", true},
        {UpwardIncludes, "export/x.cpp", "#include \"platform/dialogs.h\"", true},
        {UpwardIncludes, "export/ui/x.cpp", "#include \"platform/dialogs.h\"", false},
        {UpwardIncludes, "platform/pulse_capture.h", "#include \"record/capture_device.h\"", false},
        {UpwardIncludes, "export/ui/form_progress.cpp", "#include \"export/exporter.h\"", false},
        {UpwardIncludes, "export/mp3_export.h", "#include \"lame_enc/lame_enc.h\"", false},
    };
    for (const Sample& s : samples) {
        const Source source{s.path, WithoutComments(s.code)};
        EXPECT_EQ(!s.offences(source).isEmpty(), s.offends) << s.path << ": " << s.code;
    }
}

TEST(Layering, EngineSourcesIncludeNoWidgetOrGuiHeaders) {
    const QRegularExpression forbidden(
        R"(#\s*include\s*[<"](QtWidgets|QtGui|QWidget|QMainWindow|QDialog|QMessageBox|QInputDialog|QApplication|QPainter|QImage|QPixmap|QColor|QIcon)\b)");
    QStringList offenders;
    int checked = 0;
    for (const Source& source : Sources(engineFolders + QStringList{"app"})) {
        if (IsWindowCode(source.path)) {
            continue;
        }
        ++checked;
        if (forbidden.match(source.text).hasMatch()) {
            offenders << source.path;
        }
    }
    EXPECT_GT(checked, 5);
    EXPECT_TRUE(offenders.isEmpty()) << offenders.join(", ").toStdString();
}

} // namespace
