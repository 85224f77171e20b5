#include "print/widget/RunPrint.h"

#include <QApplication>
#include <QBuffer>
#include <QEventLoop>
#include <QPdfWriter>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <cstring>
#include <memory>

#include "dialogs/CancelForm.h"
#include "dialogs/DialogForm.h"
#include "dialogs/InpBoxForm.h"
#include "dialogs/MessageBox.h"
#include "platform/Beep.h"
#include "platform/PathMap.h"
#include "platform/SafeWrite.h"
#include "platform/Screen.h"
#include "platform/StdMessage.h"
#include "print/PrintPages.h"
#include "print/widget/PrevForm.h"
#include "print/widget/PrintParts.h"
#include "print/widget/PrintProgressWindow.h"
#include "settings/Context.h"
#include "util/PathUtil.h"

namespace print {

namespace {

constexpr QChar kBold(8);
constexpr QChar kPlain(7);

QPointer<PrevForm>& Form() {
    return Parts().form;
}

// The one output module: its switch stays on the preview except during a print run.
PrevPrint& Output() {
    return *Parts().output;
}

// Sheet and printable area of the printer, in twips.
QSizeF SheetTwips(const PageGeometry& g) {
    return QSizeF(g.sheetWidth, g.sheetHeight);
}
QSizeF PrintableTwips(const PageGeometry& g) {
    return QSizeF(g.pageWidth, g.pageHeight);
}

struct PdfTarget {
    QByteArray native;
    QString shown;  // as the person gave it
};

// Asks where the PDF goes; empty when the person cancelled.
PdfTarget AskPdfName(QChar drive, QWidget* owner) {
    app::ProgramContext& c = app::Ctx();
    const QString baseName = QStringLiteral("Print") + drive;
    if (c.CommonDialogReady) {
        dialogs::SaveFileRequest request;
        request.title = QStringLiteral("PDFファイルへの印刷");
        request.filter = QStringLiteral("PDF|*.pdf");
        request.proposedName = baseName;
        request.startFolder = c.AppFolderNative;
        request.defaultExtension = QStringLiteral("pdf");
        const dialogs::SaveFileAnswer answer = dialogs::SaveFileDialog(request, owner);
        switch (answer.outcome) {
            case dialogs::SaveFileAnswer::Outcome::Cancelled:
                return {};
            case dialogs::SaveFileAnswer::Outcome::Chosen:
                return {dialogs::NativeFileName(answer.fileName), answer.fileName};
            case dialogs::SaveFileAnswer::Outcome::Failed:
                dialogs::MsgBoxEx(answer.error, 0, {}, owner);
                c.CommonDialogReady = false;
                break;
        }
    }
    const QString proposed = c.AppFolder + u'\\' + baseName + QStringLiteral(".pdf");
    const QString prompt = QStringLiteral("プリンターがないので、PDFファイルに印刷します|||") +
                           QStringLiteral("ファイル名：") + kBold + proposed + kPlain;
    const QString chosen = dialogs::InputBoxEx(prompt, QStringLiteral("FOLDEX"), proposed, owner);
    if (chosen.isEmpty()) return {};
    const QByteArray native = dialogs::NativeOfAnswer(chosen);
    if (native.isEmpty()) {
        dialogs::MsgBoxEx(kBold + platform::DisplayName(chosen) + kPlain +
                              QStringLiteral("|このドライブはありません。"),
                          0, {}, owner);
        return {};
    }
    return {native, chosen};
}

// Closing the calling window while the settings window waits cancels the command.
class CloseWatch : public QObject {
  public:
    CloseWatch(QWidget* caller, PrevForm& form) : form_(form) { caller->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close && form_.isVisible()) form_.cancelClicked();
        return false;
    }

  private:
    PrevForm& form_;
};

// No page of the list lies in the chosen range: nothing was printed, and the person is told.
const QString kNoPageInRange = QStringLiteral("指定された頁の範囲には、印刷する頁がありません。");

// Whether the chosen range holds a page: laid out on a PDF of the printer's sheet and
// resolution, before a file is asked for or a job started.
bool RangeHoldsAPage(const PrintRequest& req, const PrintOptions& o) {
    if (o.allPages) return true;
    QBuffer scratch;
    scratch.open(QIODevice::WriteOnly);
    QPdfWriter writer(&scratch);
    writer.setPageLayout(Printer().pageLayout());
    writer.setResolution(Printer().resolution());
    PrevPrint probe;
    if (!probe.SetTarget(&writer, false)) return true;
    return RangeHasPages(probe, *req.grid, req.title, req.fullPath, o);
}

// Lays the list out onto the printer's queue.
void PrintToPrinter(const PrintRequest& req, const PrintOptions& o, PrintProgress& progress) {
    PrevPrint& out = Output();
    if (!out.SetTarget(&Printer(), false)) {
        progress.ShowError(out.ErrorText());
        return;
    }
    // A failure was shown by the run itself.
    const PrintResult r = PrintPages(out, *req.grid, req.title, req.fullPath, o, &progress);
    if (!r.failed && !r.cancelled && r.pagesDrawn == 0)
        dialogs::MsgBoxEx(kNoPageInRange, 0, {}, req.caller);
}

// Lays the list out into a PDF in memory and writes the file only when the run is complete,
// so a cancelled or failed run leaves no part of a file behind.
void PrintToPdf(const PrintRequest& req, const PrintOptions& o, PrintProgress& progress) {
    const PdfTarget target = AskPdfName(req.drive, req.caller);
    if (target.native.isEmpty()) return;
    if (req.callerGone && req.callerGone()) return;

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    PrintResult r;
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(Printer().pageLayout());
        writer.setResolution(Printer().resolution());
        writer.setTitle(req.title);
        writer.setCreator(QStringLiteral("FOLDEX"));
        PrevPrint& out = Output();
        if (!out.SetTarget(&writer, false)) {
            progress.ShowError(out.ErrorText());
            return;
        }
        r = PrintPages(out, *req.grid, req.title, req.fullPath, o, &progress);
    }
    // A failure was shown by the run itself; a range without pages writes no file.
    if (r.failed || r.cancelled) return;
    if (r.pagesDrawn == 0) {
        dialogs::MsgBoxEx(kNoPageInRange, 0, {}, req.caller);
        return;
    }

