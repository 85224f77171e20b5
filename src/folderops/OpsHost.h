#pragma once
// What a folder operation needs from its window: questions in the message box, the progress
// dialog and its stop flag, turns of the message loop. Tests answer through the same interface.
#include <QByteArray>
#include <QString>

namespace folderops {

// Message box flags and answers (the message box's own codes).
inline constexpr int kOk = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kSecondDefault = 0x100;

inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

class OpsHost {
  public:
    virtual ~OpsHost() = default;

    // Shows text (with the message box's mark-up) with an empty title; returns the answer.
    virtual int Ask(const QString& text, int flags) = 0;
    // Lets pending window events run.
    virtual void Turn() = 0;

    // The progress dialog: loaded and visible (another operation runs).
    virtual bool DialogVisible() = 0;
    // Shows it for a run: EndCode 0, caption "FOLDEX " + verb, TITDSP verb + "中", 退席SEL
    // visible, topmost; the window disabled with the hourglass.
    virtual void BeginRun(const QString& verb) = 0;
    // Hides the dialog (before the closing message).
    virtual void HideDialog() = 0;
    // Hides the dialog, restores the pointer and enables the window.
    virtual void EndRun() = 0;
    // The dialog's stop flag (non-zero: cancelled) and its check box 退席SEL.
    virtual int EndCode() = 0;
    virtual bool Unattended() = 0;
    // The dialog's label TITDSP.
    virtual void SetTitle(const QString& text) = 0;

    // A file copy failed: the platform's standard message box with this text.
    virtual void CopyFailed(const QString& text) = 0;
    // Opens a written file with the desktop's default application.
    virtual void OpenFile(const QByteArray& nativePath) = 0;
    // Re-reads the drive's figures and shows them (the list itself is already right).
    virtual void AfterRun() = 0;
};

}  // namespace folderops
