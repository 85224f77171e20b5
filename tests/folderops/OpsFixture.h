#pragma once
// A folder mapped as a drive and listed as the window lists it, a host that answers the
// operations' questions from a script, and the check that a corrected list equals a new scan.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>

#include "common/ListFixture.h"
#include "common/TestSupport.h"
#include "folderops/FolderOps.h"
#include "grid/Grid.h"
#include "platform/FileSys.h"
#include "scan/FillList.h"
#include "settings/Settings.h"

namespace opstest {

// A drive listed as the window lists it, the scan reading every folder itself.
struct Listed : testsupport::ListFixture {
    explicit Listed(const QString& drive) : ListFixture({.readThreads = 0}) { fill(drive); }
    void select(std::initializer_list<QByteArray> relatives) {
        for (const QByteArray& rel : relatives) {
            const int r = rel.isEmpty() ? 0 : rowOfPath(rel);
            ASSERT_GE(r, 0) << rel.constData();
            grid.st.rowSelected[size_t(r)] = -1;
        }
    }
};

// Every folder that still exists has the figures of a new scan; every other one is marked
// removed with nothing left in it; the drive's totals and FileTable agree.
inline void ExpectSameAsNewScan(const Listed& l, const QString& drive) {
    const Listed fresh(drive);
    const scan::FolderTable& a = l.list.Folders;
    const scan::FolderTable& b = fresh.list.Folders;
    const int records = l.list.ListRowCount - 1;
    const int freshRecords = fresh.list.ListRowCount - 1;
    int matched = 0;
    for (int f = 0; f < records; ++f) {
        const QByteArray path = a.nativePath(f);
        SCOPED_TRACE(path.constData());
        int g = 0;
        while (g < freshRecords && b.nativePath(g) != path) ++g;
        if (g == freshRecords) {
            EXPECT_EQ(a.FileCount[size_t(f)], -1);
            EXPECT_EQ(a.AllocSize[size_t(f)], 0);
            EXPECT_EQ(a.SubtreeTotal[size_t(f)], 0);
            continue;
        }
        ++matched;
        EXPECT_EQ(a.FileCount[size_t(f)], b.FileCount[size_t(g)]);
        EXPECT_EQ(a.FileSize[size_t(f)], b.FileSize[size_t(g)]);
        EXPECT_EQ(a.AllocSize[size_t(f)], b.AllocSize[size_t(g)]);
        EXPECT_EQ(a.SubtreeTotal[size_t(f)], b.SubtreeTotal[size_t(g)]);
        // A list in tree order with every level shows each folder's own figures and icon, as
        // a new list shows them (its row g shows folder g).
        const int r = l.rowOfPath(path.mid(a.RootNative.size() + 1));
        if (f > 0 && r >= 0) {
            EXPECT_EQ(l.cells(r), fresh.cells(g));
            EXPECT_EQ(l.grid.st.rowIcon[size_t(r)], fresh.grid.st.rowIcon[size_t(g)]);
        }
    }
    EXPECT_EQ(matched, freshRecords) << "folders that appeared from nowhere";
    EXPECT_EQ(l.list.FileTotal, fresh.list.FileTotal);
    EXPECT_EQ(l.list.FileSizeTotal, fresh.list.FileSizeTotal);
    EXPECT_EQ(l.list.AllocTotal, fresh.list.AllocTotal);
    qint64 bytes = 0;
    for (int i = 0; i < l.list.Files.FileTableCount; ++i)
        bytes += l.list.Files.FileBytes[size_t(i)];
    EXPECT_EQ(bytes, fresh.list.FileSizeTotal);
}

// Answers from a script (front first), else OK / Yes; the progress dialog as plain state.
struct ScriptHost : folderops::OpsHost {
    std::deque<int> answers;
    QStringList asked;
    std::vector<int> flags;
    bool visible = false;
    int endCode = 0;
    bool unattended = false;
    int begun = 0, ended = 0, afterRuns = 0;
    QStringList titles, copyFailures;
    QList<QByteArray> opened;
    std::function<void()> onTitle;
    std::function<void()> onTurn;  // each turn of the message loop the run gives

    int Ask(const QString& text, int f) override {
        asked << text;
        flags.push_back(f);
        if (!answers.empty()) {
            const int a = answers.front();
            answers.pop_front();
            return a;
        }
        return (f & 0xF) == folderops::kYesNo || (f & 0xF) == folderops::kYesNoCancel
                   ? folderops::kAnswerYes
                   : folderops::kAnswerOk;
    }
    void Turn() override {
        if (onTurn) onTurn();
    }
    bool DialogVisible() override { return visible; }
    void BeginRun(const QString&) override {
        ++begun;
        visible = true;
        endCode = 0;
    }
    void HideDialog() override { visible = false; }
    void EndRun() override {
        visible = false;
        ++ended;
    }
    int EndCode() override { return endCode; }
    bool Unattended() override { return unattended; }
    void SetTitle(const QString& text) override {
        titles << text;
        if (onTitle) onTitle();
    }
    void CopyFailed(const QString& text) override { copyFailures << text; }
    void OpenFile(const QByteArray& native) override { opened << native; }
    void AfterRun() override { ++afterRuns; }
    // Stops the run as the dialog's stop button does.
    void Stop() {
        endCode = 1;
        visible = false;
    }
};

// Writes a file below a native folder, making its folders, byte for byte (any name).
inline void Put(const QByteArray& root, const QByteArray& relative, const QByteArray& content) {
    qsizetype at = 0;
    while ((at = relative.indexOf('/', at)) > 0) {
        ::mkdir((root + '/' + relative.left(at)).constData(), 0777);
        ++at;
    }
    const int fd = ::open((root + '/' + relative).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ASSERT_GE(fd, 0) << relative.constData();
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ASSERT_EQ(::close(fd), 0);
}

// The bytes of a file at a native path (any name); empty when it cannot be read.
inline QByteArray Read(const QByteArray& native) {
    QByteArray out;
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0) return out;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    ::close(fd);
    return out;
}

inline bool Exists(const QByteArray& native) {
    platform::DirEntry e;
    return platform::StatEntry(native, e);
}

inline qint64 MTime(const QByteArray& native) {
    platform::DirEntry e;
    return platform::StatEntry(native, e) ? e.mtime : -1;
}

inline void SetMTime(const QByteArray& native, qint64 seconds) {
    const struct timespec t[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), t, AT_SYMLINK_NOFOLLOW), 0);
}

// Settings in a temporary folder.
struct Env {
    testsupport::TempHome home;
    Env() { app::SetSettingsNative(home.settingsFile()); }
    ~Env() { app::SetSettingsNative({}); }
};

// Settings and the desktop's data folder (the home trash) in temporary folders.
struct TrashEnv {
    testsupport::TempHome home;
    QTemporaryDir data;
    QByteArray previous = qgetenv("XDG_DATA_HOME");
    TrashEnv() {
        app::SetSettingsNative(home.settingsFile());
        qputenv("XDG_DATA_HOME", QFile::encodeName(QDir(data.path()).canonicalPath()));
    }
    ~TrashEnv() {
        // Trashed names that are not UTF-8 are beyond QDir's reach: removed byte for byte.
        ::nftw(
            trash().constData(),
            [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
        app::SetSettingsNative({});
        qputenv("XDG_DATA_HOME", previous);
    }
    QByteArray trash() const {
        return QFile::encodeName(QDir(data.path()).canonicalPath()) + "/Trash";
    }
};

}  // namespace opstest
