#include "SpellAsYouGo.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <vector>

namespace zor {

namespace {

// A slice also ends after this long, so a slow dictionary on a long
// paragraph still lets the event loop run.
constexpr qint64 kSliceNanoseconds = 15 * 1000 * 1000;

struct Range
{
    int From;  // document positions, half open
    int To;
};

QTextCharFormat markFormat(TWPSpellAsYouGo::TMarkStyle style)
{
    QTextCharFormat f;
    f.setUnderlineStyle(style == TWPSpellAsYouGo::msWavy     ? QTextCharFormat::WaveUnderline
                        : style == TWPSpellAsYouGo::msDotted ? QTextCharFormat::DotLine
                                                             : QTextCharFormat::NoUnderline);
    f.setUnderlineColor(Qt::red);
    f.setProperty(TWPSpellAsYouGo::MarkProperty, true);
    return f;
}

bool isMark(const QTextLayout::FormatRange &r)
{
    return r.format.hasProperty(TWPSpellAsYouGo::MarkProperty);
}

} // namespace

struct TWPSpellAsYouGo::Private
{
    TWPSpellAsYouGo *q;
    QPointer<TWPSpellController> Controller;
    QPointer<QTextDocument> Doc;
    QMetaObject::Connection ChangeConnection, DestroyConnection;
    QTimer Timer;
    std::vector<Range> Pending;  // sorted, disjoint
    Range Visible{0, 0};
    int Language = 0;
    int SliceSize = 20000;
    TMarkStyle Style = msWavy;
    // Our own markContentsDirty must not queue the block again.
    bool Applying = false;

    void queue(int from, int to)
    {
        to = std::max(to, from + 1);  // a deletion still re-checks its block
        Pending.push_back({from, to});
        std::sort(Pending.begin(), Pending.end(), [](const Range &a, const Range &b) { return a.From < b.From; });
        std::vector<Range> merged;
        for (const Range &r : Pending) {
            if (!merged.empty() && r.From <= merged.back().To)
                merged.back().To = std::max(merged.back().To, r.To);
            else
                merged.push_back(r);
        }
        Pending.swap(merged);
        if (!Timer.isActive())
            Timer.start();
    }

    void unqueue(int from, int to)
    {
        std::vector<Range> rest;
        for (const Range &r : Pending) {
            if (r.To <= from || r.From >= to) {
                rest.push_back(r);
                continue;
            }
            if (r.From < from)
                rest.push_back({r.From, from});
            if (r.To > to)
                rest.push_back({to, r.To});
        }
        Pending.swap(rest);
    }

    void contentsChange(int pos, int removed, int added)
    {
        if (Applying)
            return;
        // Positions after the edit move with it; those inside what was removed
        // land at the end of what came instead.
        const auto map = [&](int p) {
            if (p <= pos)
                return p;
            if (p >= pos + removed)
                return p + added - removed;
            return pos + added;
        };
        for (Range &r : Pending) {
            r.From = map(r.From);
            r.To = map(r.To);
        }
        Visible = {map(Visible.From), map(Visible.To)};
        Pending.erase(std::remove_if(Pending.begin(), Pending.end(), [](const Range &r) { return r.To <= r.From; }),
                      Pending.end());
        queue(pos, pos + added);
    }

    // Replaces our formats of the block's layout with marks for errors;
    // formats of others stay. Returns whether the marks changed.
    bool apply(const QTextBlock &block, const QList<TWPSpellError> &errors)
    {
        QTextLayout *layout = block.layout();
        if (!layout)
            return false;
        const QList<QTextLayout::FormatRange> old = layout->formats();
        QList<QTextLayout::FormatRange> formats, ours;
        for (const QTextLayout::FormatRange &r : old)
            (isMark(r) ? ours : formats) << r;
        bool same = ours.size() == errors.size();
        for (qsizetype i = 0; same && i < ours.size(); ++i)
            same = ours[i].start == errors[i].Start && ours[i].length == errors[i].Length;
        if (same)
            return false;
        const QTextCharFormat mark = markFormat(Style);
        for (const TWPSpellError &e : errors)
            formats << QTextLayout::FormatRange{e.Start, e.Length, mark};
        layout->setFormats(formats);
        return true;
    }

    // New formats drop a layout's lines, so the blocks must be laid out
    // again. One call for a whole slice: the document layout repositions
    // everything below a change, and doing that per block is quadratic.
    void relayout(int from, int to)
    {
        if (from >= to || !Doc)
            return;
        Applying = true;
        Doc->markContentsDirty(from, to - from);
        Applying = false;
    }

    // Draws the marks already there in the current style.
    void restyle()
    {
        if (!Doc)
            return;
        const QTextCharFormat mark = markFormat(Style);
        int from = INT_MAX, to = -1;
        for (QTextBlock b = Doc->begin(); b.isValid(); b = b.next()) {
            QTextLayout *layout = b.layout();
            if (!layout)
                continue;
            QList<QTextLayout::FormatRange> formats = layout->formats();
            bool changed = false;
            for (QTextLayout::FormatRange &r : formats)
                if (isMark(r)) {
                    r.format = mark;
                    changed = true;
                }
            if (!changed)
                continue;
            layout->setFormats(formats);
            from = std::min(from, b.position());
            to = b.position() + b.length();
        }
        relayout(from, to);
    }

