#pragma once
// The window of the largest files below a folder: a sortable table over the core's model,
// and buttons to show a file in the file manager or copy its path.
#include <QWidget>

#include "scan/LargestFiles.h"

class QLabel;
class QPushButton;
class QTableView;

namespace listwindow {

class LargestFilesWindow : public QWidget {
    Q_OBJECT
  public:
    // folderNative: the listed folder's native path; title: its path as the list shows it.
    LargestFilesWindow(scan::LargestFiles found, QByteArray folderNative, const QString& title,
                       int unitMode, QWidget* owner);

    QTableView* table() const { return table_; }
    scan::LargestModel* model() const { return model_; }
    // The native path of the file on a row of the table as shown.
    QByteArray PathOf(int row) const;
    // The commands of its buttons, on the current row.
    void ShowCurrent();
    void CopyCurrent();

  private:
    int currentRow() const;

    QByteArray folder_;
    scan::LargestModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* summary_ = nullptr;
};

// Puts a native path on the clipboard: as text (its bytes), and as a file URI.
void CopyNativePath(const QByteArray& nativePath);

}  // namespace listwindow
