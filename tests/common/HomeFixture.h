#pragma once
// A test whose program folder and settings file are temporary: files written there are
// read by the commands under test.
#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "settings/Settings.h"

namespace testsupport {

struct HomeFixture : ::testing::Test {
    TempHome home;
    void SetUp() override { app::SetSettingsNative(home.settingsFile()); }
    void TearDown() override { app::SetSettingsNative({}); }
    // Writes a file in the program folder; returns its native path.
    QByteArray write(const QByteArray& name, const QByteArray& content) {
        const QByteArray path = home.native() + "/" + name;
        WriteAll(path, content);
        return path;
    }
};

}  // namespace testsupport
