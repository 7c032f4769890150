#include "WalkAhead.h"

#include <new>
#include <system_error>

namespace {

// A thread costs more than decoding a recording of a few blocks: a batch's short recordings start
// none.
constexpr std::uint64_t kBlocksOnDemand = 2;

}  // namespace

const WalkBlock* WalkAhead::Next() {
    if (m_decoder) {
        m_decoder->Wait();  // rethrows what decoding threw
    } else {
        m_more = m_walk.Next(m_blocks[m_turn]);
    }
    if (!m_more) return nullptr;
    m_decoded = m_walk.Decoded();
    const WalkBlock& block = m_blocks[m_turn];
    m_turn ^= 1;
    if (!m_decoder && ++m_taken == kBlocksOnDemand) {
        // Only a speed-up: under a process or memory limit the blocks come on demand.
        try {
            m_decoder.emplace();
        } catch (const std::system_error&) {
        } catch (const std::bad_alloc&) {
        }
    }
    if (m_decoder) DecodeAhead();
    return &block;
}

void WalkAhead::DecodeAhead() {
    m_decoder->Start([this, &into = m_blocks[m_turn]] { m_more = m_walk.Next(into); });
}
