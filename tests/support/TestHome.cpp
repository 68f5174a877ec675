#include "support/TestHome.h"

#include <QDir>
#include <QStandardPaths>
#include <QtTest>

TTestHome::TTestHome() : FOldCwd(QDir::currentPath()), FOldHome(qgetenv("HOME")), FOldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    QVERIFY2(FDir.isValid(), "cannot make a temporary folder");
    QDir(FDir.path()).mkpath(QStringLiteral(".config"));
    qputenv("HOME", FDir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", FDir.filePath(QStringLiteral(".config")).toLocal8Bit());
    QStandardPaths::setTestModeEnabled(false);
    QDir::setCurrent(FDir.path());
}

TTestHome::~TTestHome()
{
    QDir::setCurrent(FOldCwd);
    qputenv("HOME", FOldHome);
    if (FOldConfig.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", FOldConfig);
}
