#pragma once

#include <cstdint>
#include <optional>

#include "RecordingWalk.h"
#include "Worker.h"

// Walks a recording a block ahead: past the first few blocks, the next one is decoded on a thread
// of its own while the caller uses the last, so that decoding takes no time from the caller's
// work. Short recordings, and any where no thread can start, are decoded on demand.
//
//     WalkAhead ahead(walk);
//     while (const WalkBlock* block = ahead.Next()) Use(*block);
//
// The walk must outlive it, and is not to be used meanwhile but for what stays fixed once it is
// open (Format, Header, LastStamp, Expected); after Next returned null, all of it.
class WalkAhead {
public:
    explicit WalkAhead(RecordingWalk& walk) : m_walk(walk) {}
    WalkAhead(const WalkAhead&) = delete;
    WalkAhead& operator=(const WalkAhead&) = delete;

    // The next block, kept until the next call; null once the walk is over.
    const WalkBlock* Next();
    // Samples handed on so far, through the block Next returned last.
    std::uint64_t Decoded() const { return m_decoded; }

private:
    void DecodeAhead();

    RecordingWalk& m_walk;
    WalkBlock m_blocks[2];
    int m_turn = 0;  // the block the next call returns
    bool m_more = false;
    std::uint64_t m_taken = 0;
    std::uint64_t m_decoded = 0;
    std::optional<Worker> m_decoder;  // last: stopped before the blocks it fills go
};
