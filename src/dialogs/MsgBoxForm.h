#pragma once
// The program's own message box window. MsgBoxEx (MessageBox.h) drives it; it is created once
// and hidden between calls.
#include <QDialog>
#include <QList>
#include <QPointer>

#include "dialogs/MsgText.h"

class QEventLoop;
class QLabel;
class QPushButton;
class QScrollArea;

namespace dialogs {

class MsgTextView;

class MsgBoxForm : public QDialog {
    Q_OBJECT
  public:
    MsgBoxForm();
    ~MsgBoxForm() override;

    // Caption, size, position, buttons and text for one call. False when the owner, the
    // screen or the font cannot be read; the caller then uses the standard box.
    bool prepare(const QString& text, int flags, const QString& caption, QWidget* owner);
    // Shows the prepared box topmost, beeps, waits for the answer and hides the box.
    short waitForAnswer(int flags);

    bool isWaiting() const { return waiting_; }
    short answer() const { return answer_; }
    QPushButton* button(MsgButton which) const;
    // The font face (Windows name) chosen for the text when the window was created.
    QString faceName() const { return faceName_; }
    const QList<MsgPiece>& pieces() const { return pieces_; }
    const MsgLayout& msgLayout() const { return layout_; }
    // The text area that takes over from the box's own drawing when the text is taller than
    // the screen; hidden otherwise.
    QScrollArea* textScroller() const { return textScroll_; }

  public slots:
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void finish(short code);
    bool previewKey(QKeyEvent* event);
    int px(int twips) const;

    QPushButton* yesButton_ = nullptr;
    QPushButton* noButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QLabel* icon_ = nullptr;
    QScrollArea* textScroll_ = nullptr;
    MsgTextView* txtView_ = nullptr;
    QString faceName_;
    QList<MsgPiece> pieces_;
    MsgLayout layout_;
    int twipsPerPixel_ = 15;
    short answer_ = 0;
    bool waiting_ = false;
    QEventLoop* loop_ = nullptr;
    QPointer<QWidget> owner_;
};

}  // namespace dialogs
