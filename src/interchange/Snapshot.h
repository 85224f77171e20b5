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

#include "scan/FigureTree.h"

namespace interchange {

// The format version this program writes and the newest it reads.
constexpr int kSnapshotVersion = 1;

QByteArray EncodeSnapshot(const scan::FigureTree& tree);
// False (out unchanged, error saying why) for anything that is not a whole, sound snapshot.
bool DecodeSnapshot(const QByteArray& bytes, scan::FigureTree& out, QString& error);

}  // namespace interchange
