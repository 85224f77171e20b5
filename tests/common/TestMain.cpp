// Test entry: the program's own locale, a QApplication on the offscreen platform, the
// application object, then every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "common/TestSupport.h"
#include "platform/Locale.h"
#include "settings/Application.h"

int main(int argc, char** argv) {
    // Before any thread starts: a namespace can be entered only by a single thread.
    testsupport::EnterOwnMountNamespace();
    platform::UseUtf8Locale();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Snapshots the tests' listings keep go to a folder of their own, never the user's cache.
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // The program's state for tests that build no application of their own.
    app::Application application;
    return RUN_ALL_TESTS();
}
