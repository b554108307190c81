#pragma once
// How long work on a whole program reports where it is and learns that the user wants it
// stopped. Called on the working thread; nothing here touches a window.

#include <atomic>
#include <functional>

namespace cl::catalogue {

enum class WorkStage { Reading, Analysing, Checking, Writing };

struct Progress {
    // Set by whoever wants the work stopped; looked at between stages and between files.
    const std::atomic<bool>* cancel = nullptr;
    // Told of each stage as it begins.
    std::function<void(WorkStage)> stage;

    bool Cancelled() const { return cancel != nullptr && cancel->load(); }
    void Begin(WorkStage what) const
    {
        if (stage)
            stage(what);
    }
};

}  // namespace cl::catalogue
