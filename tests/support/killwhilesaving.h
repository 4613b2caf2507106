#pragma once

// Kills a process of this test binary at random moments while it saves a file.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QThread>

#include <functional>
#include <random>

namespace mavrel::test {

// Runs `childTest` (a DISABLED_ case of this binary that saves in a loop, its file named by the
// environment variable `fileVariable`, and prints "saved" after its first save) `rounds` times,
// kills it with SIGKILL after a random pause each time and then calls `check(round)`.
inline void killWhileSaving(const QString &childTest, const QString &fileVariable,
                            const QString &path, int rounds, unsigned seed,
                            const std::function<void(int round)> &check)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMs(0, 40);
    for (int round = 0; round < rounds; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(fileVariable, path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_also_run_disabled_tests"),
                     QStringLiteral("--gtest_filter=") + childTest});
        ASSERT_TRUE(child.waitForStarted(10000));
        while (!child.readAllStandardOutput().contains("saved"))
            ASSERT_TRUE(child.waitForReadyRead(10000));
        QThread::msleep(delayMs(random));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));
        check(round);
    }
}

} // namespace mavrel::test
