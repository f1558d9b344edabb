// Spelling: a fixed-seed English text of about 400 pages with 5 % typos,
// checked by TWPSpellController against `hunspell -l` (the same library as a
// program), both from a cold start: our time includes loading the
// dictionary, as the peer's process does. Then, as an editor sees it, the
// as-you-go marker on that text in a QTextDocument: the time to mark the
// first screen, and to re-mark after a character is typed at the top.
// The ratio (peer time / our time) is printed after the runs.
#include <ZorCompCore/richtext/spell/SpellAsYouGo.h>
#include <ZorCompCore/richtext/spell/SpellController.h>

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>
#include <map>
#include <random>
#include <string>

using namespace zor;

namespace {

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

// 4,000 paragraphs of 45 to 75 words from a small vocabulary: about 240,000
// words, 400 pages at 600 words a page. One word in twenty gets a typo (two
// letters swapped, one dropped or one replaced).
const QString &text()
{
    static QString t;
    if (!t.isEmpty())
        return t;
    static const char *const words[] = {
        "the", "of", "and", "to", "in", "is", "that", "for", "it", "as", "was", "with", "be", "by", "on",
        "not", "he", "this", "are", "or", "his", "from", "at", "which", "but", "have", "an", "had", "they",
        "you", "were", "their", "one", "all", "we", "can", "her", "has", "there", "been", "if", "more",
        "when", "will", "would", "who", "so", "no", "document", "letter", "spelling", "dictionary",
        "editor", "paragraph", "table", "column", "report", "printer", "window", "morning", "village",
        "government", "important", "question", "beautiful", "remember", "thought", "through", "although",
        "necessary", "experience", "language", "receive", "believe", "different", "between", "because",
        "children", "business", "history", "science", "people", "country", "example", "interesting",
        "following", "possible", "together", "another", "something", "everything", "nothing", "weather",
        "whether", "library", "February", "Wednesday", "restaurant", "accommodate", "occurrence",
        "separate", "definitely", "environment", "knowledge", "neighbour", "colour", "favourite"};
    std::mt19937 rng(20261207);
    const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    QStringList paragraphs;
    for (int p = 0; p < 4000; ++p) {
        QStringList line;
        const int n = 45 + pick(31);
        for (int w = 0; w < n; ++w) {
            QString word = QString::fromLatin1(words[pick(int(std::size(words)))]);
            if (pick(20) == 0 && word.size() > 2) {
                const int i = pick(int(word.size()) - 1);
                switch (pick(3)) {
                case 0: std::swap(word[i], word[i + 1]); break;
                case 1: word.remove(i, 1); break;
                default: word[i] = QChar(u'a' + pick(26)); break;
                }
            }
            line << word;
        }
        line.last() += u'.';
        line.first()[0] = line.first()[0].toUpper();
        paragraphs << line.join(u' ');
    }
    t = paragraphs.join(u'\n') + u'\n';
    return t;
}

QString textFile()
{
    static QString path;
    if (path.isEmpty()) {
        path = workDir().filePath(QStringLiteral("english.txt"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(text().toUtf8());
    }
    return path;
}

std::map<std::string, double> &seconds()
{
    static std::map<std::string, double> s;
    return s;
}

void Controller(benchmark::State &state)
{
    const QStringList paragraphs = text().split(u'\n');
    double total = 0;
    qsizetype found = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        TWPSpellController c;
        found = 0;
        for (const QString &p : paragraphs)
            found += c.CheckText(p, wpLangEnglishUS).size();
        const double s = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(s);
        total += s;
    }
    state.counters["misspellings"] = double(found);
    seconds()["ours"] = total / double(state.iterations());
}

void HunspellList(benchmark::State &state)
{
    const QString hunspell = QStandardPaths::findExecutable(QStringLiteral("hunspell"));
    if (hunspell.isEmpty()) {
        state.SkipWithError("hunspell is not installed");
        return;
    }
    const QString in = textFile();
    double total = 0;
    qsizetype found = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.start(hunspell, {QStringLiteral("-d"), QStringLiteral("en_US"), QStringLiteral("-l"), in});
        if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit) {
            state.SkipWithError("hunspell failed");
            return;
        }
        const QByteArray out = p.readAllStandardOutput();
        const double s = t.nsecsElapsed() / 1e9;
        found = out.count('\n');
        state.SetIterationTime(s);
        total += s;
    }
    state.counters["misspellings"] = double(found);
    seconds()["hunspell"] = total / double(state.iterations());
}

// An editor's view of the text: the dictionary is loaded already.
struct View
{
    TWPSpellController controller;
    QTextDocument doc;
    View()
    {
        controller.IsCorrect(QStringLiteral("warm"), wpLangEnglishUS);
        doc.setPlainText(text());
    }
};

// Until the blocks of the first screen (about 3,000 characters) are marked.
void FirstScreen(benchmark::State &state)
{
    View v;
    for (auto _ : state) {
        TWPSpellAsYouGo s(&v.controller);
        s.SetLanguage(wpLangEnglishUS);
        s.SetVisibleRange(0, 3000);
        bool shown = false;
        QObject::connect(&s, &TWPSpellAsYouGo::BlockChecked, [&shown](int pos) { shown = shown || pos >= 3000; });
        QElapsedTimer t;
        t.start();
        s.Attach(&v.doc);
        while (!shown && !s.IsIdle())
            QCoreApplication::processEvents();
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        state.PauseTiming();
        s.Attach(nullptr);
        state.ResumeTiming();
    }
}

// A character typed at the top of the fully marked text, until it is re-marked.
void TypeAtTop(benchmark::State &state)
{
    View v;
    TWPSpellAsYouGo s(&v.controller);
    s.SetLanguage(wpLangEnglishUS);
    s.SetVisibleRange(0, 3000);
    s.Attach(&v.doc);
    while (!s.IsIdle())
        QCoreApplication::processEvents();
    QTextCursor cur(&v.doc);
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        cur.setPosition(0);
        cur.insertText(QStringLiteral("x"));
        while (!s.IsIdle())
            QCoreApplication::processEvents();
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
    }
}

BENCHMARK(Controller)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(HunspellList)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(FirstScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(TypeAtTop)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto &s = seconds();
    std::printf("\nSpeed ratio (above 1: ours is faster):\n");
    if (s.count("ours") && s.count("hunspell") && s.at("ours") > 0)
        std::printf("%-28s %.2fx (hunspell -l %.3f s, TWPSpellController %.3f s)\n", "400 pages vs hunspell -l",
                    s.at("hunspell") / s.at("ours"), s.at("hunspell"), s.at("ours"));
    else
        std::printf("%-28s n/a (a run was skipped)\n", "400 pages vs hunspell -l");
    return 0;
}
