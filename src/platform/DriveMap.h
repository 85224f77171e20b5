#pragma once
// Which native folder each drive letter stands for. Every drive path of the
// program ("D:\A\B") is resolved through this table.

#include <QByteArray>
#include <QChar>
#include <array>

namespace platform {

class DriveMap {
  public:
    static constexpr int kLetters = 26;

    // index 0 = A. root is a native absolute folder; an empty root clears the letter.
    void set(int index, const QByteArray& root);
    void clear();
    QByteArray root(int index) const;
    bool has(int index) const { return index >= 0 && index < kLetters && !roots_[index].isEmpty(); }

    // The letter whose root is the longest folder-wise prefix of nativePath, or -1.
    // rest receives the part of the path below that root, without a leading '/'.
    int indexFor(const QByteArray& nativePath, QByteArray* rest = nullptr) const;

  private:
    std::array<QByteArray, kLetters> roots_;
};

// The table of this process.
DriveMap& Drives();

// 'A'..'Z' or 'a'..'z' → 0..25, anything else → -1.
int LetterIndex(QChar letter);

// Removes "." and empty components and resolves ".." without touching the disk,
// and drops a trailing '/' except on "/".
QByteArray NormaliseNative(const QByteArray& path);

}  // namespace platform
