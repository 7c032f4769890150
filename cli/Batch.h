#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Runs the jobs of a batch, several at once where they may share the machine, with their
// messages in the batch's order, as if they had run one after another. A job that may not share
// (a large recording, or one already running under another name) runs alone on this thread once
// every job before it has finished.
struct Batch {
    std::size_t jobs = 0;
    unsigned threads = 1;  // jobs that run at once at most; 1 runs them all on this thread
    // Whether job i may run beside others.
    std::function<bool(std::size_t i)> mayShare;
    // Runs job i; its messages go to messages when it shares the machine, else straight out.
    std::function<bool(std::size_t i, std::string* messages)> run;
    // Puts a shared job's messages out.
    std::function<void(const std::string& messages)> put;
};

// True when every job succeeded. What a job throws reaches the caller once the jobs before it
// have put out their messages.
bool RunBatch(const Batch& batch);
