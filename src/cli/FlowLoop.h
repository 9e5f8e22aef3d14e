#pragma once

#include <QEventLoop>

#include <functional>
#include <memory>

// The command line's top level: the meter flows run from an event loop and
// report their end through a callback, so a command starts one and turns an
// event loop of its own until that callback has come. A late second call of
// the callback finds the loop gone and does nothing.
inline void runFlow(const std::function<void(const std::function<void()> &ended)> &start)
{
    struct State
    {
        QEventLoop *loop = nullptr;
        bool over = false;
    };
    QEventLoop loop;
    auto state = std::make_shared<State>();
    state->loop = &loop;
    start([state] {
        state->over = true;
        if (state->loop)
            state->loop->quit();
    });
    if (!state->over)
        loop.exec();
    state->loop = nullptr;
}
