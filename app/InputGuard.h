#pragma once
// While a handler runs the main window takes no operator input, yet it keeps
// painting: whoever processes events during that time does so under this
// guard, an application-wide event filter that drops mouse, key, wheel,
// shortcut, context-menu and close events addressed to the guarded window,
// its menus and its actions. Dialogs the window opens meanwhile get a pass,
// so the operator can still answer them.
#include <QObject>

#include <vector>

class QEvent;

namespace otp {

class InputGuard : public QObject {
    Q_OBJECT
public:
    // Installs itself on the application; guards `window` and all it owns.
    explicit InputGuard(QObject& window);
    ~InputGuard() override;

    bool Active() const { return depth_ > 0; }

    // Raises the guard for its lifetime; holds nest.
    class Hold {
    public:
        explicit Hold(InputGuard& guard) : guard_(guard) { ++guard_.depth_; }
        ~Hold() { --guard_.depth_; }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        InputGuard& guard_;
    };

    // Lets input reach `dialog` and everything it owns for its lifetime.
    class DialogPass {
    public:
        DialogPass(InputGuard& guard, QObject& dialog);
        ~DialogPass();
        DialogPass(const DialogPass&) = delete;
        DialogPass& operator=(const DialogPass&) = delete;

    private:
        InputGuard& guard_;
        QObject* dialog_;
    };

    // Lets the program itself close the guarded window while guarded.
    class ClosePass {
    public:
        explicit ClosePass(InputGuard& guard) : guard_(guard) { ++guard_.closePasses_; }
        ~ClosePass() { --guard_.closePasses_; }
        ClosePass(const ClosePass&) = delete;
        ClosePass& operator=(const ClosePass&) = delete;

    private:
        InputGuard& guard_;
    };

    // Whether the window was asked to close while guarded (the close box):
    // the close it dropped is owed once the guard is down. Asking forgets it.
    bool TakeCloseAsked() {
        const bool asked = closeAsked_;
        closeAsked_ = false;
        return asked;
    }

    // Mouse, key, wheel, touch, tablet, shortcut, context-menu, drop and
    // close events: what the guard drops.
    static bool IsInputEvent(const QEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* window_;
    int depth_ = 0;
    int closePasses_ = 0;
    bool closeAsked_ = false;
    std::vector<QObject*> passes_;
};

}  // namespace otp
