#include "unreachableserver.h"

#include <gtest/gtest.h>

#ifdef MAVREL_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char *kServerVariables[] = {"MAVREL_CATALOGUE_URL", "MAVREL_VIDEOSITE_URL"};

void pointAtUnreachableServers()
{
    for (const char *name : kServerVariables)
        qputenv(name, mavrel::testing::kUnreachableServer);
}

// A test that leaves a server variable unset would send every later test of its binary to the
// default address: that test fails the run.
class ServerAddressGuard : public testing::EmptyTestEventListener
{
public:
    void OnTestEnd(const testing::TestInfo &test) override
    {
        for (const char *name : kServerVariables) {
            if (qEnvironmentVariableIsEmpty(name)) {
                std::fprintf(stderr, "%s.%s left %s unset: later tests would reach the default\n",
                             test.test_suite_name(), test.name(), name);
                m_failed = true;
            }
        }
        pointAtUnreachableServers();
    }
    bool failed() const { return m_failed; }

private:
    bool m_failed = false;
};

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, runtime and data folders of a test run never touch the user's own.
    QTemporaryDir home;
    if (!qEnvironmentVariableIsSet("MAVREL_TEST_KEEP_HOME") && home.isValid()) {
        const QByteArray root = home.path().toUtf8();
        qputenv("XDG_CONFIG_HOME", root + "/config");
        qputenv("XDG_DATA_HOME", root + "/data");
        qputenv("XDG_CACHE_HOME", root + "/cache");
        qputenv("XDG_RUNTIME_DIR", root + "/runtime");
        // My Files opens the user's Videos, Music or home folder on a first start.
        qputenv("HOME", root + "/home");
        QDir().mkpath(home.path() + QStringLiteral("/home"));
        QDir().mkpath(home.path() + QStringLiteral("/runtime"));
        QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
    }
    pointAtUnreachableServers();
    testing::InitGoogleTest(&argc, argv);
    auto *guard = new ServerAddressGuard; // owned by the listener list
    testing::UnitTest::GetInstance()->listeners().Append(guard);
#ifdef MAVREL_TEST_GUI
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    const int status = RUN_ALL_TESTS();
    return status != 0 || guard->failed() ? 1 : 0;
}
