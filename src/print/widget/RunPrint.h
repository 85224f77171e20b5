#pragma once
// The print command of a list window: the print settings window with its preview, then the
// print run on the printer, or into a PDF file on a machine without one.
#include <QChar>
#include <QString>
#include <functional>

#include "grid/GridState.h"

class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace print {

class PrevForm;
struct PrintOptions;

// What the command prints, from the window that started it.
struct PrintRequest {
    QWidget* caller = nullptr;  // disabled while the settings window is open
    // The caller's D_PREV: draws its list into the preview (DrawPreview with its grid).
    std::function<void()> dPrev;
    // True when the caller is going away: nothing is printed.
    std::function<bool()> callerGone;
    const grid::GridState* grid = nullptr;
    QString title;  // the caption of the caller's volume label
    bool fullPath = false;
    QChar drive;  // names the default PDF file
};

// Shows the settings window, waits until it is hidden and prints when its print button closed
// it. A second command while the window is open for another is refused with a beep.
void RunPrint(const PrintRequest& request);

// D_PREV's work: lays out g into the settings window's preview page.
void DrawPreview(const grid::GridState& g, const QString& title, bool fullPath);

// The print settings window, created on first use and kept by the application (PrintParts).
PrevForm& PrintForm();
bool PrintFormExists();
// The program is ending: the window writes its settings and goes.
void UnloadPrintForm();

// The program's one printer (high resolution), kept by the application; print set-up
// changes it.
QPrinter& Printer();
// True when a print queue exists (and the application's PrintDoubles do not deny it);
// without one, printing writes a PDF file.
bool HavePrinter();

// The options the settings window holds, as the layout reads them.
PrintOptions OptionsOf(const PrevForm& form);

}  // namespace print
