#pragma once
// Answers a modal window that opens while the test waits inside exec(): the
// answer runs once the active modal widget is of type T. Watching ends with
// the answer or with this object, so an answer never outlives the test's
// variables it writes to.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace gui_test {

template <typename T>
class WhenModal {
public:
    explicit WhenModal(std::function<void(T*)> answer) : mAnswer(std::move(answer)) {
        mTimer.setInterval(20);
        QObject::connect(&mTimer, &QTimer::timeout, [this] {
            T* modal = qobject_cast<T*>(QApplication::activeModalWidget());
            if (modal != nullptr && modal->isVisible()) {
                mTimer.stop();
                mAnswered = true;
                mAnswer(modal);
            }
        });
        mTimer.start();
    }

    bool Answered() const { return mAnswered; }

private:
    std::function<void(T*)> mAnswer;
    QTimer mTimer;
    bool mAnswered = false;
};

}  // namespace gui_test
