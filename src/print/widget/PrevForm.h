#pragma once
// The print settings window: print options, the page range, the printer set-up button and a
// preview of the first page of the range, redrawn after every change. It is created on the
// first print command and kept; each command shows it again and waits until it is hidden,
// then reads PrStart.
#include <QDialog>
#include <QImage>
#include <QSizeF>
#include <array>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace print {

// A picture box: shows an image at a place and size within itself, on white.
class PagePicture : public QWidget {
    Q_OBJECT
  public:
    explicit PagePicture(QWidget* parent = nullptr);
    void setPicture(const QImage& image, const QRect& target);
    void clearPicture();
    const QImage& picture() const { return image_; }
    QRect target() const { return target_; }
    // What the box shows now, as an image of its own size.
    QImage grabbed() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
    QRect target_;
};

// Where the page picture goes in the preview box (pixels). sheet: the physical sheet and
// printable: its printable area, both in twips; outerTwips: the box's outer size in twips;
// inner: its inner size in pixels.
QRect PreviewPlacement(QSizeF sheet, QSizeF printable, QSize outerTwips, QSize inner,
                       int twipsPerPixel);

// The whole number a page field stands for (its leading number; 0 when there is none).
int PageNumber(const QString& text);

class PrevForm : public QDialog {
    Q_OBJECT
  public:
    PrevForm();
    ~PrevForm() override;

    // True when the window was closed with its print button.
    bool PrStart = false;

    // Called after every change that the preview must follow (the starting window's D_PREV).
    void setRedraw(std::function<void()> redraw) { redraw_ = std::move(redraw); }
    // Called by SETBTN; true when a printer was set up (the preview is then redrawn).
    void setPrinterSetup(std::function<bool(QWidget*)> setup) { setup_ = std::move(setup); }
    // False while printing: changes then do not redraw.
    void setPreviewOutput(bool on) { previewOutput_ = on; }
    bool previewOutput() const { return previewOutput_; }

    // The options as the controls hold them.
    bool romanFont() const;
    int sizeIndex() const;
    bool boldFont() const;
    int gapIndex() const;
    bool printTree() const;
    bool printHLine() const;
    bool printVLine() const;
    bool printFrame() const;
    bool wrap() const;
    bool allPages() const;
    QString firstPageText() const;
    QString lastPageText() const;
    // The range the layout prints: all pages → 1 … 32767; else the two fields, with the last
    // page 32767 when it is below the first.
    int firstPage() const;
    int lastPage() const;

    bool changed() const { return changed_; }
    // Writes the options to the settings when they were changed.
    void writeSettings();
    // The program is closing the window: the settings are written.
    void unload();

    // The page picture the layout draws into, and the preview it is copied to.
    QImage& pageImage() { return pageImage_; }
    PagePicture* preview() const { return preview_; }
    // Copies the page picture into the preview: the physical sheet with the printable area
    // placed centrally (sizes in twips).
    void showPage(QSizeF sheet, QSizeF printable);
    void clearPreview();
    // The preview's outer size in twips (its design size).
    static constexpr int kPreviewWidthTwips = 3915;
    static constexpr int kPreviewHeightTwips = 5535;

    // The handlers, as the controls call them.
    void optionChanged();
    void rangeChanged();
    void printClicked();
    void cancelClicked();
    void setupClicked();

  signals:
    // The window was hidden (print, cancel or the close box).
    void hidden();

  public slots:
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build();
    void readSettings();
    void redraw();
    // Checks a page field that is losing the focus; false (after a beep) when it must keep it.
    bool leaveFirst();
    bool leaveLast();
    void keepFocus(QLineEdit* field);
    QWidget* enterTarget(QObject* control) const;
    int px(int twips) const;

    std::array<QRadioButton*, 2> fontChoice_{};
    QButtonGroup* fontGroup_ = nullptr;
    QComboBox* sizeList_ = nullptr;
    QCheckBox* boldBox_ = nullptr;
    QComboBox* gapList_ = nullptr;
    QCheckBox* treeBox_ = nullptr;
    QCheckBox* hRulesBox_ = nullptr;
    QCheckBox* vRulesBox_ = nullptr;
    QCheckBox* frameBox_ = nullptr;
    QCheckBox* wrapBox_ = nullptr;
    std::array<QRadioButton*, 2> rangeChoice_{};
    QButtonGroup* rangeGroup_ = nullptr;
    QLineEdit* firstPageField_ = nullptr;
    QLineEdit* lastPageField_ = nullptr;
    QPushButton* setupButton_ = nullptr;
    QPushButton* printButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    PagePicture* preview_ = nullptr;
    PagePicture* pageBox_ = nullptr;

    QImage pageImage_;
    std::function<void()> redraw_;
    std::function<bool(QWidget*)> setup_;
    bool previewOutput_ = true;
    bool changed_ = false;
    bool reading_ = false;  // controls being filled: no change is recorded
    bool refocusing_ = false;
    int twipsPerPixel_ = 15;
};

// True while the window exists.
bool PrevFormLoaded();

}  // namespace print
