// The reading thread hands bodies over through a queue of bounded length, so
// a flood of input waits in the pipe instead of in memory; the serving thread
// empties the queue before it checks, which is what coalesces a burst of
// edits into one check.
#include "lsp/LanguageServer.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "lsp/Framing.h"
#include "lsp/Session.h"

namespace {

struct Inbox {
    static constexpr size_t kMaxQueued = 256;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> bodies;
    bool ended = false;
    bool stopped = false;  // the server is done: the reader stops handing over
};

void readInto(std::istream& in, const std::shared_ptr<Inbox>& inbox) {
    MessageReader reader(in);
    for (;;) {
        std::optional<std::string> body;
        try {
            body = reader.next();
        } catch (...) {
            body.reset();  // out of memory for one body: the input is given up
        }
        std::unique_lock lock(inbox->mutex);
        if (!body) {
            inbox->ended = true;
            inbox->changed.notify_all();
            return;
        }
        inbox->changed.wait(lock, [&] { return inbox->stopped || inbox->bodies.size() < Inbox::kMaxQueued; });
        if (inbox->stopped) return;
        inbox->bodies.push_back(std::move(*body));
        inbox->changed.notify_all();
    }
}

// Runs one step of the session; a step that runs out of memory is given up,
// and the server goes on with the next message.
template <typename Step>
void guarded(Step step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

}  // namespace

int serveLanguage(std::istream& in, std::FILE* out, Checker& checker,
                  const ReferenceTables& tables) {
    Session session(checker, tables, [&](const nlohmann::json& message) {
        const std::string bytes =
            framed(message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        // An editor gone away leaves the writes failing until the input ends.
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fflush(out);
    });
    auto inbox = std::make_shared<Inbox>();
    std::thread reader(readInto, std::ref(in), inbox);
    bool inputEnded = false;
    while (!session.exited()) {
        std::optional<std::string> body;
        {
            std::unique_lock lock(inbox->mutex);
            if (inbox->bodies.empty() && !inbox->ended) {
                lock.unlock();
                guarded([&] { session.idle(); });
                lock.lock();
            }
            inbox->changed.wait(lock, [&] { return !inbox->bodies.empty() || inbox->ended; });
            if (inbox->bodies.empty()) {
                inputEnded = true;
                break;
            }
            body = std::move(inbox->bodies.front());
            inbox->bodies.pop_front();
            inbox->changed.notify_all();
        }
        guarded([&] { session.handle(*body); });
    }
    {
        std::lock_guard lock(inbox->mutex);
        inbox->stopped = true;
        inputEnded = inputEnded || inbox->ended;
        inbox->changed.notify_all();
    }
    // After "exit" the reader may still wait for input that never comes; it
    // holds the inbox itself, so it is left to end with the process.
    if (inputEnded) {
        reader.join();
    } else {
        reader.detach();
    }
    return session.exited() ? session.exitCode() : 0;
}
