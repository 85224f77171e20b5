#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "common/TestSupport.h"
#include "platform/DirReader.h"
#include "platform/FolderChain.h"

using platform::FolderChain;
using platform::Identity;

namespace {

Identity IdOf(const QByteArray& path) {
    struct stat st;
    EXPECT_EQ(::lstat(path.constData(), &st), 0) << path.constData();
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

int OpenDescriptors() {
    int n = 0;
    DIR* d = ::opendir("/proc/self/fd");
    while (d && ::readdir(d)) ++n;
    if (d) ::closedir(d);
    return n;
}

}  // namespace

TEST(FolderChain, EntersOnlyTheRealFolderThatWasListed) {
    QTemporaryDir tmp, other;
    const QByteArray root = QFile::encodeName(tmp.path());
    ::mkdir((root + "/sub").constData(), 0777);
    ::mkdir((root + "/mnt").constData(), 0777);
    ASSERT_EQ(::symlink(QFile::encodeName(other.path()).constData(), (root + "/link").constData()),
              0);
    ASSERT_EQ(::close(::creat((root + "/file").constData(), 0644)), 0);
    ASSERT_EQ(::mount(QFile::encodeName(other.path()).constData(), (root + "/mnt").constData(),
                      nullptr, MS_BIND, nullptr),
              0)
        << "run the tests as root (CI does)";
    const Identity sub = IdOf(root + "/sub");
    const Identity elsewhere = IdOf(root);
    struct Case {
        const char* name;
        QByteArray entry;
        const Identity* expect;
        int error;
    } cases[] = {
        {"a real folder", "sub", nullptr, 0},
        {"the folder listed", "sub", &sub, 0},
        {"another folder than the one listed", "sub", &elsewhere, ESTALE},
        {"a link to a folder", "link", nullptr, ENOTDIR},
        {"a file", "file", nullptr, ENOTDIR},
        {"a bind mount of the same file system", "mnt", nullptr, EXDEV},
        {"gone", "gone", nullptr, ENOENT},
        {"a way up", "..", nullptr, EINVAL},
        {"a path", "sub/x", nullptr, EINVAL},
    };
    for (const bool fallback : {false, true}) {
        platform::ForceOpenatFallback(fallback);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(fallback ? "openat: " : "openat2: ") + c.name);
            FolderChain chain;
            ASSERT_TRUE(chain.OpenRoot(root));
            int error = -1;
            EXPECT_EQ(chain.Enter(c.entry, c.expect, &error), c.error == 0);
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(chain.Depth(), c.error == 0 ? 1 : 0);
            EXPECT_TRUE(chain.valid()) << "a refusal keeps the folder it came from";
        }
    }
    platform::ForceOpenatFallback(false);
    ::umount2((root + "/mnt").constData(), MNT_DETACH);
    int error = 0;
    FolderChain chain;
    EXPECT_FALSE(chain.OpenRoot(root + "/sub", &elsewhere, &error));
    EXPECT_EQ(error, ESTALE);
}

TEST(FolderChain, DeepChainsHoldFewDescriptorsAndComeBackOnlyTheWayTheyWent) {
    QTemporaryDir tmp;
    const QByteArray root = QFile::encodeName(tmp.path());
    constexpr int kDepth = 400;
    const QByteArray name(200, 'n');  // 80,000 bytes of path
    {
        FolderChain maker;
        ASSERT_TRUE(maker.OpenRoot(root));
        for (int i = 0; i < kDepth; ++i) {
            ASSERT_EQ(::mkdirat(maker.Fd(), name.constData(), 0777), 0);
            ASSERT_TRUE(maker.Enter(name));
        }
    }
    for (const bool moved : {false, true}) {
        SCOPED_TRACE(moved ? "a folder on the way moved meanwhile" : "nothing moved");
        const int before = OpenDescriptors();
        FolderChain chain;
        ASSERT_TRUE(chain.OpenRoot(root));
        std::vector<Identity> ids{chain.Id()};
        for (int i = 0; i < kDepth; ++i) {
            ASSERT_TRUE(chain.Enter(name));
            ids.push_back(chain.Id());
        }
        EXPECT_LE(OpenDescriptors() - before, FolderChain::kOpenBudget + 1);
        if (moved) {
            // The tenth folder goes elsewhere while the chain is below it: the way back up
            // from it no longer leads to the ninth, and the chain must say so, not go on there.
            ASSERT_EQ(::mkdir((root + "/elsewhere").constData(), 0777), 0);
            ASSERT_EQ(::rename((root + QByteArray('/' + name).repeated(10)).constData(),
                               (root + "/elsewhere/" + name).constData()),
                      0);
        }
        int error = 0;
        bool ok = true;
        for (int i = kDepth; i > 0 && ok; --i) {
            ok = chain.Leave(&error);
            if (ok) {
                EXPECT_EQ(chain.Id(), ids[size_t(i - 1)]) << i;
            }
        }
        EXPECT_EQ(ok, !moved);
        EXPECT_EQ(chain.valid(), !moved);
        if (moved) {
            EXPECT_EQ(error, ESTALE);
            EXPECT_EQ(chain.Fd(), -1);
            EXPECT_FALSE(chain.Enter(name)) << "a lost chain acts nowhere";
        } else {
            EXPECT_EQ(chain.Depth(), 0);
        }
        chain.Reset();
        EXPECT_EQ(OpenDescriptors(), before);
    }
    testsupport::RemoveTree(root);
}
