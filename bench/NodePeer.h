// Peers that run under node (mustache.js, HyperFormula): each lives in its own
// folder under bench/ with a committed package lock, installed on first use.
#pragma once

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace zorbench {

// node's path once bench/<folder>'s packages are there ("npm ci" from the
// lock file when `package` is missing); empty, with the reason in `note`,
// when node or the install is missing. Install before running a bench under
// real-time priority: npm spins there.
inline QString nodeForPeer(const QString &peerDir, const QString &package, QString &note)
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty()) {
        note = QStringLiteral("node not found: our figures only");
        return {};
    }
    if (!QFile::exists(peerDir + QStringLiteral("/node_modules/") + package + QStringLiteral("/package.json"))) {
        QProcess npm;
        npm.setWorkingDirectory(peerDir);
        npm.start(QStringLiteral("npm"), {QStringLiteral("ci"), QStringLiteral("--no-audit"), QStringLiteral("--no-fund")});
        if (!npm.waitForFinished(300000) || npm.exitCode() != 0) {
            note = QStringLiteral("npm ci failed: ") + QString::fromLocal8Bit(npm.readAllStandardError());
            return {};
        }
    }
    return node;
}

} // namespace zorbench
