#include "ModalMessage.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <vector>

namespace router {

struct ModalMessage::State {
    struct Request {
        bool done = false;
    };

    QPointer<QWidget> parent;
    Presenter presenter;
    QThread* windowThread = nullptr;
    std::mutex lock;
    std::condition_variable finished;
    std::vector<std::shared_ptr<Request>> pending;
    bool closed = false;

    bool IsClosed() {
        std::lock_guard<std::mutex> guard(lock);
        return closed;
    }

    // On the window thread.
    void Present(const std::string& text) {
        if (IsClosed()) {
            std::cerr << text << std::endl;
            return;
        }
        if (presenter) {
            presenter(text);
            return;
        }
        QMessageBox::critical(parent.data(), QStringLiteral("Router"), QString::fromLatin1(text));
    }

    void Finish(const std::shared_ptr<Request>& request) {
        std::lock_guard<std::mutex> guard(lock);
        request->done = true;
        pending.erase(std::remove(pending.begin(), pending.end(), request), pending.end());
        finished.notify_all();
    }
};

namespace {

void ShowThrough(const std::shared_ptr<ModalMessage::State>& state, const std::string& text) {
    if (QThread::currentThread() == state->windowThread) {
        state->Present(text);
        return;
    }
    auto request = std::make_shared<ModalMessage::State::Request>();
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (state->closed || QCoreApplication::instance() == nullptr) {
            std::cerr << text << std::endl;
            return;
        }
        state->pending.push_back(request);
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [state, request, text] {
            bool released = false;
            {
                std::lock_guard<std::mutex> guard(state->lock);
                released = request->done;
            }
            if (!released) {
                state->Present(text);
            }
            state->Finish(request);
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> guard(state->lock);
    state->finished.wait(guard, [&request] { return request->done; });
}

}  // namespace

ModalMessage::ModalMessage(QWidget* parent, Presenter presenter) : mState(std::make_shared<State>()) {
    mState->parent = parent;
    mState->presenter = std::move(presenter);
    mState->windowThread = QThread::currentThread();
}

ModalMessage::~ModalMessage() { Close(); }

void ModalMessage::Show(const std::string& text) { ShowThrough(mState, text); }

void ModalMessage::Close() {
    std::lock_guard<std::mutex> guard(mState->lock);
    mState->closed = true;
    for (const auto& request : mState->pending) {
        request->done = true;
    }
    mState->pending.clear();
    mState->finished.notify_all();
}

std::function<void(const std::string&)> ModalMessage::Notifier() const {
    return [state = mState](const std::string& text) { ShowThrough(state, text); };
}

}  // namespace router
