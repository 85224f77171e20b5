// The system's process starter: arguments and the working folder reach the program byte for
// byte, and a program that cannot run is reported, not passed over.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>

#include "platform/Launcher.h"

namespace {

QByteArray ReadWhenThere(const QByteArray& path) {
    // The program runs on its own: wait a little for what it writes (plain calls: the path's
    // bytes stay as they are).
    for (int i = 0; i < 200; ++i) {
        const int fd = ::open(path.constData(), O_RDONLY);
        if (fd >= 0) {
            QByteArray all;
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(fd, buffer, sizeof buffer)) > 0) all.append(buffer, n);
            ::close(fd);
            if (!all.isEmpty()) return all;
        }
        QThread::msleep(10);
    }
    return {};
}

TEST(LauncherTest, StartsTheProgramInTheFolderWithItsArgumentsAsTheyAre) {
    QTemporaryDir tmp;
    const QByteArray base = QFile::encodeName(tmp.path());
    const struct {
        QByteArray folder;
        QByteArray argument;
    } cases[] = {
        {"/plain", "a b"},
        {"/写真 2024", "'; rm -rf x; \""},
        {"/odd\xE6\nline", "$(echo no)\xFF"},
    };
    platform::ProcessStarter starter;
    const QByteArray sh = starter.FindProgram("sh");
    ASSERT_FALSE(sh.isEmpty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        const QByteArray dir = base + c.folder;
        ASSERT_EQ(::mkdir(dir.constData(), 0755), 0);
        int error = 0;
        ASSERT_TRUE(starter.Start(
            sh, {"-c", "pwd > out.tmp && mv out.tmp out; printf %s \"$1\" > arg", "sh", c.argument},
            dir, error))
            << error;
        EXPECT_EQ(ReadWhenThere(dir + "/out"), dir + '\n');
        EXPECT_EQ(ReadWhenThere(dir + "/arg"), c.argument);
        ::unlink((dir + "/out").constData());
        ::unlink((dir + "/arg").constData());
        ::rmdir(dir.constData());
    }
    const struct {
        QByteArray program;
        QByteArray dir;
        int error;
    } refused[] = {
        {base + "/none", base, ENOENT},
        {sh, base + "/no such folder", ENOENT},
    };
    for (const auto& r : refused) {
        int error = 0;
        EXPECT_FALSE(starter.Start(r.program, {}, r.dir, error)) << r.program.constData();
        EXPECT_EQ(error, r.error);
    }
}

}  // namespace
