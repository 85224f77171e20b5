#pragma once
// A PDF file as the printer. The file is written through a save file, so that a full disk or
// any failed write shows as a failure of the print run and leaves no half-written file.
#include <QPdfWriter>
#include <QSaveFile>
#include <QString>
#include <memory>

namespace print {

class PdfOutput {
  public:
    explicit PdfOutput(const QString& path);
    ~PdfOutput();
    PdfOutput(const PdfOutput&) = delete;
    PdfOutput& operator=(const PdfOutput&) = delete;

    // Opens the file for writing; false with ErrorText. Set the page layout and resolution on
    // Writer() after this and before the run.
    bool Open();
    QPdfWriter* Writer() { return writer_.get(); }
    // Puts the finished file in place (PrevPrint's EndDoc does this); false with ErrorText
    // when any write failed.
    bool Commit();
    const QString& ErrorText() const { return errorText_; }
    const QString& Path() const { return path_; }

  private:
    class CheckedWrites;
    QString path_;
    QSaveFile file_;
    std::unique_ptr<CheckedWrites> checked_;
    std::unique_ptr<QPdfWriter> writer_;
    QString errorText_;
};

}  // namespace print
