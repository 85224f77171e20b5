#pragma once
// The program's input box: one line of text under a prompt in the message box's mark-up.
// InputBoxEx drives it; the window is created once and hidden between calls.
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QRect>

#include "dialogs/MsgText.h"

class QEventLoop;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dialogs {

// Asks for one line of text over the owner (the program's active window when none is
// given), which stays disabled meanwhile. Returns the field's text after OK or Enter, the
// empty text after Cancel, Esc, a close by the window manager or the program ending.
QString InputBoxEx(const QString& prompt, const QString& title, const QString& defaultText,
                   QWidget* owner = nullptr);

class InpBoxForm;
// The input box once a call has created it, else nullptr.
InpBoxForm* InputBoxWindow();

// Design sizes, in twips.
inline constexpr int kInpWidth = 6150;
inline constexpr int kInpHeight = 1515;
inline constexpr int kInpTextLeft = 780;
inline constexpr int kInpTextTop = 210;

// Where the box goes: centred across the owner's lower edge, its bottom on that edge; then
// moved just far enough that every corner lies on the screen (pixels throughout).
QPoint PlaceInputBox(const QRect& ownerFrame, const QSize& boxFrame, const QRect& screen);

class InpBoxForm : public QDialog {
    Q_OBJECT
  public:
    InpBoxForm();
    ~InpBoxForm() override;

    // The work of InputBoxEx.
    QString InpLine(const QString& prompt, const QString& title, const QString& defaultText,
                    QWidget* owner);

    // 0 while waiting, 1 OK, 2 Cancel.
    short EndCode() const { return endCode_; }
    bool isWaiting() const { return waiting_; }
    QLineEdit* field() const { return field_; }
    // The prompt's runs as drawn, in twips.
    const QList<MsgPiece>& pieces() const { return pieces_; }
    int lineHeight() const { return lineHeight_; }

  public slots:
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void finish(short code);
    void layOutPrompt(const QString& prompt);
    int px(int twips) const;

    QLineEdit* field_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* icon_ = nullptr;
    QList<MsgPiece> pieces_;
    int lineHeight_ = 0;
    int twipsPerPixel_ = 15;
    short endCode_ = 0;
    bool waiting_ = false;
    QEventLoop* loop_ = nullptr;
    QPointer<QWidget> owner_;
};

}  // namespace dialogs
