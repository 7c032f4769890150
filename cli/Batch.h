#pragma once

#include <cstddef>
#include <functional>
#include <string>

// How one job runs: alone, with standard error and the machine to itself, or beside others, on
// one thread, with no progress line and its messages held for the batch's order.
struct Job {
    std::string* messages = nullptr;  // null: straight to standard error
    unsigned threads = 0;             // threads it formats on; 0 for one per core
    bool progress = true;             // whether it may show a progress line
};

// Runs the jobs of a batch, several at once where they may share the machine, with their
// messages in the batch's order, as if they had run one after another. A job that may not share
// (a large recording, or one already running under another name) runs alone on this thread once
// every job before it has finished.
struct Batch {
    std::size_t jobs = 0;
    unsigned threads = 1;       // jobs that run at once at most; 1 runs them all on this thread
    unsigned threadsAlone = 0;  // threads a job alone formats on; 0 for one per core
    // Whether job i may run beside others.
    std::function<bool(std::size_t i)> mayShare;
    // Runs job i as job says.
    std::function<bool(std::size_t i, const Job& job)> run;
    // Puts a shared job's messages out.
    std::function<void(const std::string& messages)> put;
};

// True when every job succeeded. What a job throws reaches the caller once the jobs before it
// have put out their messages.
bool RunBatch(const Batch& batch);
