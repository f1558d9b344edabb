// What the HTML and report benchmarks share: the shared workload folder and
// mustache.js, the peer both are compared with, run under node.
#pragma once

#include <ZorCompCore/html/HtmlEntities.h>

#include "NodePeer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>

namespace zorbench {

using zor::DecodeHtmlEntities;

inline QString sharedDir()
{
    const QString env = qEnvironmentVariable("ZOR_BENCH_SHARED");
    if (!env.isEmpty())
        return env;
    for (const char *rel : {"/../shared/bench", "/../../shared/bench"}) {
        const QString dir = QDir::cleanPath(QStringLiteral(ZOR_SOURCE_DIR) + QLatin1String(rel));
        if (QFile::exists(dir + QStringLiteral("/report.mustache")))
            return dir;
    }
    return QString();
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct PeerRender
{
    bool Ran = false;
    QString Note;
    double FirstMs = 0, MedianMs = 0;
    QString Page;
};

// Runs mustache.js through bench/mustache/render.js; installs it with
// "npm ci" from the committed lock file when it is not there yet.
inline PeerRender runMustacheJs()
{
    PeerRender r;
    const QString peerDir = QStringLiteral(ZOR_SOURCE_DIR "/bench/mustache");
    const QString node = nodeForPeer(peerDir, QStringLiteral("mustache"), r.Note);
    if (node.isEmpty())
        return r;
    QTemporaryDir tmp;
    const QString out = tmp.filePath(QStringLiteral("peer.html"));
    const QString dir = sharedDir();
    QProcess p;
    p.start(node, {peerDir + QStringLiteral("/render.js"), dir + QStringLiteral("/report.mustache"),
                   dir + QStringLiteral("/report.json"), out});
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        r.Note = QStringLiteral("mustache.js failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    r.FirstMs = o.value(QStringLiteral("first_ms")).toDouble();
    r.MedianMs = o.value(QStringLiteral("median_ms")).toDouble();
    r.Page = QString::fromUtf8(readAll(out));
    r.Ran = r.MedianMs > 0 && !r.Page.isEmpty();
    if (!r.Ran)
        r.Note = QStringLiteral("mustache.js gave no figures");
    return r;
}

// Where two pages differ once references are decoded; -1 when they agree.
inline qsizetype firstDifference(const QString &a, const QString &b)
{
    const QString x = DecodeHtmlEntities(a), y = DecodeHtmlEntities(b);
    const qsizetype n = std::min(x.size(), y.size());
    for (qsizetype i = 0; i < n; ++i)
        if (x[i] != y[i])
            return i;
    return x.size() == y.size() ? -1 : n;
}

} // namespace zorbench
