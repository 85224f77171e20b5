#pragma once
// A print run's progress through the program's progress window and the standard message box.
#include <QPointer>
#include <QWidget>
#include <functional>

#include "print/PrintPages.h"

namespace print {

class PrintProgressWindow : public PrintProgress {
  public:
    // gone: true once the owner is going away, which stops the run as the stop button does.
    PrintProgressWindow(QWidget* owner, std::function<bool()> gone)
        : owner_(owner), gone_(std::move(gone)) {}
    ~PrintProgressWindow() override;

    void Begin(const QString& caption, const QString& title) override;
    bool Pump(int rounds) override;
    void End() override;
    void ShowError(const QString& text) override;

  private:
    QPointer<QWidget> owner_;
    std::function<bool()> gone_;
    bool shown_ = false;
};

}  // namespace print
