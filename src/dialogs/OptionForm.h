#pragma once
// The options dialog: rules, tree display and indent, selection style, new-window choice,
// the trash, share-bar and snapshot switches, the two list fonts and eight list colours. Each
// change goes to the window that opened it at once; that window keeps or undoes the changes when
// the dialog ends.
#include <QColor>
#include <QDialog>
#include <QRect>
#include <array>

#include "dialogs/DialogForm.h"

class QCheckBox;
class QEventLoop;
class QLabel;
class QPushButton;

namespace dialogs {

// A list font as the dialog shows and stores it: the face by its (Windows) name.
using OptionFont = FontChoice;

// The display operations of the window that opened the dialog.
class OptionTarget {
  public:
    virtual void D_Tree(bool on) = 0;
    virtual void D_Wide(bool narrow) = 0;
    virtual void D_KeiH(int on) = 0;
    virtual void D_KeiV(int on) = 0;
    virtual void D_Kei3D(bool on) = 0;
    virtual void D_Col(int item, quint32 colour) = 0;
    virtual void D_Fon(const OptionFont& first, const OptionFont& second) = 0;
    // The bar of each folder's share of its parent behind the subtree total.
    virtual void D_Share(bool on) = 0;
    // The colour of an item as the list uses it now (3D rules may have lightened the
    // background), with the screen colour it stands for.
    virtual quint32 ItemColour(int item) const = 0;
    virtual QRgb ScreenColour(quint32 colour) const = 0;

  protected:
    ~OptionTarget() = default;
};

// Where the dialog goes beside its owner (all in pixels, frames included): at the owner's
// right side, else at its left; kept on the screen when neither side has room.
QPoint OptionPlacement(const QRect& owner, const QSize& dialog, const QRect& screen);

inline constexpr int kOptionItems = 8;

class OptionForm : public QDialog {
    Q_OBJECT
  public:
    explicit OptionForm(OptionTarget& target);
    ~OptionForm() override;

    // Filling by the owner before DispOption; nothing is sent to the owner.
    void setLines(bool horizontal, bool vertical, bool line3D);
    void setTree(bool on);
    // Both indent buttons disabled, or the one that applies enabled.
    void setIndentButtons(bool enabled, bool narrow);
    void setSelectionStyle(bool windows);
    void setNewWindow(bool on);
    void setUseTrash(bool on);
    void setShareBar(bool on);
    void setKeepSnapshots(bool on);
    void setColour(int item, quint32 colour);
    void setListFont(int index, const OptionFont& font);
    void setLevelColours(const std::array<QRgb, 8>& colours);

    // Places the dialog beside owner, shows it and waits; 1 OK, 2 Cancel.
    short DispOption(QWidget* owner);

    bool horizontal() const;
    bool vertical() const;
    bool line3D() const;
    bool tree() const;
    bool selectionStyle() const;
    bool newWindow() const;
    bool useTrash() const;
    bool shareBar() const;
    bool keepSnapshots() const;
    quint32 colour(int item) const { return colours_[size_t(item)]; }
    const OptionFont& listFont(int index) const { return fonts_[size_t(index)]; }
    int selectedItem() const { return selectedItem_; }
    int selectedLevel() const { return selectedLevel_; }
    short answer() const { return answer_; }

    // The click handlers, as the controls call them.
    void colourClicked(int item);
    void indentClicked(int k);
    void fontClicked(int k);

  public slots:
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build();
    void finish(short code);
    void showColour(int item);
    void showFont(int index);

    OptionTarget& target_;
    QCheckBox* hRulesBox_ = nullptr;
    QCheckBox* vRulesBox_ = nullptr;
    QCheckBox* rules3dBox_ = nullptr;
    QCheckBox* treeBox_ = nullptr;
    QCheckBox* windowsSelectionBox_ = nullptr;
    QCheckBox* newWindowBox_ = nullptr;
    QCheckBox* trashBox_ = nullptr;
    QCheckBox* shareBox_ = nullptr;
    QCheckBox* snapshotBox_ = nullptr;
    std::array<QPushButton*, 2> widthButtons_{};
    std::array<QPushButton*, 2> fontButtons_{};
    std::array<QLabel*, 2> fontSamples_{};
    std::array<QLabel*, kOptionItems> colourNames_{};
    std::array<QLabel*, kOptionItems> colourSamples_{};
    std::array<QLabel*, 8> levelNames_{};
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    std::array<quint32, kOptionItems> colours_{};
    std::array<OptionFont, 2> fonts_{};
    bool narrow_ = false;
    int selectedItem_ = -1;
    int selectedLevel_ = -1;
    short answer_ = 2;
    QEventLoop* loop_ = nullptr;
    QWidget* owner_ = nullptr;
};

}  // namespace dialogs
