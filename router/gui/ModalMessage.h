#pragma once
// Shows error texts in a modal message box on the window thread, whichever
// thread reports them; a reporting thread waits until the box is closed.
// After Close the texts go to stderr and waiting threads are released, so
// shutting the servers down never waits on a box nobody will answer.

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace router {

class ModalMessage {
public:
    using Presenter = std::function<void(const std::string& text)>;

    // Create on the window thread. By default a critical message box with
    // `parent` as its parent presents the text.
    explicit ModalMessage(QWidget* parent, Presenter presenter = {});
    ~ModalMessage();
    ModalMessage(const ModalMessage&) = delete;
    ModalMessage& operator=(const ModalMessage&) = delete;

    void Show(const std::string& text);
    void Close();

    // Shows texts through this object while it is open, on stderr after;
    // safe to keep (on any thread) beyond this object's life.
    std::function<void(const std::string& text)> Notifier() const;

    struct State;

private:
    std::shared_ptr<State> mState;
};

}  // namespace router
