#pragma once
// A scan written out as it is walked, in the JSON interchange format of the terminal
// disk-usage tools (major version 1, minor 2): each folder an array that begins with its
// own object, then its files, then its subfolders. Nothing of the tree is kept but the
// names of the folders on the path being walked.
//
// Sizes are FOLDEX's own: "asize" is a file's bytes, "dsize" what it occupies in whole
// clusters of the drive; a folder's "dsize" is its directory clusters, so the dsize of a
// whole export adds up to the list's occupied total. A folder's "asize" is 0, as a folder
// adds nothing to the list's file-size figure.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <unordered_set>
#include <vector>

#include "interchange/JsonWriter.h"
#include "platform/FolderChain.h"
#include "scan/FigureTree.h"
#include "scan/FolderWalk.h"

namespace interchange {

struct ExportFigures {
    qint32 clusterSize = 4096;
    qint16 dirEntriesPerCluster = 64;
    // Occupied space as the file system allocated it (else each file rounded to clusters).
    bool allocated = true;
    QByteArray nativeRoot;  // for the paths of the messages
    int letter = -1;        // the drive, to tell a removed device from an unreadable folder
};

class ScanExport : public scan::FolderSink {
  public:
    ScanExport(JsonStream& out, const ExportFigures& figures);

    // A file this export writes inside the scanned tree (its temporary file): left out.
    void LeaveOut(const platform::Identity& folder, const QByteArray& name) {
        leaveOutFolder_ = folder;
        leaveOutName_ = name;
    }
    // Builds the scan's folder figures as well, as the export writes them (a folder's occupied
    // space is its dsize and its files', a hard-linked file counted once), for a snapshot.
    void KeepFigures(scan::FigureTree* tree) { figures_ = tree; }
    bool wantsFiles() const override { return true; }
    // The versions and the metadata object; timestamp in seconds since 1970.
    void begin(const QByteArray& programVersion, qint64 timestamp);
    bool enter(scan::WalkedFolder& folder) override;
    bool leave() override;
    // Closes what is open and hands the rest to the stream. False when the output failed.
    bool end();

    // A figure held at its limit, or the device gone: once each.
    std::function<void(const QString&)> ReportFailure;
    // Each folder as it is entered, by its program name.
    std::function<void(const QString&)> ShowProgress;

    qint64 folderCount() const { return folders_; }
    qint64 fileCount() const { return files_; }
    qint64 fileBytes() const { return fileBytes_; }
    qint64 allocBytes() const { return allocBytes_; }
    // One line per folder that could not be read or was left out by rule, as the report
    // writes them.
    const QStringList& unreadableLines() const { return unreadable_; }

  private:
    qint64 add(qint64 a, qint64 b);
    qint64 clusterBytes(qint64 clusters);
    void overflow();
    void noteDeviceGone(int error);
    QByteArray currentPath() const;

    JsonStream& out_;
    std::unordered_set<quint64> linkedSeen_;  // inodes of hard-linked files counted
    platform::Identity leaveOutFolder_;
    QByteArray leaveOutName_;
    ExportFigures fig_;
    std::vector<QByteArray> path_;  // native names of the open folders, the root's whole path
    qint64 folders_ = 0;
    qint64 files_ = 0;
    qint64 fileBytes_ = 0;
    qint64 allocBytes_ = 0;
    QStringList unreadable_;
    scan::FigureTree* figures_ = nullptr;
    std::vector<qint32> figurePath_;  // the open folders' indexes in figures_
    bool overflowSeen_ = false;
    bool deviceGoneSeen_ = false;
};

}  // namespace interchange
