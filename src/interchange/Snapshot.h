#pragma once
// A snapshot file: a listing's folder figures in a compact binary form, kept so that a later
// listing of the same drive can be compared with it.
//
//   "FOLDEX snapshot <version>\n"
//   varint Taken (zigzag), varint length + Source bytes, varint folder count,
//   per folder in pre-order: varint depth (the root 0, then at most one more than the folder
//   before), the root excepted: varint length + name, then own files, bytes and alloc
//   (zigzag varints); the subtree totals are summed again on reading.
//   SHA-256 of everything before it.
//
// Names are QString and may hold lone surrogates (bytes of names that are not UTF-8): they
// are written as their code units in the UTF-8 pattern, so each comes back exactly.
#include <QByteArray>
#include <QString>
#include <functional>

#include "scan/FigureTree.h"
#include "scan/FigureView.h"

namespace interchange {

// The format version this program writes and the newest it reads.
constexpr int kSnapshotVersion = 1;

// Takes each piece of a snapshot as it is written; false stops the writing.
using SnapshotWriter = std::function<bool(const char* data, qsizetype size)>;
// Writes the snapshot of view in pieces of at most some 64 KiB, the checksum summed as it
// goes: nothing of the folders is copied. False when write refused a piece.
bool WriteSnapshot(const scan::FigureView& view, const SnapshotWriter& write);
QByteArray EncodeSnapshot(const scan::FigureTree& tree);
// False (out unchanged, error saying why) for anything that is not a whole, sound snapshot.
bool DecodeSnapshot(const QByteArray& bytes, scan::FigureTree& out, QString& error);

}  // namespace interchange
