#pragma once
// The progress window of long operations (print, delete, copy, move): what is going on, an
// "away from the desk" box and a stop button. It is shown without being modal, kept above
// its owner and other programs, and the operation reads EndCode between its steps:
//
//   CancelForm& c = dialogs::ProgressWindow();
//   c.Begin(u"FOLDEX 削除"_s, u"削除中"_s, /*showAway=*/true, this);
//   for (...) { ...; QCoreApplication::processEvents(); if (c.EndCode) break; }
//   c.End();
#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QPushButton;

namespace dialogs {

class CancelForm : public QDialog {
    Q_OBJECT
  public:
    CancelForm();
    ~CancelForm() override;

    // True once the person has asked the running operation to stop.
    bool EndCode = false;

    // Clears EndCode, sets the caption and TITDSP, shows or hides 退席SEL and shows the
    // window over the owner without disabling it.
    void Begin(const QString& caption, const QString& title, bool showAway, QWidget* owner);
    void SetTitle(const QString& title);
    // 退席SEL: run unattended.
    bool Away() const;
    // Hides the window once the operation is over.
    void End();
    // An operation is running: the window is loaded and visible.
    bool Running() const { return isVisible(); }

    QLabel* titleLabel() const { return titleLabel_; }
    QCheckBox* awayBox() const { return awayBox_; }
    QPushButton* stopButton() const { return stopButton_; }

  public slots:
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void stop();
    int px(int twips) const;

    QLabel* titleLabel_ = nullptr;
    QCheckBox* awayBox_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    int twipsPerPixel_ = 15;
    QPointer<QWidget> owner_;
};

// The program's one progress window, created on first use.
CancelForm& ProgressWindow();
// True from the window's creation until it is unloaded.
bool CancelFormLoaded();
// True while an operation shows the window (loaded and visible).
bool OperationRunning();

}  // namespace dialogs