    void clearMarks()
    {
        if (!Doc)
            return;
        int from = INT_MAX, to = -1;
        for (QTextBlock b = Doc->begin(); b.isValid(); b = b.next()) {
            if (apply(b, {})) {
                from = std::min(from, b.position());
                to = b.position() + b.length();
            }
        }
        relayout(from, to);
    }

    // The next block to check: one the view shows, else the first queued.
    QTextBlock next() const
    {
        for (const Range &r : Pending) {
            if (r.From < Visible.To && r.To > Visible.From) {
                const QTextBlock b = Doc->findBlock(std::max(r.From, Visible.From));
                if (b.isValid())
                    return b;
            }
        }
        return Pending.empty() ? QTextBlock() : Doc->findBlock(Pending.front().From);
    }

    void slice()
    {
        if (!Doc || !Controller) {
            Pending.clear();
            Timer.stop();
            return;
        }
        QElapsedTimer clock;
        clock.start();
        int done = 0;
        int dirtyFrom = INT_MAX, dirtyTo = -1;
        while (!Pending.empty() && done < SliceSize && clock.nsecsElapsed() < kSliceNanoseconds) {
            const QTextBlock block = next();
            if (!block.isValid()) {
                // Past the end: what was queued there has gone.
                Pending.erase(Pending.begin());
                continue;
            }
            const QString text = block.text();
            if (apply(block, Controller->CheckText(text, Language))) {
                dirtyFrom = std::min(dirtyFrom, block.position());
                dirtyTo = std::max(dirtyTo, block.position() + block.length());
            }
            unqueue(block.position(), block.position() + block.length());
            done += int(text.size()) + 1;
            Q_EMIT q->BlockChecked(block.position());
        }
        relayout(dirtyFrom, dirtyTo);
        if (Pending.empty()) {
            Timer.stop();
            Q_EMIT q->Finished();
        }
    }
};

TWPSpellAsYouGo::TWPSpellAsYouGo(TWPSpellController *AController, QObject *AParent)
    : QObject(AParent), d(std::make_unique<Private>())
{
    d->q = this;
    d->Controller = AController;
    d->Timer.setInterval(0);
    connect(&d->Timer, &QTimer::timeout, this, [this] { d->slice(); });
    if (AController)
        connect(AController, &TWPSpellController::Changed, this, &TWPSpellAsYouGo::Recheck);
}

TWPSpellAsYouGo::~TWPSpellAsYouGo()
{
    Attach(nullptr);
}

void TWPSpellAsYouGo::Attach(QTextDocument *ADocument)
{
    if (d->Doc == ADocument)
        return;
    if (d->Doc) {
        disconnect(d->ChangeConnection);
        disconnect(d->DestroyConnection);
        d->clearMarks();
    }
    d->Doc = ADocument;
    d->Pending.clear();
    d->Timer.stop();
    if (!ADocument)
        return;
    // A document without a layout does not report its changes; a view sets
    // its own layout later, which reports them just the same.
    ADocument->documentLayout();
    d->ChangeConnection = connect(ADocument, &QTextDocument::contentsChange, this,
                                  [this](int pos, int removed, int added) { d->contentsChange(pos, removed, added); });
    d->DestroyConnection = connect(ADocument, &QObject::destroyed, this, [this] {
        d->Pending.clear();
        d->Timer.stop();
    });
    Recheck();
}

QTextDocument *TWPSpellAsYouGo::Document() const
{
    return d->Doc;
}

void TWPSpellAsYouGo::SetVisibleRange(int AFrom, int ATo)
{
    d->Visible = {AFrom, std::max(AFrom, ATo)};
}

void TWPSpellAsYouGo::SetLanguage(int ALcid)
{
    if (d->Language == ALcid)
        return;
    d->Language = ALcid;
    Recheck();
}

int TWPSpellAsYouGo::Language() const
{
    return d->Language;
}

void TWPSpellAsYouGo::SetSliceSize(int AChars)
{
    d->SliceSize = std::max(1, AChars);
}

int TWPSpellAsYouGo::SliceSize() const
{
    return d->SliceSize;
}

void TWPSpellAsYouGo::SetMarkStyle(TMarkStyle AStyle)
{
    if (d->Style == AStyle)
        return;
    d->Style = AStyle;
    d->restyle();
}

TWPSpellAsYouGo::TMarkStyle TWPSpellAsYouGo::MarkStyle() const
{
    return d->Style;
}

bool TWPSpellAsYouGo::IsIdle() const
{
    return d->Pending.empty();
}

void TWPSpellAsYouGo::Recheck()
{
    if (d->Doc)
        d->queue(0, d->Doc->characterCount());
}

TWPSpellError TWPSpellAsYouGo::MisspellingAt(int APosition) const
{
    if (!d->Doc)
        return {};
    const QTextBlock block = d->Doc->findBlock(APosition);
    if (!block.isValid() || !block.layout())
        return {};
    const int offset = APosition - block.position();
    for (const QTextLayout::FormatRange &r : block.layout()->formats())
        if (isMark(r) && offset >= r.start && offset <= r.start + r.length)
            return {block.position() + r.start, r.length, block.text().mid(r.start, r.length)};
    return {};
}

} // namespace zor