    platform::ReplacingFile file;
    const bool written = file.open(target.native) && file.write(buffer.data()) && file.commit();
    const QString name = kBold + platform::DisplayName(target.shown) + kPlain;
    if (!written) {
        dialogs::MsgBoxEx(name + QStringLiteral("|PDFファイルを書き込めませんでした。|") +
                              QString::fromLocal8Bit(std::strerror(file.error())),
                          0, {}, req.caller);
        return;
    }
    dialogs::MsgBoxEx(QStringLiteral("PDFファイルに印刷しました。|") + name, 0, {}, req.caller);
}

}  // namespace

PrintParts::PrintParts()
    : printer(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      output(std::make_unique<PrevPrint>()) {}

PrintParts::~PrintParts() {
    if (!QCoreApplication::instance()) {
        // The process is ending without its GUI: nothing may be torn down any more.
        (void)output.release();
        (void)printer.release();
        return;
    }
    // Its settings were written when the program quit (UnloadPrintForm).
    delete form.data();
}

PrintParts& Parts() {
    return app::Application::Current().part<PrintParts>();
}

QPrinter& Printer() {
    return *Parts().printer;
}

bool HavePrinter() {
    return !app::Application::Current().part<PrintDoubles>().noPrintQueue &&
           !QPrinterInfo::availablePrinters().isEmpty();
}

PrevForm& PrintForm() {
    if (!Form()) {
        Form() = new PrevForm;
        if (qApp) QObject::connect(qApp, &QCoreApplication::aboutToQuit, &UnloadPrintForm);
    }
    return *Form();
}

bool PrintFormExists() {
    return !Form().isNull();
}

void UnloadPrintForm() {
    if (!Form()) return;
    Form()->unload();
    delete Form().data();
}

PrintOptions OptionsOf(const PrevForm& form) {
    PrintOptions o;
    o.mincho = form.romanFont();
    o.sizeIndex = form.sizeIndex();
    o.bold = form.boldFont();
    o.allPages = form.allPages();
    o.firstPage = PageNumber(form.firstPageText());
    o.lastPage =
        form.lastPageText() == QStringLiteral("最終") ? kLastPage : PageNumber(form.lastPageText());
    o.tree = form.printTree();
    o.hRules = form.printHLine();
    o.vRules = form.printVLine();
    o.frame = form.printFrame();
    o.wrap = form.wrap();
    o.gapIndex = form.gapIndex();
    o.wideWindow = form.width() * platform::TwipsPerPixel() >= 4951;
    return o;
}

void DrawPreview(const grid::GridState& g, const QString& title, bool fullPath) {
    PrevForm& form = PrintForm();
    PrevPrint& out = Output();
    if (!form.previewOutput()) return;
    out.SetTarget(&Printer(), true, platform::TwipsPerPixel());
    const PageGeometry geometry = out.Geometry();
    out.SetPageSink([&form, geometry](const QImage& page) {
        form.pageImage() = page;
        form.showPage(SheetTwips(geometry), PrintableTwips(geometry));
    });
    form.clearPreview();
    PrintPages(out, g, title, fullPath, OptionsOf(form), nullptr);
    out.SetPageSink({});
}

void RunPrint(const PrintRequest& req) {
    if (!req.grid || !req.caller) return;
    if (PrintFormExists() && PrintForm().isVisible()) {
        // The window already serves another list's print command.
        platform::Beep();
        return;
    }
    PrevForm& form = PrintForm();
    QPointer<QWidget> caller = req.caller;
    form.PrStart = false;
    form.setPreviewOutput(true);
    form.setRedraw(req.dPrev);
    form.setPrinterSetup(
        [](QWidget* owner) { return dialogs::PrintSetupDialog(Printer(), owner); });
    form.show();
    form.raise();
    form.activateWindow();

    if (req.dPrev) req.dPrev();
    const bool wasEnabled = caller->isEnabled();
    caller->setEnabled(false);
    if (form.isVisible()) {
        CloseWatch watch(caller, form);
        QEventLoop loop;
        QObject::connect(&form, &PrevForm::hidden, &loop, &QEventLoop::quit);
        QObject::connect(&form, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const bool gone = !caller || (req.callerGone && req.callerGone());
    if (Form() && form.PrStart && !gone) {
        form.setPreviewOutput(false);
        const PrintOptions options = OptionsOf(form);
        PrintProgressWindow progress(caller, req.callerGone);
        if (!RangeHoldsAPage(req, options)) {
            dialogs::MsgBoxEx(kNoPageInRange, 0, {}, req.caller);
        } else if (HavePrinter()) {
            PrintToPrinter(req, options, progress);
        } else {
            PrintToPdf(req, options, progress);
        }
        if (Form()) form.setPreviewOutput(true);
    }
    if (Form()) form.setRedraw({});
    if (caller) {
        caller->setEnabled(wasEnabled);
        caller->show();
    }
}

}  // namespace print
