#pragma once
// What the print command keeps in the application object: the print settings window, the
// program's printer and its one output module, and the double a test builds its
// application with.
#include <QPointer>
#include <memory>

#include "settings/Application.h"

class QPrinter;

namespace print {

class PrevForm;
class PrevPrint;

struct PrintParts : app::Application::Part {
    QPointer<PrevForm> form;
    bool formLoaded = false;  // a settings window is loaded (made here or by its caller)
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<PrevPrint> output;  // goes before the printer it may point at
    PrintParts();
    ~PrintParts() override;
};

// Behaves as if no print queue existed, so printing writes a PDF file.
struct PrintDoubles : app::Application::Part {
    bool noPrintQueue = false;
};

// The current application's print parts.
PrintParts& Parts();

}  // namespace print
