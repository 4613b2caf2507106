#include <gtest/gtest.h>

#ifdef MAVREL_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

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
        QDir().mkpath(home.path() + QStringLiteral("/runtime"));
        QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
    }
    testing::InitGoogleTest(&argc, argv);
#ifdef MAVREL_TEST_GUI
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
