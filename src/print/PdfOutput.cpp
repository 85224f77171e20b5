#include "print/PdfOutput.h"

namespace print {

// Passes the PDF writer's output on to the save file and remembers a write that did not
// take all its bytes: the writer ignores short writes, and a disk that fills at the end of
// the file leaves no error on the file itself.
class PdfOutput::CheckedWrites : public QIODevice {
  public:
    explicit CheckedWrites(QSaveFile& file) : file_(file) {}
    bool failed = false;

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override {
        const qint64 n = file_.write(data, len);
        if (n != len) failed = true;
        return n;
    }

  private:
    QSaveFile& file_;
};

PdfOutput::PdfOutput(const QString& path) : path_(path), file_(path) {}

PdfOutput::~PdfOutput() {
    // The writer goes first: it may still hold the device. An uncommitted file is dropped.
    writer_.reset();
    checked_.reset();
    file_.cancelWriting();
}

bool PdfOutput::Open() {
    if (!file_.open(QIODevice::WriteOnly)) {
        errorText_ = QStringLiteral("%1 に書き込めません。\n%2").arg(path_, file_.errorString());
        return false;
    }
    checked_ = std::make_unique<CheckedWrites>(file_);
    checked_->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    writer_ = std::make_unique<QPdfWriter>(checked_.get());
    return true;
}

bool PdfOutput::Commit() {
    if (!file_.isOpen() || !checked_) {
        errorText_ = QStringLiteral("%1 に書き込めません。").arg(path_);
        return false;
    }
    const bool shortWrite = checked_->failed;
    if (shortWrite || file_.error() != QFileDevice::NoError || !file_.flush()) {
        errorText_ = QStringLiteral("%1 に書き込めません。ディスクの空きを確かめてください。\n%2")
                         .arg(path_, file_.errorString());
        file_.cancelWriting();
        return false;
    }
    if (!file_.commit()) {
        errorText_ = QStringLiteral("%1 に書き込めません。\n%2").arg(path_, file_.errorString());
        return false;
    }
    return true;
}

}  // namespace print
