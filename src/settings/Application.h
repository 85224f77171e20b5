#pragma once
// The one owner of the program's state, created in main and handed over. It holds the
// program context, the settings store's file and the hooks the program calls out through;
// the widget layers keep their single windows, the printer and the print output here as
// parts, made on first use and destroyed with it.
//
// A test builds an application of its own, with its doubles as hooks and parts; while it
// lives it is the current one, and the one before it comes back when it goes.
#include <QByteArray>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <typeindex>

#include "platform/Launcher.h"
#include "settings/Context.h"

namespace app {

// Where the program calls out of itself; an empty member keeps the plain behaviour.
struct Hooks {
    // The sound of a refused command (the platform counts every beep in any case).
    std::function<void()> beep;
    // The platform's standard message box (answer codes as MsgBoxEx's); without it the text
    // goes to standard error and the answer is OK.
    std::function<int(const QString& text, int flags, const QString& title)> standardMessage;
    // Asked first for a command-line argument that is no drive path (an exported scan's
    // file, shown as a drive of its own): the drive path it stands for, or empty.
    std::function<QString(const QString& argument)> commandLineResolver;
    // Starts the file manager and terminals; none: the system's own.
    std::shared_ptr<platform::ProcessStarter> starter;
};

class Application {
  public:
    // State a higher layer keeps for the program's life.
    class Part {
      public:
        virtual ~Part() = default;
    };

    explicit Application(Hooks hooks = {});
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The application that lives now: the newest one not yet destroyed.
    static Application& Current();

    ProgramContext& context() { return context_; }
    const Hooks& hooks() const { return hooks_; }
    // The window runner gives the desktop's hooks to the application main handed it.
    void setHooks(Hooks hooks);
    // What starts other programs (the hook's, else the system's).
    platform::ProcessStarter& starter();

    // The native settings file the store reads and writes; empty: nothing is read or stored.
    const QByteArray& settingsFile() const { return settingsFile_; }
    void setSettingsFile(const QByteArray& nativeFile) { settingsFile_ = nativeFile; }

    // The part of type T, made on first use.
    template <class T>
    T& part() {
        std::unique_ptr<Part>& slot = parts_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_unique<T>();
        return static_cast<T&>(*slot);
    }
    // The part of type T when there is one (also while the application goes), else nullptr.
    template <class T>
    T* find() {
        const auto it = parts_.find(std::type_index(typeid(T)));
        return it == parts_.end() ? nullptr : static_cast<T*>(it->second.get());
    }
    // Gives the application a part made by its builder (a test's doubles), replacing one of
    // the same type.
    template <class T>
    T& provide(T value) {
        std::unique_ptr<Part>& slot = parts_[std::type_index(typeid(T))];
        slot = std::make_unique<T>(std::move(value));
        return static_cast<T&>(*slot);
    }

    // Destroys the part of type T now (windows that must go before the widget application).
    template <class T>
    void drop() {
        const auto it = parts_.find(std::type_index(typeid(T)));
        if (it == parts_.end()) return;
        const std::unique_ptr<Part> going = std::move(it->second);
        parts_.erase(it);
    }

  private:
    void installHooks();

    Application* previous_ = nullptr;
    ProgramContext context_;
    QByteArray settingsFile_;
    Hooks hooks_;
    platform::ProcessStarter systemStarter_;
    std::map<std::type_index, std::unique_ptr<Part>> parts_;
};

}  // namespace app
