#pragma once
// Reading scans in the common interchange format (the JSON export of the terminal
// disk-usage analysers, format 1.x) into the same sink the walk of a drive feeds, so an
// imported scan gives the rows and figures a scan of the tree would have given.
#include <QByteArray>
#include <QIODevice>
#include <QString>

#include "scan/FolderWalk.h"

namespace interchange {

// What an import keeps in memory until its file has been read: a file with more folders or
// files is refused, so an endless stream cannot take all memory. Nesting has no limit of its
// own: the export writes a tree of any depth.
struct ImportLimits {
    qint64 folders = 10'000'000;
    qint64 files = 50'000'000;
};

// Reads an export from in and hands its folders to sink, the root named rootName.
// Folders and files are kept in memory (bounded by limits) until the file has been read to
// its end, since the format lists a folder's files among its subfolders; a sink that stops the walk
// ends the import quietly. False, with a message naming the byte, when in is not such a
// file or says something impossible.
bool ReadScanExport(QIODevice& in, const QString& rootName, scan::FolderSink& sink, QString& error,
                    const ImportLimits& limits = {});
// The same for a file ("-": standard input); the reader an imported drive is given.
bool ImportScanFile(const QByteArray& nativeFile, const QString& rootName, scan::FolderSink& sink,
                    QString& error);

// True when the file begins as an export does ("[1," after blanks).
bool LooksLikeScanExport(const QByteArray& nativeFile);

}  // namespace interchange
